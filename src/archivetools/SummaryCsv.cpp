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

void writeSummaryCsv(const HoursSummary &summary, SummaryRows rows, CsvWriter &csv)
{
    const bool weeks = rows == SummaryRows::Weeks;
    // The closing rows name themselves in the first column and leave the period's other columns empty.
    const QStringList blanks(weeks ? 3 : 1, QString());
    const QStringList totalsHeader{QStringLiteral("Giorni"), QStringLiteral("Incompleti"),
                                   QStringLiteral("Minuti"), QStringLiteral("Ore"),
                                   QStringLiteral("Ore decimali")};
    if (weeks) {
        csv.line(QStringList{QStringLiteral("Anno ISO"), QStringLiteral("Settimana"), QStringLiteral("Dal"),
                             QStringLiteral("Al")} +
                 totalsHeader);
        for (const WeekTotals &w : summary.weeks)
            csv.line(QStringList{QString::number(w.isoYear), QString::number(w.week), dateText(w.monday),
                                 dateText(w.monday.addDays(6))} +
                     figures(w.totals));
    } else {
        csv.line(QStringList{QStringLiteral("Anno"), QStringLiteral("Mese")} + totalsHeader);
        for (const MonthTotals &m : summary.months)
            csv.line(QStringList{QString::number(m.year), QString::number(m.month)} + figures(m.totals));
    }
    if (summary.invalidDates.records > 0)
        csv.line(QStringList{QStringLiteral("Data non valida")} + blanks + figures(summary.invalidDates));
    csv.line(QStringList{QStringLiteral("Totale")} + blanks + figures(summary.total));
}

} // namespace zelvaro
