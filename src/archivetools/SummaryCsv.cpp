#include "SummaryCsv.h"

#include "CsvFile.h"

namespace zelvaro {

namespace {

QStringList figures(const PeriodTotals &t)
{
    return {QString::number(t.days), QString::number(t.incomplete), minutesText(t.minutes),
            hoursText(t.minutes), decimalHoursText(t.minutes)};
}

QString dateText(const QDate &date)
{
    return date.toString(QStringLiteral("dd/MM/yyyy"));
}

} // namespace

QByteArray summaryCsv(const HoursSummary &summary, SummaryRows rows)
{
    const bool weeks = rows == SummaryRows::Weeks;
    // The closing rows name themselves in the first column and leave the period's other columns empty.
    const QStringList blanks(weeks ? 3 : 1, QString());
    QByteArray csv(kUtf8ByteOrderMark);
    const QStringList totalsHeader{QStringLiteral("Giorni"), QStringLiteral("Incompleti"),
                                   QStringLiteral("Minuti"), QStringLiteral("Ore"),
                                   QStringLiteral("Ore decimali")};
    if (weeks) {
        appendCsvLine(csv, QStringList{QStringLiteral("Anno ISO"), QStringLiteral("Settimana"),
                                       QStringLiteral("Dal"), QStringLiteral("Al")} +
                               totalsHeader);
        for (const WeekTotals &w : summary.weeks)
            appendCsvLine(csv, QStringList{QString::number(w.isoYear), QString::number(w.week),
                                           dateText(w.monday), dateText(w.monday.addDays(6))} +
                                   figures(w.totals));
    } else {
        appendCsvLine(csv, QStringList{QStringLiteral("Anno"), QStringLiteral("Mese")} + totalsHeader);
        for (const MonthTotals &m : summary.months)
            appendCsvLine(csv,
                          QStringList{QString::number(m.year), QString::number(m.month)} + figures(m.totals));
    }
    if (summary.invalidDates.records > 0)
        appendCsvLine(csv, QStringList{QStringLiteral("Data non valida")} + blanks +
                               figures(summary.invalidDates));
    appendCsvLine(csv, QStringList{QStringLiteral("Totale")} + blanks + figures(summary.total));
    return csv;
}

} // namespace zelvaro
