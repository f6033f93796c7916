#pragma once

#include "HoursRecord.h"
#include "HoursSummary.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

namespace zelvaro {

// The records a sheet holds: those of one month, or (year 0) those without a valid date.
struct SheetKey
{
    int year = 0;
    int month = 0;
    bool invalidDates() const { return year == 0; }
    friend bool operator==(const SheetKey &, const SheetKey &) = default;
};

// One record of a sheet, copied out of the pass.
struct SheetRecord
{
    QDate date; // invalid for a record without a valid date
    HoursRecord record;
    QString dayTotal; // duration text; empty when period 1 is incomplete
    bool complete = false;
    double minutes = 0;
};

// A line of the sheet: a record, the subtotal of an ISO week (its days within the month), the total.
struct SheetRow
{
    enum class Kind { Day, Week, Total };
    Kind kind = Kind::Day;
    qsizetype record = -1; // a Day row: its index in Sheet::records
    QString label;         // "lun 02/03/2026", "Settimana 10 del 2026", "Settimana 49 (dal 1/12)",
                           // "Totale marzo 2026"
    PeriodTotals totals;   // of the record, the week or the sheet, counted as the summary counts
};

struct Sheet
{
    SheetKey key;
    QList<SheetRecord> records; // in date order, records of one date in number order
    QList<SheetRow> rows;       // the records, each ISO week followed by its subtotal, then the total
};

// Orders `records` by date and lays out the rows. The records without a valid date keep their order
// and get no week subtotals.
Sheet makeSheet(const SheetKey &key, QList<SheetRecord> records);

// "marzo 2026", or "Data non valida".
QString sheetPeriodName(const SheetKey &key);

// A day's name on a sheet: "lun 02/03/2026"; a record without a valid date as it was typed.
QString dayLabel(const QDate &date);
QString dayLabel(const SheetRecord &record);

// The subtotal of the ISO week of `day` on the sheet of `key`: "Settimana 10 del 2026". A week that
// begins in the month before or ends in the next one has only part of its days on the sheet, and
// says which: "Settimana 49 (dal 1/12)", "Settimana 5 (fino al 31/1)".
QString weekLabel(const QDate &day, const SheetKey &key);

// What a day row shows as its total: the day total, or "incompleto" when period 1 is incomplete.
QString dayTotalText(const SheetRecord &record);

// The printed timesheet: the title with the month and year, the column headings, one line per
// record (weekday and date, the six times, the day total and decimal hours), each week's subtotal,
// the total and the number of days worked, in fixed columns for a fixed-pitch font.
QStringList timesheetLines(const Sheet &sheet);

} // namespace zelvaro
