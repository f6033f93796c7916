#pragma once

#include "LinePrinter.h"

#include <QDateTime>
#include <QPrinterInfo>
#include <QStringList>

#include <functional>

class QPagedPaintDevice;

namespace zelvaro {

// Error numbers of a failed printout, as the error report shows them.
inline constexpr int kPrinterErrorCode = 482; // the printer refused or broke off the job
inline constexpr int kPdfFileErrorCode = 75;  // the PDF file could not be written

// What the window says after the list went to a PDF file because there is no printer.
QString pdfSavedMessage(const QString &pdfPath);

// How the last document was laid out.
struct PrintLayout
{
    bool landscape = false;
    qreal pointSize = 0;      // of the fixed-pitch font
    qreal pitch = 0;          // advance of one character, in points
    qreal printableWidth = 0; // in points
    int pages = 0;
};

// The real printer: collects the lines of a document and, on endDocument(), prints them without
// a dialog on the system's default printer (or the first one when none is the default) in a
// fixed-pitch font. The page is turned to landscape when the longest line does not fit the
// portrait width at 8 pt; the size is then the largest, up to 10 pt, at which the longest line
// fits the printable width, however small: a line is never clipped nor wrapped. When the system
// has no printer, the document is written as an A4 PDF in `pdfFolder`, named
// <pdfStem>_AAAAMMGG_HHMMSS.pdf from `now`. A failure leaves no file and no job behind.
class QtLinePrinter : public LinePrinter
{
public:
    using Now = std::function<QDateTime()>;
    QtLinePrinter(QString pdfFolder, Now now);

    // Sends every later document to this PDF file instead of a printer (an empty path undoes it).
    void setOutputPdf(const QString &path) { m_forcedPdf = path; }

    void printLine(const QString &line) override { m_lines.append(line); }
    // An empty document sends nothing and succeeds.
    PrintResult endDocument(const PrintDocument &document) override;

    PrintLayout lastLayout() const { return m_layout; }

    // The system's default printer, else its first printer, else a null QPrinterInfo.
    static QPrinterInfo systemPrinter();

private:
    PrintResult printOnPrinter(const QStringList &lines, const QPrinterInfo &info, const QString &title);
    PrintResult writePdf(const QStringList &lines, const QString &path, const QString &title);
    // Lays the lines out on `device`; false when the device refused the job or a page, after
    // aborting `job` (the printer's spool job) when there is one.
    bool render(const QStringList &lines, QPagedPaintDevice &device, class QPrinter *job);
    QString freePdfName(const QString &stem) const;

    QString m_folder;
    Now m_now;
    QString m_forcedPdf;
    QStringList m_lines;
    PrintLayout m_layout;
};

} // namespace zelvaro
