#include "ComputedDays.h"

#include "Archive.h"
#include "TimeValues.h"

namespace zelvaro {

Outcome forEachComputedDay(Archive &archive, BoxTexts &boxes, WeekAccumulators &week,
                           const ComputedDayCallback &day)
{
    // CALCOLA_ORE reads the times where the archive put them: the boxes take them once, at the end.
    HoursRecord record;
    const Outcome error = archive.forEachListed(
        record,
        [&](const HoursRecord &r) {
            HoursMinutes total;
            const bool made = CALCOLA_ORE(
                TimeEntries{r.oraInizio1, r.oraFine1, r.oraInizio2, r.oraFine2, r.oraInizio3, r.oraFine3},
                boxes, week, &total);
            double minutes = 0;
            if (made) {
                minutes = total.hours * 60 + total.minutes;
            } else {
                // CALCOLA_ORE leaves the day total of an earlier record there: this day has none.
                boxes.totaleGenerale.truncate(0);
                total = {};
            }
            day(ComputedDay{r, boxes, made, minutes, total});
        },
        Archive::ListedNote::Skipped);
    setTimes(boxes, record.oraInizio1, record.oraFine1, record.oraInizio2, record.oraFine2, record.oraInizio3,
             record.oraFine3);
    return error;
}

Outcome forEachComputedDay(Archive &archive, const ComputedDayCallback &day)
{
    BoxTexts boxes;
    WeekAccumulators week;
    return forEachComputedDay(archive, boxes, week, day);
}

} // namespace zelvaro
