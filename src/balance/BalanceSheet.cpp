#include "BalanceSheet.h"

namespace zelvaro {

namespace {

BalanceSheetLine sheetLine(BalanceSheetLine::Kind kind, QDate from, QDate to, qsizetype day = -1)
{
    BalanceSheetLine line;
    line.kind = kind;
    line.day = day;
    line.from = from;
    line.to = to;
    return line;
}

} // namespace

std::optional<BalanceSheet> balanceSheet(const BalanceInput &input, int year, int month)
{
    const QDate first(year, month, 1);
    if (!first.isValid())
        return std::nullopt;
    const QDate last = first.addMonths(1).addDays(-1);
    std::optional<Balance> balance = computeBalance(input, first, last);
    if (!balance)
        return std::nullopt;

    using Kind = BalanceSheetLine::Kind;
    BalanceSheet sheet{year, month, 0, std::move(balance->days), {}};
    const BalanceTotals &opening = sheet.days.front().figures;
    sheet.runningAtStart = opening.running - opening.balance;
    sheet.lines.reserve(sheet.days.size() + 7);
    BalanceSheetLine week = sheetLine(Kind::Week, {}, {});
    BalanceSheetLine total = sheetLine(Kind::Month, first, last);
    for (qsizetype i = 0; i < sheet.days.size(); ++i) {
        const BalanceDay &day = sheet.days.at(i);
        if (!week.from.isValid()) {
            week.from = day.date;
            week.week = day.date.weekNumber(&week.isoYear);
        }
        sheet.lines.append(sheetLine(Kind::Day, day.date, day.date, i));
        sheet.lines.back().totals = day.figures;
        week.to = day.date;
        week.totals.add(day.figures);
        total.totals.add(day.figures);
        if (day.dayOfWeek == 7 || day.date == last) {
            sheet.lines.append(week);
            week = sheetLine(Kind::Week, {}, {});
        }
    }
    sheet.lines.append(total);
    return sheet;
}

} // namespace zelvaro
