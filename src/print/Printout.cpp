#include "Printout.h"

#include "ComputedDays.h"
#include "PrintLine.h"

namespace zelvaro {

ArchiveError hoursListLines(Archive &archive, QStringList *lines)
{
    lines->clear();
    // A record whose period 1 is incomplete prints an empty day total and the running total so far.
    return forEachComputedDay(
        archive, [&](const ComputedDay &day) { lines->append(printLine(day.record, day.boxes)); });
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
