#pragma once

#include "BalanceSheet.h"
#include "Timesheet.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace zelvaro {

// The columns of a month shown with its balance, in the window and on the timesheet to sign.
enum BalanceMonthColumn {
    kBmNumMov, // the record's number
    kBmDay,    // "lun 02/03/2026", "Settimana 14 del 2025", "Totale aprile 2025"
    kBmTimes,  // six columns: Inizio 1, Fine 1, Inizio 2, Fine 2, Inizio 3, Fine 3
    kBmWorked = kBmTimes + 6,
    kBmDecimal, // the worked hours in decimal hours
    kBmNote,    // the holiday's name, the absence's type, "Riposo" on a day without contract hours
    kBmAbsence, // the absence's hours (also a recupero's, which counts 0)
    kBmExpected,
    kBmBalance,
    kBmRunning, // on the weeks and the month: the running balance at their end
    kBalanceMonthColumns
};

QStringList balanceMonthHeadings();

// A figure of the balance in minutes as hours are typed, with its sign: -135 is "-2.15".
QString balanceFigureText(double minutes);

// A line of the month: a day (one line for each of its records, or one without a record), the part
// of an ISO week inside the month after its last day, the month's total last.
struct BalanceMonthLine
{
    enum class Kind { Day, Week, Month };
    Kind kind = Kind::Day;
    qsizetype day = -1;     // a Day line: its index in BalanceSheet::days
    qsizetype record = -1;  // a Day line: its record in Sheet::records, -1 for a day without records
    bool firstOfDay = true; // a Day line that carries the day's balance (its first)
    bool dayOff = false;    // a Day line of a holiday or a day without contract hours
    QStringList cells;      // kBalanceMonthColumns texts
    QString worked;         // the worked hours as the balance's figures are written ("8.30"), for paper
};

// Lays out the month of `balance` with the records of `records` (the sheet of the same month).
// Day lines show the record's times and day total; the balance columns are the day's, the weeks'
// and the month's figures of the balance.
QList<BalanceMonthLine> balanceMonthLines(const Sheet &records, const BalanceSheet &balance);

// "Saldo progressivo a inizio mese: 12.30" and "… a fine mese: -1.05".
QStringList balanceMonthClosing(const BalanceSheet &balance);

} // namespace zelvaro
