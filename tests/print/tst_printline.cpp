#include "PrintLine.h"

#include <QTest>

using namespace zelvaro;

Q_DECLARE_METATYPE(zelvaro::HoursRecord)
Q_DECLARE_METATYPE(zelvaro::BoxTexts)

namespace {

HoursRecord record(const QString &number, const QString &giorno, const QString &mese, const QString &anno,
                   const QStringList &times)
{
    HoursRecord r;
    r.numMov = number;
    r.giorno = giorno;
    r.mese = mese;
    r.anno = anno;
    QString *fields[] = {&r.oraInizio1, &r.oraFine1, &r.oraInizio2, &r.oraFine2, &r.oraInizio3, &r.oraFine3};
    for (qsizetype i = 0; i < times.size() && i < 6; ++i)
        *fields[i] = times.at(i);
    r.note = QStringLiteral("nota mai stampata");
    return r;
}

// The five duration texts: period 1, 2, 3, day, running total.
BoxTexts totals(const QString &t1, const QString &t2, const QString &t3, const QString &day,
                const QString &week)
{
    BoxTexts b;
    // Times in the holder differ from the record's: the line must print the record's own.
    b.oraInizio1 = b.oraFine1 = b.oraInizio2 = b.oraFine2 = b.oraInizio3 = b.oraFine3 =
        QStringLiteral("99.99");
    b.totale1 = t1;
    b.totale2 = t2;
    b.totale3 = t3;
    b.totaleGenerale = day;
    b.totaleGenSettimana = week;
    return b;
}

const QString kDay = QStringLiteral("  Tot.Giorno: ");
const QString kWeek = QStringLiteral("  Tot.Settimana: ");

} // namespace

class TestPrintLine : public QObject
{
    Q_OBJECT
private slots:
    void line_data();
    void line();
    void exampleColumns_data();
    void exampleColumns();
};

