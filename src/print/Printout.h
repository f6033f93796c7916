#pragma once

#include "Archive.h"
#include "LinePrinter.h"
#include "Progress.h"

#include <QStringList>

namespace zelvaro {

// The lines of the hours list: one per record with NUM_MOV > 0, in increasing number order, each
// with its period durations, day total (empty when period 1 is incomplete) and the running total of
// this pass (which starts from 0).
// Computes on its own box texts and accumulators: nothing of a window is read or written.
// On an archive failure `lines` holds what was read before it and the error is returned.
// `progress` (may be null) hears of every line; once it cancels, the later lines are left out.
Outcome hoursListLines(Archive &archive, QStringList *lines, Progress *progress = nullptr);

// "Stampa elenco": prints every line of the hours list and ends the document. An archive failure
// sends nothing to the printer and returns the archive's code and text; otherwise the printer's
// result is returned (pdfPath set when the document went to a PDF file). An empty archive ends an
// empty document. `progress` (may be null) hears of the records read and then of the lines laid
// out; when it cancels, nothing reaches the printer and the result is cancelled().
PrintResult printHoursList(Archive &archive, LinePrinter &printer, Progress *progress = nullptr);

} // namespace zelvaro
