#include "FakePrinter.h"
#include "Printout.h"
#include "TempArchive.h"

#include <QTest>

#include <memory>

using namespace zelvaro;
using zelvaro::test::FakePrinter;
using zelvaro::test::TempArchive;

namespace {

using Days = QList<QStringList>;

// Puts the days into the archive as records 1, 2, 3... dated 1, 2, ... 28, 1, 2... March 2004
// (six times each, a missing one stored as null).
void insertDays(const TempArchive &archive, const Days &days)
{
    for (qsizetype i = 0; i < days.size(); ++i) {
        QStringList t = days.at(i);
        while (t.size() < 6)
            t.append(QString());
        archive.insert(i + 1, QString::number(i % 28 + 1), QStringLiteral("3"), QStringLiteral("2004"),
                       {t[0], t[1], t[2], t[3], t[4], t[5]});
    }
}

std::unique_ptr<Archive> openArchive(const TempArchive &temp)
{
    ArchiveError error;
    std::unique_ptr<Archive> archive = Archive::open(temp.path(), &error);
    if (!archive)
        qFatal("cannot open the test archive: %s", qPrintable(error.text));
    return archive;
}

// The day total and the running total as the line prints them, without their padding.
QString dayTotalOf(const QString &line)
{
    const qsizetype at = line.indexOf(QStringLiteral("  Tot.Giorno: "));
    const qsizetype end = line.indexOf(QStringLiteral("  Tot.Settimana: "));
    return at < 0 || end < at ? QString() : line.mid(at + 14, end - at - 14).trimmed();
}

QString weekTotalOf(const QString &line)
{
    const qsizetype at = line.indexOf(QStringLiteral("  Tot.Settimana: "));
    return at < 0 ? QString() : line.mid(at + 17).trimmed();
}

} // namespace

class TestPrintout : public QObject
{
    Q_OBJECT
private slots:
    void runningTotals_data();
    void runningTotals();
    void selection_data();
    void selection();
    void printingTwiceGivesTheSameLines();
    void archiveFailure_data();
    void archiveFailure();
    void printerResultIsPassedOn();
};

void TestPrintout::runningTotals_data()
{
    QTest::addColumn<Days>("days");
    QTest::addColumn<QStringList>("dayTotals");
    QTest::addColumn<QStringList>("weekTotals");
    QTest::addColumn<QList<int>>("lengths");

    const QStringList eightThirty{"8.30", "17"};
    QTest::newRow("three days of 8 h 30 Min.")
        << Days{eightThirty, eightThirty, eightThirty}
        << QStringList{"8 h / 30 Min.", "8 h / 30 Min.", "8 h / 30 Min."}
        << QStringList{"8 h / 30 Min.", "17 h / 0 Min.", "25 h / 30 Min."} << QList<int>{90, 90, 90};

    QTest::newRow("fewer periods after more")
        << Days{{"8", "12", "13", "17", "20", "21.15"}, {"8", "12.45"}}
        << QStringList{"9 h / 15 Min.", "4 h / 45 Min."} << QStringList{"9 h / 15 Min.", "14 h / 0 Min."}
        << QList<int>{188, 90};

    QTest::newRow("day without period 1 prints the totals before it")
        << Days{{"8", "12"}, {"", "", "14", "18"}} << QStringList{"4 h / 0 Min.", "4 h / 0 Min."}
        << QStringList{"4 h / 0 Min.", "4 h / 0 Min."} << QList<int>{90, 150};

    QTest::newRow("first day without period 1 prints empty totals")
        << Days{{"", "12"}, {"8", "9.30"}} << QStringList{"", "1 h / 30 Min."}
        << QStringList{"", "1 h / 30 Min."} << QList<int>{90, 90};

    QTest::newRow("negative day printed with its sign")
        << Days{{"22", "12.30"}} << QStringList{"-10 h / 30 Min."} << QStringList{"-10 h / 30 Min."}
        << QList<int>{91};

    // 120 days of 8 h 30: the running total passes 1,000 hours and is printed whole.
    Days many;
    for (int i = 0; i < 120; ++i)
        many.append(eightThirty);
    QStringList manyDays, manyWeeks;
    QList<int> manyLengths;
    for (int i = 1; i <= 120; ++i) {
        manyDays.append(QStringLiteral("8 h / 30 Min."));
        const int minutes = i * 510;
        manyWeeks.append(QStringLiteral("%1 h / %2 Min.").arg(minutes / 60).arg(minutes % 60));
        manyLengths.append(90 + int(std::max<qsizetype>(0, manyWeeks.last().size() - 15)));
    }
    QTest::newRow("running total past 1000 hours") << many << manyDays << manyWeeks << manyLengths;
}

