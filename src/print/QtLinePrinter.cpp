#include "QtLinePrinter.h"

#include "CupsQueue.h"
#include "PdfFallback.h"
#include "Progress.h"
#include "Texts.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QRawFont>

#include <algorithm>
#include <array>

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

bool printableAscii(const QString &line)
{
    return std::all_of(line.cbegin(), line.cend(), [](QChar c) { return c >= u' ' && c <= u'~'; });
}

// The glyphs of the printable ASCII characters in a fixed-pitch font, placed one pitch apart: a line
// of them is drawn as a glyph run, without the text engine laying it out, with the glyphs and the
// places the text engine gives them.
class AsciiGlyphs
{
public:
    AsciiGlyphs(const QFont &deviceFont, const QFontMetricsF &metrics)
        : m_font(QRawFont::fromFont(deviceFont)), m_pitch(metrics.horizontalAdvance(QLatin1Char(' ')))
    {
        QString ascii;
        for (char16_t c = u' '; c <= u'~'; ++c) {
            ascii.append(QChar(c));
            if (metrics.horizontalAdvance(QChar(c)) != m_pitch)
                return;
        }
        const QList<quint32> glyphs =
            m_font.isValid() ? m_font.glyphIndexesForString(ascii) : QList<quint32>();
        if (glyphs.size() != ascii.size() || glyphs.contains(0))
            return;
        std::copy(glyphs.cbegin(), glyphs.cend(), m_glyphs.begin());
        m_usable = true;
    }

    // Draws `line` with its baseline at `origin`; false (nothing drawn) when it is not all printable
    // ASCII or the font does not allow it.
    bool draw(QPainter &painter, const QPointF &origin, const QString &line) const
    {
        if (!m_usable || !printableAscii(line) || line.isEmpty())
            return false;
        QList<quint32> indexes(line.size());
        QList<QPointF> positions(line.size());
        for (qsizetype i = 0; i < line.size(); ++i) {
            indexes[i] = m_glyphs[line.at(i).unicode() - u' '];
            positions[i] = QPointF(qreal(i) * m_pitch, 0);
        }
        QGlyphRun run;
        run.setRawFont(m_font);
        run.setGlyphIndexes(indexes);
        run.setPositions(positions);
        painter.drawGlyphRun(origin, run);
        return true;
    }

private:
    QRawFont m_font;
    qreal m_pitch;
    std::array<quint32, 95> m_glyphs{};
    bool m_usable = false;
};

// The width of the widest of `lines` in `metrics`, and in `index` the first line that has it. In a
// font where every printable ASCII character has the same advance, such a line is no wider than a
// longer one already measured: only the lines longer than every one before them are measured,
// besides those with other characters.
qreal widestLine(const QStringList &lines, const QFontMetricsF &metrics, qsizetype *index)
{
    const qreal pitch = metrics.horizontalAdvance(QLatin1Char(' '));
    bool fixedAscii = true;
    for (char16_t c = u'!'; c <= u'~' && fixedAscii; ++c)
        fixedAscii = metrics.horizontalAdvance(QChar(c)) == pitch;
    qreal widest = 0;
    qsizetype longestAscii = -1;
    *index = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (fixedAscii && printableAscii(line)) {
            if (line.size() <= longestAscii)
                continue;
            longestAscii = line.size();
        }
        const qreal w = metrics.horizontalAdvance(line);
        if (w > widest) {
            widest = w;
            *index = i;
        }
    }
    return widest;
}

} // namespace

QtLinePrinter::QtLinePrinter(QString pdfFolder, Now now)
    : m_folder(std::move(pdfFolder)), m_now(std::move(now))
{
}

