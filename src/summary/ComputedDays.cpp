#include "ComputedDays.h"

#include "Archive.h"
#include "TimeValues.h"

namespace zelvaro {

Outcome forEachComputedDay(Archive &archive, BoxTexts &boxes, WeekAccumulators &week,
                           const ComputedDayCallback &day)
{
    return archive.forEachListed(
        [&](const HoursRecord &record) {
            setTimes(boxes, record.oraInizio1, record.oraFine1, record.oraInizio2, record.oraFine2,
                     record.oraInizio3, record.oraFine3);
            HoursMinutes total;
            const bool made = CALCOLA_ORE(boxes, week, &total);
            double minutes = 0;
            if (made) {
                minutes = total.hours * 60 + total.minutes;
            } else {
                // CALCOLA_ORE leaves the day total of an earlier record there: this day has none.
                boxes.totaleGenerale.truncate(0);
            }
            day(ComputedDay{record, boxes, made, minutes});
        },
        Archive::ListedNote::Skipped);
}

Outcome forEachComputedDay(Archive &archive, const ComputedDayCallback &day)
{
    BoxTexts boxes;
    WeekAccumulators week;
    return forEachComputedDay(archive, boxes, week, day);
}

} // namespace zelvaro