void TestPrintLine::line_data()
{
    QTest::addColumn<HoursRecord>("rec");
    QTest::addColumn<BoxTexts>("boxes");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("length");

    const QString fixed12 = QStringLiteral("12    05/03/2004   8.30  12.30");
    const QString p1 = QStringLiteral("4 h / 0 Min.");

    QTest::newRow("period 1 only: 90 characters, no Tot.1")
        << record("12", "5", "3", "2004", {"8.30", "12.30"}) << totals(p1, "", "", p1, p1)
        << fixed12 + kDay + "  4 h / 0 Min." + kWeek + "   4 h / 0 Min." << 90;

    QTest::newRow("periods 1 and 2: 150, Tot.1 before the period 2 times")
        << record("7", "14", "11", "2005", {"8.30", "12.30", "14", "18.15"})
        << totals(p1, "4 h / 15 Min.", "", "8 h / 15 Min.", "108 h / 15 Min.")
        << QStringLiteral("7     14/11/2005   8.30  12.30  Tot.1:   4 h / 0 Min.     14  18.15  Tot.2:  "
                          "4 h / 15 Min.") +
               kDay + " 8 h / 15 Min." + kWeek + "108 h / 15 Min."
        << 150;

    QTest::newRow("all three periods: 188, period 3 and week 15 wide")
        << record("123", "1", "1", "2006", {"6", "8", "9.15", "12.45", "20", "23.59"})
        << totals("2 h / 0 Min.", "3 h / 30 Min.", "3 h / 59 Min.", "9 h / 29 Min.", "9 h / 29 Min.")
        << QStringLiteral("123   01/01/2006      6      8  Tot.1:   2 h / 0 Min.   9.15  12.45  Tot.2:  "
                          "3 h / 30 Min.     20  23.59  Tot.3:   3 h / 59 Min.") +
               kDay + " 9 h / 29 Min." + kWeek + "  9 h / 29 Min."
        << 188;

    QTest::newRow("periods 1 and 3 without 2: 128, no Tot.1")
        << record("12", "5", "3", "2004", {"8.30", "12.30", "", "", "20", "22"})
        << totals(p1, "", "2 h / 0 Min.", "6 h / 0 Min.", "6 h / 0 Min.")
        << fixed12 + "     20     22  Tot.3:    2 h / 0 Min." + kDay + "  6 h / 0 Min." + kWeek +
               "   6 h / 0 Min."
        << 128;

    QTest::newRow("period 2 times without a duration are not printed")
        << record("12", "5", "3", "2004", {"8.30", "12.30", "14", ""}) << totals(p1, "", "", p1, p1)
        << fixed12 + kDay + "  4 h / 0 Min." + kWeek + "   4 h / 0 Min." << 90;

    QTest::newRow("period 2 duration of blanks counts as none")
        << record("12", "5", "3", "2004", {"8.30", "12.30", "14", "18"}) << totals(p1, "   ", "", p1, p1)
        << fixed12 + kDay + "  4 h / 0 Min." + kWeek + "   4 h / 0 Min." << 90;

    QTest::newRow("five-digit number fills its column")
        << record("99999", "5", "3", "2004", {"8.30", "12.30"}) << totals(p1, "", "", p1, p1)
        << "99999 05/03/2004   8.30  12.30" + kDay + "  4 h / 0 Min." + kWeek + "   4 h / 0 Min." << 90;

    QTest::newRow("six-digit number printed whole")
        << record("123456", "5", "3", "2004", {"8.30", "12.30"}) << totals(p1, "", "", p1, p1)
        << "123456 05/03/2004   8.30  12.30" + kDay + "  4 h / 0 Min." + kWeek + "   4 h / 0 Min." << 91;

    QTest::newRow("day 123 prints 23, month 7 prints 07")
        << record("12", "123", "7", "2004", {"8.30", "12.30"}) << totals(p1, "", "", p1, p1)
        << "12    23/07/2004   8.30  12.30" + kDay + "  4 h / 0 Min." + kWeek + "   4 h / 0 Min." << 90;

    QTest::newRow("empty date prints zeros")
        << record("12", "", "", "", {"8.30", "12.30"}) << totals(p1, "", "", p1, p1)
        << "12    00/00/0000   8.30  12.30" + kDay + "  4 h / 0 Min." + kWeek + "   4 h / 0 Min." << 90;

    QTest::newRow("short year padded, long year keeps last four")
        << record("12", "5", "3", "4", {"8.30", "12.30"}) << totals(p1, "", "", p1, p1)
        << "12    05/03/0004   8.30  12.30" + kDay + "  4 h / 0 Min." + kWeek + "   4 h / 0 Min." << 90;

    QTest::newRow("year of five characters keeps its last four")
        << record("12", "5", "3", "12004", {"8.30", "12.30"}) << totals(p1, "", "", p1, p1)
        << "12    05/03/2004   8.30  12.30" + kDay + "  4 h / 0 Min." + kWeek + "   4 h / 0 Min." << 90;

    QTest::newRow("empty times print six blanks")
        << record("3", "5", "3", "2004", {}) << totals("", "", "", p1, p1)
        << "3     05/03/2004              " + kDay + "  4 h / 0 Min." + kWeek + "   4 h / 0 Min." << 90;

    QTest::newRow("time longer than six keeps its last six")
        << record("12", "5", "3", "2004", {"0008.300", "12.30", "123456789", "17", "abcdefgh", "22"})
        << totals(p1, "4 h / 0 Min.", "1 h / 0 Min.", "9 h / 0 Min.", "9 h / 0 Min.")
        << QStringLiteral("12    05/03/2004 08.300  12.30  Tot.1:   4 h / 0 Min. 456789     17  Tot.2:   "
                          "4 h / 0 Min. cdefgh     22  Tot.3:    1 h / 0 Min.") +
               kDay + "  9 h / 0 Min." + kWeek + "   9 h / 0 Min."
        << 188;

    QTest::newRow("running total of 1000 hours and more printed whole")
        << record("12", "5", "3", "2004", {"8.30", "12.30"}) << totals(p1, "", "", p1, "1020 h / 30 Min.")
        << fixed12 + kDay + "  4 h / 0 Min." + kWeek + "1020 h / 30 Min." << 91;

    QTest::newRow("running total of exactly 15 characters is not cut")
        << record("12", "5", "3", "2004", {"8.30", "12.30"}) << totals(p1, "", "", p1, "999 h / 59 Min.")
        << fixed12 + kDay + "  4 h / 0 Min." + kWeek + "999 h / 59 Min." << 90;

    QTest::newRow("negative day total keeps its sign")
        << record("12", "5", "3", "2004", {"22", "12.30"})
        << totals("-10 h / 30 Min.", "", "", "-10 h / 30 Min.", "-10 h / 30 Min.")
        << "12    05/03/2004     22  12.30" + kDay + "-10 h / 30 Min." + kWeek + "-10 h / 30 Min." << 91;

    QTest::newRow("long period 1 and 2 durations printed whole")
        << record("12", "5", "3", "2004", {"0.01", "999.59", "1", "200"})
        << totals("999 h / 58 Min.", "-199 h / 0 Min.", "", "800 h / 58 Min.", "800 h / 58 Min.")
        << QStringLiteral("12    05/03/2004   0.01 999.59  Tot.1: 999 h / 58 Min.      1    200  Tot.2: "
                          "-199 h / 0 Min.") +
               kDay + "800 h / 58 Min." + kWeek + "800 h / 58 Min."
        << 153;

    QTest::newRow("period 3, day and running totals of 16 characters grow the line")
        << record("12", "5", "3", "2004", {"8", "9", "", "", "0.50", "1001"})
        << totals("1 h / 0 Min.", "", "1000 h / 10 Min.", "1001 h / 10 Min.", "1001 h / 10 Min.")
        << "12    05/03/2004      8      9   0.50   1001  Tot.3: 1000 h / 10 Min." + kDay +
               "1001 h / 10 Min." + kWeek + "1001 h / 10 Min."
        << 132;

    QTest::newRow("box texts used as they stand, not trimmed")
        << record("12", "5", "3", "2004", {"8.30", "12.30"}) << totals(p1, "", "", " 4 h ", "x ")
        << fixed12 + kDay + "          4 h " + kWeek + "             x " << 90;
}

