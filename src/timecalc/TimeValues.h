#pragma once

#include <QString>
#include <QStringView>

namespace zelvaro {

// A duration or a clock time split into whole hours and minutes (both may be any whole number;
// hours may be negative).
struct HoursMinutes
{
    double hours = 0;
    double minutes = 0;
    friend bool operator==(const HoursMinutes &, const HoursMinutes &) = default;
};

// Splits a time entry read as a number (8.30 = 8 hours 30 minutes): hours = floor(t),
// minutes = floor((t - hours) * 100 + 0.5).
HoursMinutes splitTime(double t);

// "H h / M Min.": plain decimal digits, '-' for negatives, no padding, no exponent, never "-0".
// A value beyond the range of a double (inf, nan) is written as 0.
QString durationText(double hours, double minutes);

// The same text written into `box`, reusing its buffer when it is not shared with another copy.
void writeDurationText(QString &box, double hours, double minutes);

// Reads a duration text (or any box text) back: hours = floor of its leading number, minutes =
// the leading number after the first '/', or 0 when there is none. The empty text gives 0, 0.
HoursMinutes readDuration(QStringView text);

} // namespace zelvaro
