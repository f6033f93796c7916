#pragma once

#include "LinePrinter.h"

#include <QDateTime>
#include <QString>

#include <functional>

class QIODevice;

namespace zelvaro {

class CupsQueue;

// The first free name <folder>/<stem>_AAAAMMGG_HHMMSS.pdf at `now`; "_2", "_3", … before ".pdf" when
// a printout of the same second took it.
QString freePdfName(const QString &folder, const QString &stem, const QDateTime &now);

// Writes `path` through `write` and returns `outcome` with pdfPath set; on failure, `outcome` with
// kFileErrorCode and a sentence naming the file (after the printer's cause, if any), and no file
// left behind. A new file is the user's alone (it holds hours); a replaced one keeps its mode.
PrintResult savePdf(const QString &path, const PrintDocument &document, PrintResult outcome,
                    const std::function<bool(QIODevice &)> &write);

// What a document that found no printer in `queue` goes to the PDF with: nothing to add when the
// service has none, Unreachable with the printer set as default on this side when it does not answer.
PrintResult withoutPrinter(const CupsQueue &queue);

} // namespace zelvaro
