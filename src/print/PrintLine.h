#pragma once

#include "CalcolaOre.h"
#include "HoursRecord.h"

#include <QString>

namespace zelvaro {

// The printed line of one hours record, 30 characters of number, date and period 1 times, then:
// period 1 total and period 2 (when period 2 has a duration), period 3 (when it has a duration),
// the day total and the running total. `totals` holds the five duration texts as CALCOLA_ORE left
// them for this record; its six time entries are not used (the record's own times are printed).
// Durations are right-aligned in 14 (periods 1 and 2, day) or 15 (period 3, running total)
// characters and a record number is left-aligned in 5; a longer duration or number is printed
// whole, so the line grows by the excess. Date and time columns keep their width: a day keeps its
// last 2 characters, a time its last 6.
QString printLine(const HoursRecord &record, const BoxTexts &totals);

} // namespace zelvaro
