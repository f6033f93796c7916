#include "HoursSummary.h"

#include "ComputedDays.h"
#include "Progress.h"
#include "TimeValues.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zelvaro {

namespace {

// The value of a text of ASCII digits only, leading zeros allowed, when it has at most
// `maxDigits` significant digits; -1 otherwise.
int digitsValue(QStringView text, int maxDigits)
{
    while (!text.isEmpty() && text.front() == u' ')
        text = text.sliced(1);
    while (!text.isEmpty() && text.back() == u' ')
        text.chop(1);
    if (text.isEmpty())
        return -1;
    int value = 0;
    int significant = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return -1;
        if (value == 0 && c == u'0')
            continue;
        if (++significant > maxDigits)
            return -1;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

void addTo(PeriodTotals &group, const PeriodTotals &part)
{
    group.minutes += part.minutes;
    group.days += part.days;
    group.incomplete += part.incomplete;
    group.records += part.records;
}

} // namespace

QDate recordDate(QStringView anno, QStringView mese, QStringView giorno)
{
    const int year = digitsValue(anno, 4);
    const int month = digitsValue(mese, 2);
    const int day = digitsValue(giorno, 2);
    if (year < 1000 || !QDate::isValid(year, month, day))
        return {};
    return QDate(year, month, day);
}

void SummaryBuilder::add(QStringView anno, QStringView mese, QStringView giorno, bool complete,
                         double minutes)
{
    add(recordDate(anno, mese, giorno), anno, mese, giorno, complete, minutes);
}

void SummaryBuilder::add(const QDate &date, QStringView anno, QStringView mese, QStringView giorno,
                         bool complete, double minutes)
{
    if (!std::isfinite(minutes))
        minutes = 0;
    if (date.isValid()) {
        m_dated.push_back(Dated{date.toJulianDay(), complete ? minutes : 0, complete});
        return;
    }
    ++m_invalid.records;
    if (!complete) {
        ++m_invalid.incomplete;
        return;
    }
    m_invalid.minutes += minutes;
    QString key;
    key.append(anno).append(u'\x1f').append(mese).append(u'\x1f').append(giorno);
    m_invalidDays.insert(key);
}

void SummaryBuilder::add(const ComputedDay &day)
{
    add(day.record.anno, day.record.mese, day.record.giorno, day.madeDayTotal, day.dayMinutes);
}

HoursSummary SummaryBuilder::finish()
{
    HoursSummary summary;
    std::sort(m_dated.begin(), m_dated.end(),
              [](const Dated &a, const Dated &b) { return a.julianDay < b.julianDay; });
    qint64 monthEnd = std::numeric_limits<qint64>::min(); // the first day after the current month
    qint64 weekEnd = monthEnd;
    for (auto it = m_dated.cbegin(); it != m_dated.cend();) {
        // One date, however many records it has.
        PeriodTotals day;
        const qint64 julianDay = it->julianDay;
        for (; it != m_dated.cend() && it->julianDay == julianDay; ++it) {
            ++day.records;
            day.minutes += it->minutes;
            if (it->complete)
                day.days = 1;
            else
                ++day.incomplete;
        }
        // Sorted dates leave a month or a week only forwards: the calendar is asked once for each.
        if (julianDay >= monthEnd) {
            const QDate date = QDate::fromJulianDay(julianDay);
            const QDate first(date.year(), date.month(), 1);
            monthEnd = first.addMonths(1).toJulianDay();
            if (summary.years.isEmpty() || summary.years.back().year != date.year())
                summary.years.append(YearTotals{date.year(), {}});
            summary.months.append(MonthTotals{date.year(), date.month(), {}});
        }
        if (julianDay >= weekEnd) {
            const QDate date = QDate::fromJulianDay(julianDay);
            int isoYear = 0;
            const int week = date.weekNumber(&isoYear);
            const QDate monday = date.addDays(1 - date.dayOfWeek());
            weekEnd = monday.toJulianDay() + 7;
            summary.weeks.append(WeekTotals{isoYear, week, monday, {}});
        }
        addTo(summary.years.back().totals, day);
        addTo(summary.months.back().totals, day);
        addTo(summary.weeks.back().totals, day);
        addTo(summary.total, day);
    }
    m_invalid.days = int(m_invalidDays.size());
    summary.invalidDates = m_invalid;
    addTo(summary.total, m_invalid);
    *this = SummaryBuilder();
    return summary;
}

Outcome summarizeArchive(Archive &archive, HoursSummary *summary, Progress *progress)
{
    SummaryBuilder builder;
    qint64 read = 0;
    bool going = true;
    const Outcome error = forEachComputedDay(archive, [&](const ComputedDay &day) {
        if (going) {
            builder.add(day);
            going = goOn(progress, ++read, 0);
        }
    });
    if (error.failed())
        return error;
    if (!going)
        return Outcome::cancelledByUser();
    *summary = builder.finish();
    return {};
}

QString hoursText(double minutes)
{
    const double hours = std::trunc(minutes / 60);
    return durationText(hours, minutes - hours * 60);
}

QString decimalHoursText(double minutes)
{
    // Whole minutes make T * 5 / 3 hundredths, which never end in exactly one half.
    const double hundredths = std::round(minutes * 5 / 3);
    if (!(std::abs(hundredths) < 1e15))
        return QString::number(minutes / 60, 'f', 2).replace(u'.', u',');
    const qint64 whole = qint64(std::abs(hundredths));
    return (hundredths < 0 ? QStringLiteral("-") : QString()) + QString::number(whole / 100) +
           QLatin1Char(',') + QStringLiteral("%1").arg(whole % 100, 2, 10, QLatin1Char('0'));
}

QString minutesText(double minutes)
{
    return QString::number(0.0 + minutes, 'f', 0); // 0.0 + keeps "-0" out
}

QString monthName(int month)
{
    static const char *const names[] = {"gennaio",   "febbraio", "marzo",    "aprile",
                                        "maggio",    "giugno",   "luglio",   "agosto",
                                        "settembre", "ottobre",  "novembre", "dicembre"};
    return month >= 1 && month <= 12 ? QString::fromLatin1(names[month - 1]) : QString();
}

QString weekdayName(int dayOfWeek)
{
    static const char *const names[] = {"lun", "mar", "mer", "gio", "ven", "sab", "dom"};
    return dayOfWeek >= 1 && dayOfWeek <= 7 ? QString::fromLatin1(names[dayOfWeek - 1]) : QString();
}

} // namespace zelvaro
