#pragma once

#include "Balance.h"
#include "Holidays.h"

#include <QDate>
#include <QString>
#include <QStringView>

#include <optional>

namespace zelvaro {

inline constexpr int kMinutesPerDay = 24 * 60;

// An hour value of the command line, `H` or `H.MM` (H one or more digits, MM from 00 to 59), in
// whole minutes: "7.36" is 456. Nothing else is accepted: no blank, no sign, no comma.
// The contract minutes of a weekday or an absence: 0 to 24.00.
std::optional<int> parseDayMinutes(QStringView text);
// The opening balance: the same, with an optional leading '-' ("-2.15" is -135), within the range
// of an int.
std::optional<int> parseSignedMinutes(QStringView text);

// Whole minutes as an hour value, "H.MM" with '-' when negative: -135 is "-2.15", 0 is "0.00".
QString hourValueText(qint64 minutes);

// A date written exactly GG/MM/AAAA: a real Gregorian date of the years 1000 to 9999. Invalid
// otherwise.
QDate parseDate(QStringView text);

// A patron day written exactly GG/MM, a day some year has (29/02 included); "GG/MM" back.
std::optional<PatronDay> parsePatronDay(QStringView text);
QString patronDayText(PatronDay patron);

// The absence types as stored and typed ("ferie", "malattia", "permesso", "festivita",
// "recupero", exactly so) and their names on screen and paper ("Festività aziendale").
std::optional<AbsenceType> absenceTypeFromWord(QStringView word);
QString absenceTypeWord(AbsenceType type);
QString absenceTypeName(AbsenceType type);

} // namespace zelvaro
