#include "ComputedDays.h"

#include "Archive.h"
#include "TimeValues.h"

namespace zelvaro {

ArchiveError forEachComputedDay(Archive &archive, BoxTexts &boxes, WeekAccumulators &week,
                                const ComputedDayCallback &day)
{
    return archive.forEachListed([&](const HoursRecord &record) {
        setTimes(boxes, record.oraInizio1, record.oraFine1, record.oraInizio2, record.oraFine2,
                 record.oraInizio3, record.oraFine3);
        const bool made = CALCOLA_ORE(boxes, week);
        double minutes = 0;
        if (made) {
            // Read back from the text, as anyone reading the day total would.
            const HoursMinutes total = readDuration(boxes.totaleGenerale);
            minutes = total.hours * 60 + total.minutes;
        } else {
            // CALCOLA_ORE leaves the day total of an earlier record there: this day has none.
            boxes.totaleGenerale.truncate(0);
        }
        day(ComputedDay{record, boxes, made, minutes});
    });
}

ArchiveError forEachComputedDay(Archive &archive, const ComputedDayCallback &day)
{
    BoxTexts boxes;
    WeekAccumulators week;
    return forEachComputedDay(archive, boxes, week, day);
}

} // namespace zelvaro