void TestPrintout::runningTotals()
{
    QFETCH(Days, days);
    QFETCH(QStringList, dayTotals);
    QFETCH(QStringList, weekTotals);
    QFETCH(QList<int>, lengths);

    TempArchive temp;
    insertDays(temp, days);
    auto archive = openArchive(temp);
    FakePrinter printer;
    QVERIFY(!printHoursList(*archive, printer).failed());

    QCOMPARE(printer.documents.size(), 1);
    const QStringList lines = printer.documents.first();
    QCOMPARE(lines.size(), days.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString at = QStringLiteral("line %1: %2").arg(i + 1).arg(lines.at(i));
        QVERIFY2(lines.at(i).startsWith(QString::number(i + 1).leftJustified(6) +
                                        QString::number(i % 28 + 1).rightJustified(2, QLatin1Char('0')) +
                                        QStringLiteral("/03/2004")),
                 qPrintable(at));
        QCOMPARE(dayTotalOf(lines.at(i)), dayTotals.at(i));
        QCOMPARE(weekTotalOf(lines.at(i)), weekTotals.at(i));
        QCOMPARE(lines.at(i).size(), lengths.at(i));
    }
}

void TestPrintout::selection_data()
{
    QTest::addColumn<QList<qint64>>("stored"); // in insertion order
    QTest::addColumn<QStringList>("printed");  // numbers of the printed lines, in order

    QTest::newRow("increasing number order, not insertion order")
        << QList<qint64>{10, 3, 7, 100} << QStringList{"3", "7", "10", "100"};
    QTest::newRow("numbers 0 and below are not printed")
        << QList<qint64>{0, 5, -1, 2, -30} << QStringList{"2", "5"};
    QTest::newRow("only numbers 0 and below: an empty document") << QList<qint64>{0, -2} << QStringList{};
    QTest::newRow("empty archive: an empty document") << QList<qint64>{} << QStringList{};
}

void TestPrintout::selection()
{
    QFETCH(QList<qint64>, stored);
    QFETCH(QStringList, printed);

    TempArchive temp;
    for (qint64 n : stored)
        temp.insert(n, QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("2004"),
                    {QStringLiteral("8"), QStringLiteral("9")});
    auto archive = openArchive(temp);
    FakePrinter printer;
    const PrintResult result = printHoursList(*archive, printer);

    QVERIFY(!result.failed());
    QCOMPARE(printer.documents.size(), 1); // the document is ended even when it is empty
    QStringList numbers;
    for (const QString &line : printer.documents.first())
        numbers.append(line.left(5).trimmed());
    QCOMPARE(numbers, printed);
    QVERIFY(printer.current.isEmpty());
}

void TestPrintout::printingTwiceGivesTheSameLines()
{
    TempArchive temp;
    // The second record's period 1 is incomplete and the third's is under an hour.
    insertDays(temp, {{"8", "12.30", "14", "18"}, {"", "", "9", "10"}, {"8", "8.45"}, {"7.15", "16.50"}});
    auto archive = openArchive(temp);
    FakePrinter printer;
    QVERIFY(!printHoursList(*archive, printer).failed());
    QVERIFY(!printHoursList(*archive, printer).failed());

    QCOMPARE(printer.documents.size(), 2);
    QCOMPARE(printer.documents.at(0).size(), 4);
    QCOMPARE(printer.documents.at(1), printer.documents.at(0));
    QCOMPARE(weekTotalOf(printer.documents.at(1).at(1)), QStringLiteral("8 h / 30 Min."));
}

void TestPrintout::archiveFailure_data()
{
    QTest::addColumn<QString>("breakage");

    QTest::newRow("archive closed") << "close";
    QTest::newRow("table gone") << "drop";
}

void TestPrintout::archiveFailure()
{
    QFETCH(QString, breakage);

    TempArchive temp;
    insertDays(temp, {{"8", "12"}, {"8", "13"}});
    auto archive = openArchive(temp);
    if (breakage == QLatin1String("close"))
        archive->close();
    else
        temp.exec(QStringLiteral("DROP TABLE MOV_MAG"));

    FakePrinter printer;
    printer.result = PrintResult{0, QString(), QStringLiteral("/not/used.pdf")};
    const PrintResult result = printHoursList(*archive, printer);

    QVERIFY(result.failed());
    QVERIFY2(!result.text.isEmpty(), "the failure must be named");
    QVERIFY(result.pdfPath.isEmpty());
    // Nothing reached the printer: no line, no document.
    QVERIFY(printer.documents.isEmpty());
    QVERIFY(printer.current.isEmpty());

    QStringList lines{QStringLiteral("left over")};
    const ArchiveError error = hoursListLines(*archive, &lines);
    QCOMPARE(result.code, error.code);
    QCOMPARE(result.text, error.text);
}

void TestPrintout::printerResultIsPassedOn()
{
    TempArchive temp;
    insertDays(temp, {{"8", "12"}});
    auto archive = openArchive(temp);
    FakePrinter printer;
    printer.result = PrintResult{482, QStringLiteral("La stampante non risponde"), QString()};

    const PrintResult result = printHoursList(*archive, printer);
    QCOMPARE(result.code, 482);
    QCOMPARE(result.text, QStringLiteral("La stampante non risponde"));
    QCOMPARE(printer.documents.size(), 1);
    QCOMPARE(printer.documents.first().size(), 1);
}

QTEST_GUILESS_MAIN(TestPrintout)
#include "tst_printout.moc"
