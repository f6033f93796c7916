#include "PdfFallback.h"

#include "CupsQueue.h"
#include "PrivateFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace zelvaro {

QString freePdfName(const QString &folder, const QString &stem, const QDateTime &now)
{
    const QString base =
        QDir(folder).filePath(stem + QLatin1Char('_') + now.toString(QStringLiteral("yyyyMMdd_HHmmss")));
    QString path = base + QStringLiteral(".pdf");
    // Two printouts in the same second must not overwrite each other.
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = base + QLatin1Char('_') + QString::number(n) + QStringLiteral(".pdf");
    return path;
}

PrintResult savePdf(const QString &path, const PrintDocument &document, PrintResult outcome,
                    const std::function<bool(QIODevice &)> &write)
{
    // Written beside the target and renamed at the end: a failure leaves no file.
    QSaveFile file(path);
    const bool replaces = QFileInfo::exists(path);
    if (file.open(QIODevice::WriteOnly) && (replaces || makePrivate(file.handle())) && write(file) &&
        file.commit()) {
        outcome.pdfPath = path;
        return outcome;
    }
    // The PDF was the last resort: its failure is the printout's, with the printer's cause before it.
    const QString cause = pdfFallbackCause(outcome);
    outcome.code = kFileErrorCode;
    outcome.text = (cause.isEmpty() ? QString() : cause + QStringLiteral(". ")) +
                   QStringLiteral("Impossibile salvare ") + document.what + QStringLiteral(" nel file ") +
                   QDir::toNativeSeparators(path);
    return outcome;
}

PrintResult withoutPrinter(const CupsQueue &queue)
{
    PrintResult outcome;
    // Without a default set on this side, a silent service is most likely not installed: no printer.
    outcome.printer = queue.serviceAnswers() ? QString() : CupsQueue::configuredDefault();
    if (!outcome.printer.isEmpty()) {
        outcome.note = PrintResult::Note::Unreachable;
        outcome.reason = CupsQueue::server();
    }
    return outcome;
}

} // namespace zelvaro
