#include "PrintLine.h"

#include <QTest>

#include <tuple>

using namespace zelvaro;

namespace {

QStringList cells(const char *text)
{
    return QString::fromUtf8(text).split(QLatin1Char('|'));
}

} // namespace

class TestPrintLine : public QObject
{
    Q_OBJECT
private slots:
    void line_data();
    void line();
};

void TestPrintLine::line_data()
{
    QTest::addColumn<QStringList>("fields"); // number|day|month|year|start1|end1|start2|end2|start3|end3
    QTest::addColumn<QStringList>("totals"); // period1|period2|period3|day|week as CALCOLA_ORE left them
    QTest::addColumn<QString>("expected");

    const auto row = [](const char *name, const char *fields, const char *totals, const QString &expected) {
        QTest::newRow(name) << cells(fields) << cells(totals) << expected;
    };
    const QString fixed = QStringLiteral("12    05/03/2004   8.30  12.30");
    const QString day = QStringLiteral("  Tot.Giorno: "), week = QStringLiteral("  Tot.Settimana: ");
    const QString tail4 = day + "  4 h / 0 Min." + week + "   4 h / 0 Min.";
    const char *p1 = "4 h / 0 Min.|||4 h / 0 Min.|4 h / 0 Min.";

    row("period 1 only, period 2 with a blank duration: 90 characters, no Tot.1",
        "12|5|3|2004|8.30|12.30|14|18||", "4 h / 0 Min.|   ||4 h / 0 Min.|4 h / 0 Min.", fixed + tail4);
    row("periods 1 and 2: 150, Tot.1 before the period 2 times", "7|14|11|2005|8.30|12.30|14|18.15||",
        "4 h / 0 Min.|4 h / 15 Min.||8 h / 15 Min.|108 h / 15 Min.",
        "7     14/11/2005   8.30  12.30  Tot.1:   4 h / 0 Min.     14  18.15  Tot.2:  4 h / 15 Min." + day +
            " 8 h / 15 Min." + week + "108 h / 15 Min.");
    row("all three periods: 188, period 3 and week 15 wide; a longer time keeps its last six",
        "12|5|3|2004|0008.300|12.30|123456789|17|abcdefgh|22",
        "4 h / 0 Min.|4 h / 0 Min.|1 h / 0 Min.|9 h / 0 Min.|9 h / 0 Min.",
        "12    05/03/2004 08.300  12.30  Tot.1:   4 h / 0 Min. 456789     17  Tot.2:   4 h / 0 Min."
        " cdefgh     22  Tot.3:    1 h / 0 Min." +
            day + "  9 h / 0 Min." + week + "   9 h / 0 Min.");
    row("periods 1 and 3 without 2: 128, no Tot.1", "12|5|3|2004|8.30|12.30|||20|22",
        "4 h / 0 Min.||2 h / 0 Min.|6 h / 0 Min.|6 h / 0 Min.",
        fixed + "     20     22  Tot.3:    2 h / 0 Min." + day + "  6 h / 0 Min." + week + "   6 h / 0 Min.");
    row("six-digit number whole, day 123 prints 23, month 7 prints 07, empty year zeros",
        "123456|123|7||8.30|12.30||||", p1, "123456 23/07/0000   8.30  12.30" + tail4);
    row("empty times print blanks; totals wider than their columns printed whole", "3|5|3|2004||||||",
        "|||-10 h / 30 Min.|1020 h / 30 Min.",
        "3     05/03/2004              " + day + "-10 h / 30 Min." + week + "1020 h / 30 Min.");
}

void TestPrintLine::line()
{
    QFETCH(QStringList, fields);
    QFETCH(QStringList, totals);
    QFETCH(QString, expected);

    HoursRecord r;
    std::tie(r.numMov, r.giorno, r.mese, r.anno, r.oraInizio1, r.oraFine1, r.oraInizio2, r.oraFine2,
             r.oraInizio3, r.oraFine3) = std::tie(fields[0], fields[1], fields[2], fields[3], fields[4],
                                                  fields[5], fields[6], fields[7], fields[8], fields[9]);
    r.note = QStringLiteral("nota mai stampata");
    BoxTexts b;
    std::tie(b.totale1, b.totale2, b.totale3, b.totaleGenerale, b.totaleGenSettimana) =
        std::tie(totals[0], totals[1], totals[2], totals[3], totals[4]);
    // The holder's times differ from the record's: the line prints the record's own.
    b.oraInizio1 = b.oraFine1 = b.oraInizio2 = b.oraFine2 = b.oraInizio3 = b.oraFine3 =
        QStringLiteral("99.99");

    QCOMPARE(printLine(r, b), expected);
}

QTEST_APPLESS_MAIN(TestPrintLine)
#include "tst_printline.moc"
