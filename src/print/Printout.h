#pragma once

#include "Archive.h"
#include "LinePrinter.h"

#include <QStringList>

namespace zelvaro {

// The lines of the hours list: one per record with NUM_MOV > 0, in increasing number order, each
// with its period durations, day total (empty when period 1 is incomplete) and the running total of
// this pass (which starts from 0).
// Computes on its own box texts and accumulators: nothing of a window is read or written.
// On an archive failure `lines` holds what was read before it and the error is returned.
ArchiveError hoursListLines(Archive &archive, QStringList *lines);

// "Stampa elenco": prints every line of the hours list and ends the document. An archive failure
// sends nothing to the printer and returns the archive's code and text; otherwise the printer's
// result is returned (pdfPath set when the document went to a PDF file). An empty archive ends an
// empty document.
PrintResult printHoursList(Archive &archive, LinePrinter &printer);

} // namespace zelvaro
