#pragma once

#include "CalcolaOre.h"
#include "HoursRecord.h"
#include "Outcome.h"

#include <functional>

namespace zelvaro {

class Archive;

// One listed record with what CALCOLA_ORE computes for it in a pass over the list. The references
// point into buffers that the pass reuses from row to row: copy what must outlive the call.
struct ComputedDay
{
    const HoursRecord &record; // its field texts, without the note
    // Its three period durations (empty for an incomplete period), its own day total (empty when it
    // makes none) and the running total after it (empty before the first total). The six times are
    // the record's: those of the boxes are set only once the pass is over.
    const BoxTexts &boxes;
    bool madeDayTotal;  // period 1 complete: the day has a total and added it to the running total
    double dayMinutes;  // the day total as hours * 60 + minutes (negative stays negative); 0 without one
    HoursMinutes total; // the day total's hours and minutes, whose text dayTotal() is; 0, 0 without one

    const QString &dayTotal() const { return boxes.totaleGenerale; }
    const QString &runningTotal() const { return boxes.totaleGenSettimana; }
};

using ComputedDayCallback = std::function<void(const ComputedDay &)>;

// The one pass over the listed records (NUM_MOV above 0, in number order) that the list, the
// printout, the export and the summary share: CALCOLA_ORE runs once per record on `boxes`, adding
// to `week` (callers reset it). Nothing is allocated per row once the buffers have grown. After the
// pass `boxes` holds the last record's times and results (none read: the boxes' times are empty). On an
// archive failure the records read before it have been passed on and the error is returned.
Outcome forEachComputedDay(Archive &archive, BoxTexts &boxes, WeekAccumulators &week,
                           const ComputedDayCallback &day);

// The same pass from empty boxes and a running total of 0.
Outcome forEachComputedDay(Archive &archive, const ComputedDayCallback &day);

} // namespace zelvaro