PrintResult QtLinePrinter::endDocument(const PrintDocument &document, Progress *progress)
{
    const QStringList lines = std::exchange(m_lines, {});
    m_layout = PrintLayout();
    m_cancelled = false;
    if (lines.isEmpty())
        return {};
    const PrintResult cancelled = PrintResult::from(Outcome::cancelledByUser());
    // A cancelled PDF file is never committed: nothing is left of it.
    const auto renderA4 = [&](QIODevice &out) {
        return render(lines, document.title, QPageSize(QPageSize::A4), out, progress);
    };
    if (!m_forcedPdf.isEmpty()) {
        const PrintResult result = savePdf(m_forcedPdf, document, {}, renderA4);
        return m_cancelled ? cancelled : result;
    }

    CupsQueue queue;
    const QString fallback = QFileInfo(freePdfName(m_folder, document.pdfStem, m_now())).absoluteFilePath();
    if (!queue.hasPrinter()) {
        const PrintResult result = savePdf(fallback, document, withoutPrinter(queue), renderA4);
        return m_cancelled ? cancelled : result;
    }

    PrintResult outcome;
    outcome.printer = queue.name();
    // The job's own answer says whether the printer accepts it: asking before would race with it.
    QByteArray pdf;
    QBuffer buffer(&pdf);
    const bool rendered = buffer.open(QIODevice::WriteOnly) &&
                          render(lines, document.title, queue.pageSize(), buffer, progress);
    if (m_cancelled)
        return cancelled; // laid out in memory only: nothing has reached the printer
    if (!rendered)
        return PrintResult::from(Outcome::failure(
            kPrinterErrorCode, QStringLiteral("Impossibile impaginare ") + document.what +
                                   QStringLiteral(" per la stampante ") + quoted(queue.name())));
    const CupsQueue::Submission sent = queue.submit(pdf, document.title);
    switch (sent.status) {
    case CupsQueue::Submission::Status::Sent:
        outcome.jobId = sent.jobId;
        if (queue.stopped())
            outcome.note = PrintResult::Note::Stopped;
        else if (!queue.isDefault() && queue.printerCount() > 1)
            outcome.note = PrintResult::Note::NoDefault;
        return outcome;
    case CupsQueue::Submission::Status::NotAccepting:
        outcome.note = PrintResult::Note::Refused;
        break;
    case CupsQueue::Submission::Status::Unreachable:
        outcome.note = PrintResult::Note::Unreachable;
        outcome.reason = CupsQueue::server();
        break;
    case CupsQueue::Submission::Status::Refused:
        outcome.note = PrintResult::Note::Refused;
        outcome.reason = sent.reason;
        break;
    }
    return savePdf(fallback, document, outcome,
                   [&pdf](QIODevice &out) { return out.write(pdf) == pdf.size(); });
}

bool QtLinePrinter::render(const QStringList &lines, const QString &title, const QPageSize &page,
                           QIODevice &out, Progress *progress)
{
    QPdfWriter device(&out);
    device.setCreator(QStringLiteral("ZELVARO"));
    device.setTitle(title);
    device.setPageLayout(QPageLayout(page, QPageLayout::Portrait,
                                     QMarginsF(kPdfMarginMm, kPdfMarginMm, kPdfMarginMm, kPdfMarginMm),
                                     QPageLayout::Millimeter));
    // Orientation and size are chosen on the widest line before the first page is drawn.
    qsizetype widestIndex = 0;
    const qreal widest = widestLine(lines, QFontMetricsF(listFont(kPortraitLimitPt), &device), &widestIndex);
    const bool landscape = widest > printableRect(device).width();
    if (landscape)
        device.setPageOrientation(QPageLayout::Landscape);
    const QRectF area = printableRect(device);
    if (area.width() <= 0 || area.height() <= 0)
        return false; // a page without room to print
    qreal size = widest > 0 ? std::min(kLargestPt, kPortraitLimitPt * area.width() / widest) : kLargestPt;
    QFont font = listFont(size);
    // Scaling is near enough linear; step down until the widest line truly fits.
    for (int step = 0;
         step < 100 && QFontMetricsF(font, &device).horizontalAdvance(lines.at(widestIndex)) > area.width();
         ++step) {
        size *= 0.995;
        font.setPointSizeF(size);
    }

    const qint64 total = lines.size();
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
    const AsciiGlyphs asciiGlyphs(QFont(font, &device), metrics);
    qreal top = 0;
    qint64 done = 0;
    for (const QString &line : lines) {
        if (!goOn(progress, done++, total)) {
            m_cancelled = true;
            painter.end();
            return false;
        }
        if (top > 0 && top + metrics.height() > area.height()) {
            if (!device.newPage()) {
                painter.end();
                return false;
            }
            ++m_layout.pages;
            top = 0;
        }
        const QPointF baseline(0, top + metrics.ascent());
        if (!asciiGlyphs.draw(painter, baseline, line))
            painter.drawText(baseline, line);
        top += metrics.lineSpacing();
    }
    return painter.end();
}

} // namespace zelvaro
