#include "CalcolaOre.h"

#include "LeadingNumber.h"
#include "TimeValues.h"

#include <algorithm>
#include <cmath>

namespace zelvaro {

namespace {

// Hours that leave the range of a double (times near 1E308 of opposite signs) count as 0, as a
// time entry beyond that range does; the texts and the accumulators never hold inf or nan.
double inRange(double hours)
{
    return std::isfinite(hours) ? hours : 0;
}

// What readDuration reads back from the text that writeDurationText writes for `hours` and
// `minutes`. Whole figures of at most 15 digits are written digit for digit and read back exactly
// (a zero without its sign); any other figure is read from the text itself.
HoursMinutes readBack(const QString &text, double hours, double minutes)
{
    const auto whole = [](double v) {
        return v >= -1e15 && v <= 1e15 && double(static_cast<long long>(v)) == v;
    };
    if (whole(hours) && whole(minutes))
        return {hours + 0.0, minutes + 0.0};
    return readDuration(text);
}

// Writes the duration of one period into `box`, or empties it when the start or the end is not
// given; `read` receives what readDuration reads back from the box. Returns whether the period is
// complete.
bool computePeriod(QStringView start, QStringView end, QString &box, HoursMinutes &read)
{
    const double s = leadingNumber(start);
    const double e = leadingNumber(end);
    if (s == 0 || e == 0) {
        box.truncate(0);
        read = {};
        return false;
    }
    const HoursMinutes from = splitTime(s);
    const HoursMinutes to = splitTime(e);
    double hours = to.hours - from.hours;
    double minutes = to.minutes - from.minutes;
    if (minutes < 0) { // borrow, once only
        hours -= 1;
        minutes += 60;
    }
    const double carry = std::floor(minutes / 60);
    if (carry > 0) {
        hours += carry;
        minutes -= 60 * carry;
    }
    writeDurationText(box, inRange(hours), minutes);
    read = readBack(box, inRange(hours), minutes);
    return true;
}

} // namespace

bool CALCOLA_ORE(BoxTexts &boxes, WeekAccumulators &week, HoursMinutes *dayTotal)
{
    return CALCOLA_ORE(TimeEntries{boxes.oraInizio1, boxes.oraFine1, boxes.oraInizio2, boxes.oraFine2,
                                   boxes.oraInizio3, boxes.oraFine3},
                       boxes, week, dayTotal);
}

bool CALCOLA_ORE(const TimeEntries &times, BoxTexts &boxes, WeekAccumulators &week, HoursMinutes *dayTotal)
{
    // The day total is made from the period texts as read back, an emptied one counting as 0.
    HoursMinutes p1, p2, p3;
    const bool period1Complete = computePeriod(times.oraInizio1, times.oraFine1, boxes.totale1, p1);
    computePeriod(times.oraInizio2, times.oraFine2, boxes.totale2, p2);
    computePeriod(times.oraInizio3, times.oraFine3, boxes.totale3, p3);
    // A complete period 1 shorter than one hour ("0 h / 45 Min.") still makes a day: its duration
    // text reads as 0 hours, but the short morning was worked and belongs in the totals.
    if (!period1Complete)
        return false;

    double hours = inRange(p1.hours + p2.hours + p3.hours);
    double minutes = p1.minutes + p2.minutes + p3.minutes;
    if (minutes < 0) {
        hours -= 1;
        minutes += 60;
    }
    double carry = std::floor(minutes / 60);
    if (carry > 0) {
        hours += carry;
        minutes -= 60 * carry;
    }
    writeDurationText(boxes.totaleGenerale, hours, minutes);
    if (dayTotal)
        *dayTotal = HoursMinutes{hours, minutes};

    // The running total carries whole hours but never borrows.
    week.hours = inRange(week.hours + hours);
    week.minutes += minutes;
    carry = std::floor(week.minutes / 60);
    if (carry > 0) {
        week.minutes -= 60 * carry;
        week.hours = inRange(week.hours + carry);
    }
    writeDurationText(boxes.totaleGenSettimana, week.hours, week.minutes);
    return true;
}

void copyText(QString &to, QStringView from)
{
    if (to.size() != from.size())
        to.resize(from.size());
    std::copy(from.begin(), from.end(), to.begin());
}

void setTimes(BoxTexts &boxes, QStringView oraInizio1, QStringView oraFine1, QStringView oraInizio2,
              QStringView oraFine2, QStringView oraInizio3, QStringView oraFine3)
{
    copyText(boxes.oraInizio1, oraInizio1);
    copyText(boxes.oraFine1, oraFine1);
    copyText(boxes.oraInizio2, oraInizio2);
    copyText(boxes.oraFine2, oraFine2);
    copyText(boxes.oraInizio3, oraInizio3);
    copyText(boxes.oraFine3, oraFine3);
}

} // namespace zelvaro
