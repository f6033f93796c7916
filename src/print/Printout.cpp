#include "Printout.h"

#include "ComputedDays.h"
#include "PrintLine.h"

namespace zelvaro {

Outcome hoursListLines(Archive &archive, QStringList *lines, Progress *progress)
{
    lines->clear();
    bool going = true;
    // A record whose period 1 is incomplete prints an empty day total and the running total so far.
    return forEachComputedDay(archive, [&](const ComputedDay &day) {
        if (going) {
            lines->append(printLine(day.record, day.boxes));
            going = goOn(progress, lines->size(), 0);
        }
    });
}

PrintResult printHoursList(Archive &archive, LinePrinter &printer, Progress *progress)
{
    // The whole list is read before anything reaches the printer, so a failing archive never
    // leaves half a list on paper.
    QStringList lines;
    const Outcome error = hoursListLines(archive, &lines, progress);
    if (error.failed())
        return PrintResult::from(error);
    if (!goOn(progress, lines.size(), 0))
        return PrintResult::from(Outcome::cancelledByUser());
    for (const QString &line : std::as_const(lines))
        printer.printLine(line);
    return printer.endDocument(hoursListDocument(), progress);
}

} // namespace zelvaro
