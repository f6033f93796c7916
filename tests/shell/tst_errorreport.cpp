#include "ErrorReport.h"
#include "Fakes.h"

#include <QTest>

using namespace zelvaro;
using namespace zelvaro::test;

class TestErrorReport : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void signedNumber_data();
    void signedNumber();
    void report_data();
    void report();

private:
    FakeMessageBox m_messages;
};

void TestErrorReport::cleanup()
{
    QVERIFY2(m_messages.unexpected.isEmpty(), qPrintable(m_messages.unexpected.join(u'|')));
    m_messages.clear();
}

void TestErrorReport::signedNumber_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("expected");
    QTest::newRow("positive: leading blank") << 94 << QStringLiteral(" 94");
    QTest::newRow("one") << 1 << QStringLiteral(" 1");
    QTest::newRow("negative: minus sign") << -2147217900 << QStringLiteral("-2147217900");
    QTest::newRow("zero: nothing before it") << 0 << QStringLiteral("0");
}

void TestErrorReport::signedNumber()
{
    QFETCH(int, number);
    QFETCH(QString, expected);
    QCOMPARE(signedNumberText(number), expected);
}

void TestErrorReport::report_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // empty: no box at all

    QTest::newRow("no error pending: nothing shown") << 0 << QStringLiteral("vecchio testo") << QString();
    QTest::newRow("positive number: two blanks after Errore")
        << 94 << QStringLiteral("Uso non valido di Null")
        << QStringLiteral("Errore  94 - Uso non valido di Null\r\r");
    QTest::newRow("negative number") << -5 << QStringLiteral("Archivio occupato")
                                     << QStringLiteral("Errore -5 - Archivio occupato\r\r");
    QTest::newRow("empty message text") << 3021 << QString() << QStringLiteral("Errore  3021 - \r\r");
    QTest::newRow("message with its own line break")
        << 7 << QStringLiteral("riga uno\rriga due") << QStringLiteral("Errore  7 - riga uno\rriga due\r\r");
}

void TestErrorReport::report()
{
    QFETCH(int, number);
    QFETCH(QString, text);
    QFETCH(QString, expected);

    PendingError pending{number, text};
    if (!expected.isEmpty())
        m_messages.expectOk();
    SEGNALA_ERRORE(pending, m_messages);

    if (expected.isEmpty()) {
        QVERIFY(m_messages.shown.isEmpty());
    } else {
        QCOMPARE(m_messages.shown.size(), 1);
        const FakeMessageBox::Shown &box = m_messages.shown.first();
        QCOMPARE(box.text, expected);
        QVERIFY(box.title.isEmpty()); // the application title
        QCOMPARE(box.icon, MessageBoxService::Icon::None);
        QCOMPARE(box.buttons, MessageBoxService::Buttons::Ok);
        QVERIFY(!box.systemModal);
    }
    QCOMPARE(pending.number, 0);

    // The error was cleared: a second call shows nothing more.
    SEGNALA_ERRORE(pending, m_messages);
    QCOMPARE(m_messages.shown.size(), expected.isEmpty() ? 0 : 1);
}

QTEST_GUILESS_MAIN(TestErrorReport)
#include "tst_errorreport.moc"
