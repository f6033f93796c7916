#pragma once

#include "LinePrinter.h"

#include <QDateTime>
#include <QPageSize>
#include <QStringList>

#include <functional>

class QIODevice;

namespace zelvaro {

// How the last document was laid out.
struct PrintLayout
{
    bool landscape = false;
    qreal pointSize = 0;      // of the fixed-pitch font
    qreal pitch = 0;          // advance of one character, in points
    qreal printableWidth = 0; // in points
    int pages = 0;
};

// The real printer: collects the lines of a document and, on endDocument(), lays them out as a PDF
// in a fixed-pitch font and sends it, without a dialog, as one job through the print service
// (CUPS) to the default printer, or the first one when none is the default, on that printer's
// default paper (A4 when it names none). The page is turned to landscape when the longest line
// does not fit the portrait width at 8 pt; the size is then the largest, up to 10 pt, at which the
// longest line fits the printable width, however small: a line is never clipped nor wrapped.
// When no printer takes the job (there is none, it refuses it, or the service does not answer)
// the document is written as a PDF in `pdfFolder`, named <pdfStem>_AAAAMMGG_HHMMSS.pdf from `now`,
// and the result says why. A failure leaves no file and no job behind.
class QtLinePrinter : public LinePrinter
{
public:
    using Now = std::function<QDateTime()>;
    QtLinePrinter(QString pdfFolder, Now now);

    // The folder of the PDF files written when no printer takes a document, from now on.
    void setPdfFolder(const QString &folder) { m_folder = folder; }
    // Sends every later document to this PDF file instead of a printer (an empty path undoes it).
    void setOutputPdf(const QString &path) { m_forcedPdf = path; }

    void printLine(const QString &line) override { m_lines.append(line); }
    // An empty document sends nothing and succeeds.
    PrintResult endDocument(const PrintDocument &document, Progress *progress = nullptr) override;

    PrintLayout lastLayout() const { return m_layout; }

private:
    // Lays the lines out as a PDF of `page` into `out`; false when they find no room on it, or when
    // `progress` cancels (m_cancelled then set).
    bool render(const QStringList &lines, const QString &title, const QPageSize &page, QIODevice &out,
                Progress *progress);

    QString m_folder;
    Now m_now;
    QString m_forcedPdf;
    QStringList m_lines;
    PrintLayout m_layout;
    bool m_cancelled = false;
};

} // namespace zelvaro
