#include "FakePrinter.h"
#include "Printout.h"
#include "TempArchive.h"

#include <QRegularExpression>
#include <QTest>

#include <memory>

using namespace zelvaro;
using zelvaro::test::FakePrinter;
using zelvaro::test::TempArchive;

namespace {

// The days ("start1|end1|...") stored as records 1, 2, 3... of 1, 2, 3... March 2004, then opened.
std::unique_ptr<Archive> archiveWith(const TempArchive &temp, const QStringList &days)
{
    for (qsizetype i = 0; i < days.size(); ++i) {
        QStringList t = days.at(i).split(QLatin1Char('|'));
        t.resize(6);
        temp.insert(i + 1, QString::number(i + 1), QStringLiteral("3"), QStringLiteral("2004"),
                    {t[0], t[1], t[2], t[3], t[4], t[5]});
    }
    ArchiveError error;
    return Archive::open(temp.path(), &error);
}

// Every duration the line prints, in order, without its padding: "1=4 h / 0 Min.;Giorno=...".
QString durationsOf(const QString &line)
{
    static const QRegularExpression segment(QStringLiteral(R"(Tot\.(\w+): *((?:-?\d+ h / -?\d+ Min\.)?))"));
    QStringList found;
    for (const QRegularExpressionMatch &m : segment.globalMatch(line))
        found.append(m.captured(1) + QLatin1Char('=') + m.captured(2));
    return found.join(QLatin1Char(';'));
}

} // namespace

class TestPrintout : public QObject
{
    Q_OBJECT
private slots:
    void runningTotals_data();
    void runningTotals();
    void failures();
};

void TestPrintout::runningTotals_data()
{
    QTest::addColumn<QStringList>("days");
    QTest::addColumn<QStringList>("durations"); // of each line, as durationsOf() gives them
    QTest::addColumn<QList<int>>("lengths");

    QTest::newRow("three days of 8 h 30 Min.") << QStringList{"8.30|17", "8.30|17", "8.30|17"}
                                               << QStringList{"Giorno=8 h / 30 Min.;Settimana=8 h / 30 Min.",
                                                              "Giorno=8 h / 30 Min.;Settimana=17 h / 0 Min.",
                                                              "Giorno=8 h / 30 Min.;Settimana=25 h / 30 Min."}
                                               << QList<int>{90, 90, 90};
    QTest::newRow("fewer periods after more, period 3 without period 2")
        << QStringList{"8|12|13|17.45|20|21.15", "8|12.45", "8|9|||10|11.30"}
        << QStringList{"1=4 h / 0 Min.;2=4 h / 45 Min.;3=1 h / 15 Min.;Giorno=10 h / 0 Min.;"
                       "Settimana=10 h / 0 Min.",
                       "Giorno=4 h / 45 Min.;Settimana=14 h / 45 Min.",
                       "3=1 h / 30 Min.;Giorno=2 h / 30 Min.;Settimana=17 h / 15 Min."}
        << QList<int>{188, 90, 128};
    QTest::newRow("period 1 incomplete: no day total, running total kept; under an hour adds")
        << QStringList{"8|12.30|14|18", "||9|10", "8|8.45", "7.15|16.50"}
        << QStringList{"1=4 h / 30 Min.;2=4 h / 0 Min.;Giorno=8 h / 30 Min.;Settimana=8 h / 30 Min.",
                       "1=;2=1 h / 0 Min.;Giorno=;Settimana=8 h / 30 Min.",
                       "Giorno=0 h / 45 Min.;Settimana=9 h / 15 Min.",
                       "Giorno=9 h / 35 Min.;Settimana=18 h / 50 Min."}
        << QList<int>{150, 150, 90, 90};
    QTest::newRow("empty archive: an empty document") << QStringList{} << QStringList{} << QList<int>{};
}

void TestPrintout::runningTotals()
{
    QFETCH(QStringList, days);
    QFETCH(QStringList, durations);
    QFETCH(QList<int>, lengths);

    TempArchive temp;
    const auto archive = archiveWith(temp, days);
    QVERIFY(archive);
    FakePrinter printer;
    QVERIFY(!printHoursList(*archive, printer).failed());
    QVERIFY(!printHoursList(*archive, printer).failed());

    QCOMPARE(printer.documents.size(), 2);
    QCOMPARE(printer.documents.at(1), printer.documents.at(0)); // printing twice gives the same lines
    const QStringList lines = printer.documents.first();
    QCOMPARE(lines.size(), days.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QVERIFY2(lines[i].startsWith(QString::number(i + 1)), qPrintable(lines[i]));
        QCOMPARE(durationsOf(lines[i]), durations[i]);
        QCOMPARE(lines[i].size(), lengths[i]);
    }
}

void TestPrintout::failures()
{
    TempArchive temp;
    const auto archive = archiveWith(temp, {"8|12", "8|13"});
    QVERIFY(archive);
    FakePrinter printer;
    printer.result = PrintResult{482, QStringLiteral("La stampante non risponde"), QString()};
    PrintResult result = printHoursList(*archive, printer);
    QCOMPARE(result.code, 482); // the printer's failure is passed on
    QCOMPARE(result.text, QStringLiteral("La stampante non risponde"));

    // The archive fails at the second record: reported, and not half a list on paper.
    temp.failListingAbove(1);
    printer.documents.clear();
    result = printHoursList(*archive, printer);
    QVERIFY2(result.failed() && result.code != 482 && !result.text.isEmpty(), qPrintable(result.text));
    QVERIFY(printer.documents.isEmpty() && printer.current.isEmpty());
}

QTEST_GUILESS_MAIN(TestPrintout)
#include "tst_printout.moc"
