#include "EntryChecks.h"

#include <QTest>

using namespace zelvaro;

class TestEntryChecks : public QObject
{
    Q_OBJECT

private slots:
    void confirmChecksInOrder_data();
    void confirmChecksInOrder();
};

void TestEntryChecks::confirmChecksInOrder_data()
{
    QTest::addColumn<QString>("numberKey");
    QTest::addColumn<QStringList>("times");
    QTest::addColumn<int>("refusal");
    QTest::addColumn<QString>("message");

    const QString none;
    const QString key = QStringLiteral("12");
    auto row = [](const char *name, const QString &numberKey, const QStringList &times, Refusal refusal,
                  const char *message) {
        QTest::newRow(name) << numberKey << times << int(refusal) << QString::fromUtf8(message);
    };
    row("one period", key, {"8", "12", none, none, none, none}, Refusal::None, "");
    row("three periods", key, {"8", "12", "13", "17", "18", "19"}, Refusal::None, "");
    row("number first, before any time", none, {none, none, none, "1", "2", none}, Refusal::Numero,
        "Indicare il numero del movimento !!!");
    row("start 1 missing", key, {none, "12", none, none, none, none}, Refusal::Inizio1,
        "Indicare l'ora di inizio 1.Periodo !!!");
    row("start 1 at midnight", key, {"0.00", "12", none, none, none, none}, Refusal::Inizio1,
        "Indicare l'ora di inizio 1.Periodo !!!");
    row("start 1 before period 2", key, {"abc", "12", none, "14", none, none}, Refusal::Inizio1,
        "Indicare l'ora di inizio 1.Periodo !!!");
    row("end 1 missing", key, {"8", none, "13", none, none, none}, Refusal::Fine1,
        "Indicare l'ora di fine 1.Periodo !!!");
    row("end 1 beyond a double", key, {"8", "1E999", none, none, none, none}, Refusal::Fine1,
        "Indicare l'ora di fine 1.Periodo !!!");
    row("end 2 without start 2", key, {"8", "12", none, "18.00", none, none}, Refusal::Inizio2,
        "Indicare l'ora di inizio 2.Periodo !!!");
    row("start 2 without end 2", key, {"8", "12", "14.00", none, "15", none}, Refusal::Fine2,
        "Indicare l'ora di fine 2.Periodo !!!");
    row("end 3 without start 3", key, {"8", "12", none, none, none, "19"}, Refusal::Inizio3,
        "Indicare l'ora di inizio 3.Periodo !!!");
    row("start 3 without end 3", key, {"8", "12", "13", "14", "18", "0"}, Refusal::Fine3,
        "Indicare l'ora di fine 3.Periodo !!!");
    row("comma time counts as given", key, {"8,30", "12", none, none, none, none}, Refusal::None, "");
}

void TestEntryChecks::confirmChecksInOrder()
{
    QFETCH(QString, numberKey);
    QFETCH(QStringList, times);
    QFETCH(int, refusal);
    QFETCH(QString, message);

    const Refusal got = checkEntries(numberKey, times[0], times[1], times[2], times[3], times[4], times[5]);
    QCOMPARE(int(got), refusal);
    QCOMPARE(refusalMessage(got), message);
}

QTEST_GUILESS_MAIN(TestEntryChecks)
#include "tst_entrychecks.moc"
