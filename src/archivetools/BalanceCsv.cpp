#include "BalanceCsv.h"

#include "BalanceTables.h"
#include "CsvFile.h"
#include "HoursSummary.h"
#include "WorkedMinutes.h"

namespace zelvaro {

namespace {

QStringList figures(const BalanceTotals &t)
{
    return {minutesText(t.worked), minutesText(t.absence), minutesText(t.expected), minutesText(t.balance),
            minutesText(t.running)};
}

QString dateText(QDate date)
{
    return date.toString(u"dd/MM/yyyy");
}

} // namespace

Outcome readBalanceInput(Archive &archive, BalanceInput *input)
{
    Q_ASSERT(input != nullptr);
    StoredBalance stored;
    if (Outcome error = BalanceTables(archive).read(&stored))
        return error;
    QMap<QDate, double> worked;
    if (Outcome error = workedMinutesByDate(archive, &worked))
        return error;
    input->contract = std::move(stored.contract);
    input->absences = std::move(stored.absences);
    input->settings = std::move(stored.settings);
    input->worked = std::move(worked);
    return {};
}

void forEachBalanceCsvRow(const Balance &balance, SummaryRows rows,
                          const std::function<void(const QStringList &)> &row)
{
    const QStringList totalsHeader{QStringLiteral("Minuti lavorati"), QStringLiteral("Minuti di assenza"),
                                   QStringLiteral("Minuti previsti"), QStringLiteral("Saldo minuti"),
                                   QStringLiteral("Saldo progressivo minuti")};
    if (rows == SummaryRows::Weeks) {
        row(QStringList{QStringLiteral("Anno ISO"), QStringLiteral("Settimana"), QStringLiteral("Dal"),
                        QStringLiteral("Al")} +
            totalsHeader);
        for (const WeekBalance &w : balance.weeks)
            row(QStringList{QString::number(w.isoYear), QString::number(w.week), dateText(w.monday),
                            dateText(w.sunday)} +
                figures(w.totals));
        row(QStringList{QStringLiteral("Totale"), QString(), QString(), QString()} + figures(balance.total));
        return;
    }
    row(QStringList{QStringLiteral("Anno"), QStringLiteral("Mese")} + totalsHeader);
    for (const MonthBalance &m : balance.months)
        row(QStringList{QString::number(m.year), QString::number(m.month)} + figures(m.totals));
    row(QStringList{QStringLiteral("Totale"), QString()} + figures(balance.total));
}

void writeBalanceCsv(const Balance &balance, SummaryRows rows, CsvWriter &csv)
{
    forEachBalanceCsvRow(balance, rows, [&csv](const QStringList &fields) { csv.line(fields); });
}

} // namespace zelvaro
