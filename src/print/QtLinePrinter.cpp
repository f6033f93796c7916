#include "QtLinePrinter.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>

#include <algorithm>

namespace zelvaro {

namespace {

constexpr qreal kPortraitLimitPt = 8; // beyond this the page turns to landscape
constexpr qreal kLargestPt = 10;
constexpr qreal kPdfMarginMm = 10;

QFont listFont(qreal pointSize)
{
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setKerning(false);
    font.setPointSizeF(pointSize);
    return font;
}

// Printable area of the device, in its own pixels.
QRectF printableRect(const QPagedPaintDevice &device)
{
    return device.pageLayout().paintRectPixels(device.logicalDpiX());
}

} // namespace

QString pdfSavedMessage(const QString &pdfPath)
{
    return QStringLiteral("Nessuna stampante disponibile: l'elenco è stato salvato in ") +
           QDir::toNativeSeparators(pdfPath);
}

QtLinePrinter::QtLinePrinter(QString pdfFolder, Now now)
    : m_folder(std::move(pdfFolder)), m_now(std::move(now))
{
}

QPrinterInfo QtLinePrinter::systemPrinter()
{
    const QPrinterInfo preferred = QPrinterInfo::defaultPrinter();
    if (!preferred.isNull())
        return preferred;
    const QList<QPrinterInfo> all = QPrinterInfo::availablePrinters();
    return all.isEmpty() ? QPrinterInfo() : all.first();
}

PrintResult QtLinePrinter::endDocument(const PrintDocument &document)
{
    const QStringList lines = std::exchange(m_lines, {});
    m_layout = PrintLayout();
    if (lines.isEmpty())
        return {};
    if (!m_forcedPdf.isEmpty())
        return writePdf(lines, m_forcedPdf, document.title);
    if (const QPrinterInfo info = systemPrinter(); !info.isNull())
        return printOnPrinter(lines, info, document.title);
    return writePdf(lines, QFileInfo(freePdfName(document.pdfStem)).absoluteFilePath(), document.title);
}

QString QtLinePrinter::freePdfName(const QString &pdfStem) const
{
    const QString stem = QDir(m_folder).filePath(pdfStem + QLatin1Char('_') +
                                                 m_now().toString(QStringLiteral("yyyyMMdd_HHmmss")));
    QString path = stem + QStringLiteral(".pdf");
    // Two printouts in the same second must not overwrite each other.
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = stem + QLatin1Char('_') + QString::number(n) + QStringLiteral(".pdf");
    return path;
}

PrintResult QtLinePrinter::writePdf(const QStringList &lines, const QString &path, const QString &title)
{
    const PrintResult failure{
        kPdfFileErrorCode,
        QStringLiteral("Impossibile salvare l'elenco nel file ") + QDir::toNativeSeparators(path), QString()};
    // Written beside the target and renamed at the end: a failure leaves no file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failure;
    bool drawn = false;
    {
        QPdfWriter writer(&file);
        writer.setCreator(QStringLiteral("ZELVARO"));
        writer.setTitle(title);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(kPdfMarginMm, kPdfMarginMm, kPdfMarginMm, kPdfMarginMm),
                                         QPageLayout::Millimeter));
        drawn = render(lines, writer, nullptr);
    }
    if (!drawn || !file.commit())
        return failure;
    return PrintResult{0, QString(), path};
}

PrintResult QtLinePrinter::printOnPrinter(const QStringList &lines, const QPrinterInfo &info,
                                          const QString &title)
{
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(title);
    printer.setCreator(QStringLiteral("ZELVARO"));
    if (!printer.isValid() || !render(lines, printer, &printer) || printer.printerState() == QPrinter::Error)
        return PrintResult{kPrinterErrorCode,
                           QStringLiteral("La stampante ") + info.printerName() +
                               QStringLiteral(" non ha accettato la stampa dell'elenco"),
                           QString()};
    return {};
}

bool QtLinePrinter::render(const QStringList &lines, QPagedPaintDevice &device, QPrinter *job)
{
    // Orientation and size are chosen on the widest line before the job starts.
    device.setPageOrientation(QPageLayout::Portrait);
    qsizetype widestIndex = 0;
    qreal widest = 0;
    {
        const QFontMetricsF metrics(listFont(kPortraitLimitPt), &device);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const qreal w = metrics.horizontalAdvance(lines.at(i));
            if (w > widest) {
                widest = w;
                widestIndex = i;
            }
        }
    }
    const bool landscape = widest > printableRect(device).width();
    if (landscape)
        device.setPageOrientation(QPageLayout::Landscape);
    const QRectF area = printableRect(device);
    if (area.width() <= 0 || area.height() <= 0)
        return false; // a page without room to print; no job was started
    qreal size = widest > 0 ? std::min(kLargestPt, kPortraitLimitPt * area.width() / widest) : kLargestPt;
    QFont font = listFont(size);
    // Scaling is near enough linear; step down until the widest line truly fits.
    for (int step = 0;
         step < 100 && QFontMetricsF(font, &device).horizontalAdvance(lines.at(widestIndex)) > area.width();
         ++step) {
        size *= 0.995;
        font.setPointSizeF(size);
    }

    const QFontMetricsF metrics(font, &device);
    const qreal toPoints = 72.0 / device.logicalDpiX();
    m_layout.landscape = landscape;
    m_layout.pointSize = size;
    m_layout.pitch = metrics.horizontalAdvance(QLatin1Char('0')) * toPoints;
    m_layout.printableWidth = area.width() * toPoints;
    m_layout.pages = 1;

    QPainter painter;
    if (!painter.begin(&device))
        return false;
    painter.setFont(font);
    qreal top = 0;
    for (const QString &line : lines) {
        if (top > 0 && top + metrics.height() > area.height()) {
            if (!device.newPage()) {
                if (job)
                    job->abort();
                painter.end();
                return false;
            }
            ++m_layout.pages;
            top = 0;
        }
        painter.drawText(QPointF(0, top + metrics.ascent()), line);
        top += metrics.lineSpacing();
    }
    return painter.end();
}

} // namespace zelvaro