void TestPrintLine::line()
{
    QFETCH(HoursRecord, rec);
    QFETCH(BoxTexts, boxes);
    QFETCH(QString, expected);
    QFETCH(int, length);

    const QString actual = printLine(rec, boxes);
    QCOMPARE(actual, expected);
    QCOMPARE(actual.size(), length);
    QVERIFY(!actual.contains(QStringLiteral("nota")));
}

// Record 12 of 5 March 2004, 8.30 to 12.30, first line of a printout: every column of its 90.
void TestPrintLine::exampleColumns_data()
{
    QTest::addColumn<int>("first"); // counted from 1
    QTest::addColumn<QString>("text");

    QTest::newRow("1-5 number left-aligned") << 1 << "12   ";
    QTest::newRow("6 blank") << 6 << " ";
    QTest::newRow("7-8 day with leading zero") << 7 << "05";
    QTest::newRow("9 slash") << 9 << "/";
    QTest::newRow("10-11 month") << 10 << "03";
    QTest::newRow("12 slash") << 12 << "/";
    QTest::newRow("13-16 year") << 13 << "2004";
    QTest::newRow("17 blank") << 17 << " ";
    QTest::newRow("18-23 start right-aligned") << 18 << "  8.30";
    QTest::newRow("24 blank") << 24 << " ";
    QTest::newRow("25-30 end right-aligned") << 25 << " 12.30";
    QTest::newRow("31-44 day total label") << 31 << "  Tot.Giorno: ";
    QTest::newRow("45-58 day total in 14") << 45 << "  4 h / 0 Min.";
    QTest::newRow("59-75 week total label") << 59 << "  Tot.Settimana: ";
    QTest::newRow("76-90 week total in 15") << 76 << "   4 h / 0 Min.";
}

void TestPrintLine::exampleColumns()
{
    QFETCH(int, first);
    QFETCH(QString, text);

    HoursRecord r;
    r.numMov = QStringLiteral("12");
    r.giorno = QStringLiteral("5");
    r.mese = QStringLiteral("3");
    r.anno = QStringLiteral("2004");
    r.oraInizio1 = QStringLiteral("8.30");
    r.oraFine1 = QStringLiteral("12.30");
    BoxTexts b;
    b.totale1 = b.totaleGenerale = b.totaleGenSettimana = QStringLiteral("4 h / 0 Min.");

    const QString line = printLine(r, b);
    QCOMPARE(line.size(), 90);
    QCOMPARE(line.mid(first - 1, text.size()), text);
}

QTEST_APPLESS_MAIN(TestPrintLine)
#include "tst_printline.moc"
