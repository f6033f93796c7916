#include "Printout.h"

#include "CalcolaOre.h"
#include "PrintLine.h"

namespace zelvaro {

ArchiveError hoursListLines(Archive &archive, QStringList *lines)
{
    lines->clear();
    WeekAccumulators week;
    BoxTexts boxes;
    return archive.forEachListed([&](const HoursRecord &record) {
        setTimes(boxes, record.oraInizio1, record.oraFine1, record.oraInizio2, record.oraFine2,
                 record.oraInizio3, record.oraFine3);
        // A record whose period 1 has no duration leaves the day and running totals of the
        // record before it in `boxes`, and its line prints them.
        CALCOLA_ORE(boxes, week);
        lines->append(printLine(record, boxes));
    });
}

PrintResult printHoursList(Archive &archive, LinePrinter &printer)
{
    // The whole list is read before anything reaches the printer, so a failing archive never
    // leaves half a list on paper.
    QStringList lines;
    const ArchiveError error = hoursListLines(archive, &lines);
    if (error.failed())
        return PrintResult{error.code, error.text, QString()};
    for (const QString &line : std::as_const(lines))
        printer.printLine(line);
    return printer.endDocument(hoursListDocument());
}

} // namespace zelvaro
