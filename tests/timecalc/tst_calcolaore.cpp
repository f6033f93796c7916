#include "CalcolaOre.h"
#include "EntryChecks.h"

#include <QRegularExpression>
#include <QTest>

#include <tuple>

using namespace zelvaro;

namespace {

const QString stale = QStringLiteral("vecchio");

// The cells of "a|b|c", a cell "H/M" written out as the duration text "H h / M Min.".
QStringList cells(const QString &text)
{
    static const QRegularExpression shortDuration(QStringLiteral("^(-?\\d+)/(-?\\d+)$"));
    QStringList result = text.split(QLatin1Char('|'));
    for (QString &cell : result)
        cell.replace(shortDuration, QStringLiteral("\\1 h / \\2 Min."));
    return result;
}

void putTimes(BoxTexts &b, const QStringList &t)
{
    std::tie(b.oraInizio1, b.oraFine1, b.oraInizio2, b.oraFine2, b.oraInizio3, b.oraFine3) =
        std::tie(t[0], t[1], t[2], t[3], t[4], t[5]);
}

QStringList results(const BoxTexts &b)
{
    return {b.totale1, b.totale2, b.totale3, b.totaleGenerale, b.totaleGenSettimana};
}

} // namespace

class TestCalcolaOre : public QObject
{
    Q_OBJECT

private slots:
    void calls_data()
    {
        // Per call: the times "start1|end1|start2|end2|start3|end3", then the read-outs
        // "period1|period2|period3|day|week" ("H/M" is "H h / M Min."). Week from 0, read-outs "vecchio"
        // before the first call; a later call shows the week's running total from the calls before.
        QTest::addColumn<QStringList>("calls");

        const auto row = [](const char *name, const QStringList &calls) { QTest::newRow(name) << calls; };
        row("borrow", {"8.45|12.30||||", "3/45|||3/45|3/45"});
        row("75 minutes carried", {"8|12.75||||", "5/15|||5/15|5/15"});
        row("end before start over midnight", {"22.00|2.00||||", "-20/0|||-20/0|-20/0"});
        row("three periods carry two hours", {"8|9.50|10|11.50|12|13.50", "1/50|1/50|1/50|5/30|5/30"});
        row("period 3 without period 2", {"8|12|||14|18", "4/0||4/0|8/0|8/0"});
        row("day minutes stay negative after one borrow",
            {"8.99|10|8.99|10|8.99|10", "1/-39|1/-39|1/-39|2/-57|2/-57"});
        row("period 1 start equal to end makes a day", {"8|8.00||||", "0/0|||0/0|0/0"});
        row("period 1 start empty: day and week untouched", {"|12|13|17||", "|4/0||vecchio|vecchio"});
        row("period 1 start midnight: day and week untouched", {"0.00|12||||", "|||vecchio|vecchio"});
        row("hours beyond a double count as 0", {"-1E308|1.7E308||||", "0/0|||0/0|0/0"});
        const QString day = QStringLiteral("8.30|12.30|13.30|18||"), out = QStringLiteral("4/0|4/30||8/30|");
        row("the same day three times without a reset",
            {day, out + "8/30", day, out + "17/0", day, out + "25/30"});
        row("periods 1 and 2 (third incomplete), then period 1 only",
            {"8.30|12.45|13.10|17||", "4/15|3/50||8/5|8/5", "8|12||||", "4/0|||4/0|12/5"});
        row("incomplete day leaves the totals of the day before",
            {day, out + "8/30", "|12|14|15||", "|1/0||8/30|8/30", day, out + "17/0"});
        row("running total carries but never borrows",
            {"8.30|12.45||||", "4/15|||4/15|4/15", "8|12.45||||", "4/45|||4/45|9/0",
             "8.99|10|8.99|10|8.99|10", "1/-39|1/-39|1/-39|2/-57|11/-57"});
    }

    void calls()
    {
        QFETCH(QStringList, calls);

        BoxTexts boxes;
        boxes.totale1 = boxes.totale2 = boxes.totale3 = boxes.totaleGenerale = boxes.totaleGenSettimana =
            stale;
        WeekAccumulators week;
        for (qsizetype i = 0; i + 1 < calls.size(); i += 2) {
            putTimes(boxes, cells(calls.at(i)));
            const bool made = CALCOLA_ORE(boxes, week);
            const QStringList expected = cells(calls.at(i + 1));
            QCOMPARE(made, !expected.first().isEmpty()); // a day total exactly when period 1 is complete
            QCOMPARE(results(boxes), expected);
        }
    }

    // The checks of "Conferma", in their order, on the times as CALCOLA_ORE reads them.
    void confirmChecksInOrder_data()
    {
        QTest::addColumn<QString>("entries"); // "number|start1|end1|start2|end2|start3|end3"
        QTest::addColumn<QString>("message"); // empty when the entries may be stored

        const auto row = [](const char *name, const char *entries, const char *message) {
            QTest::newRow(name) << QString::fromUtf8(entries) << QString::fromUtf8(message);
        };
        row("three periods", "12|8|12|13|17|18|19", "");
        row("comma time counts as given", "12|8,30|12||||", "");
        row("number first, before any time", "||||1|2|", "Indicare il numero del movimento !!!");
        row("start 1 at midnight", "12|0.00|12||||", "Indicare l'ora di inizio 1.Periodo !!!");
        row("end 1 beyond a double", "12|8|1E999||||", "Indicare l'ora di fine 1.Periodo !!!");
        row("end 2 without start 2", "12|8|12||18.00||", "Indicare l'ora di inizio 2.Periodo !!!");
        row("start 2 without end 2, before period 3", "12|8|12|14.00||15|",
            "Indicare l'ora di fine 2.Periodo !!!");
        row("end 3 without start 3", "12|8|12||||19", "Indicare l'ora di inizio 3.Periodo !!!");
        row("start 3 without end 3", "12|8|12|13|14|18|0", "Indicare l'ora di fine 3.Periodo !!!");
    }

    void confirmChecksInOrder()
    {
        QFETCH(QString, entries);
        QFETCH(QString, message);

        const QStringList e = entries.split(QLatin1Char('|'));
        QCOMPARE(refusalMessage(checkEntries(e[0], e[1], e[2], e[3], e[4], e[5], e[6])), message);
    }
};

QTEST_GUILESS_MAIN(TestCalcolaOre)
#include "tst_calcolaore.moc"
