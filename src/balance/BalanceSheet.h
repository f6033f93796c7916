#pragma once

#include "Balance.h"

#include <QDate>
#include <QList>

#include <optional>

namespace zelvaro {

// A line of a month's timesheet: a day, the part of an ISO week inside the month, or the month.
struct BalanceSheetLine
{
    enum class Kind { Day, Week, Month };
    Kind kind = Kind::Day;
    qsizetype day = -1; // a Day line: its index in BalanceSheet::days
    QDate from;         // the first and last day the line covers, inside the month
    QDate to;
    int isoYear = 0; // a Week line: its ISO 8601 week-based year and week number
    int week = 0;
    BalanceTotals totals; // `running` as at the end of `to`
};

struct BalanceSheet
{
    int year = 0;
    int month = 0;
    double runningAtStart = 0;     // the running balance before the month's first day, in minutes
    QList<BalanceDay> days;        // every calendar day of the month
    QList<BalanceSheetLine> lines; // each day, each week's part after its last day, then the month

    double runningAtEnd() const { return lines.back().totals.running; }
};

// The timesheet of one month (1 to 12) of the balance of `input`; none without contract hours or
// for a month that is not a date.
std::optional<BalanceSheet> balanceSheet(const BalanceInput &input, int year, int month);

} // namespace zelvaro
