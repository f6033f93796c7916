#pragma once

#include "Outcome.h"

#include <QDate>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringView>

#include <vector>

namespace zelvaro {

class Archive;
class Progress;
struct ComputedDay;

// The calendar date of a record: ANNO, MESE and GIORNO with blanks trimmed, each written in digits
// only (leading zeros allowed), the year from 1000 to 9999, the month from 1 to 12, the day one of
// that month (Gregorian). An invalid QDate for anything else: the record is "Data non valida".
QDate recordDate(QStringView anno, QStringView mese, QStringView giorno);

// The figures of one group of records (a month, an ISO week, a year, the records without a valid
// date, all of them).
struct PeriodTotals
{
    double minutes = 0; // sum of the day totals of its complete records, in whole minutes
    int days = 0;       // distinct dates with at least one complete record
    int incomplete = 0; // records whose period 1 is incomplete (they count 0 minutes)
    int records = 0;
};

struct YearTotals
{
    int year = 0;
    PeriodTotals totals;
};

struct MonthTotals
{
    int year = 0;
    int month = 0; // 1 to 12
    PeriodTotals totals;
};

struct WeekTotals
{
    int isoYear = 0; // the ISO 8601 week-based year
    int week = 0;    // 1 to 53
    QDate monday;
    PeriodTotals totals;
};

// The hours of the archive by year, month and ISO week, each list in date order and holding only
// the groups that have records; the records without a valid date apart; the grand total.
struct HoursSummary
{
    QList<YearTotals> years;
    QList<MonthTotals> months;
    QList<WeekTotals> weeks;
    PeriodTotals invalidDates; // "Data non valida"
    PeriodTotals total;
};

// Collects the summary record by record.
class SummaryBuilder
{
public:
    // One record: its date texts, whether it made a day total and that total in minutes (a figure
    // beyond the range of a double counts 0).
    void add(QStringView anno, QStringView mese, QStringView giorno, bool complete, double minutes);
    void add(const ComputedDay &day);
    // The same, `date` being recordDate() of the three texts.
    void add(const QDate &date, QStringView anno, QStringView mese, QStringView giorno, bool complete,
             double minutes);
    HoursSummary finish();

private:
    struct Dated
    {
        qint64 julianDay;
        double minutes;
        bool complete;
    };
    std::vector<Dated> m_dated;
    PeriodTotals m_invalid;
    QSet<QString> m_invalidDays; // the date texts of the complete records without a valid date
};

// The summary of every listed record, from the one pass over the archive. `progress` (may be null)
// hears of every record; when it cancels, Outcome::cancelledByUser() is returned and `summary` is untouched.
Outcome summarizeArchive(Archive &archive, HoursSummary *summary, Progress *progress = nullptr);

// T minutes as a duration text: hours = T / 60 truncated toward zero, minutes the rest
// ("-2 h / -39 Min." for -159).
QString hoursText(double minutes);
// T / 60 rounded half away from zero to two places, with a decimal comma ("162,50").
QString decimalHoursText(double minutes);
// Whole minutes in plain digits ("-159").
QString minutesText(double minutes);

// "gennaio" ... "dicembre" for 1 to 12.
QString monthName(int month);
// "lun" ... "dom" for Qt's day of the week 1 (Monday) to 7.
QString weekdayName(int dayOfWeek);

} // namespace zelvaro
