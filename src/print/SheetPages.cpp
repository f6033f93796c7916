#include "SheetPages.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QRegularExpression>

#include <algorithm>
#include <numeric>

namespace zelvaro {

namespace {

constexpr qreal kTablePt = 9;   // the table's text, unless it must shrink to fit the width
constexpr qreal kUprightPt = 7; // the smallest size at which a table keeps the page upright
constexpr qreal kTextPt = 10;   // heading, closing lines, signatures
constexpr qreal kTitlePt = 13;
constexpr qreal kFooterPt = 8;
constexpr qreal kCellPad = 3;      // each side of a cell
constexpr qreal kRowSpacing = 1.3; // a row's height, in lines of its font
constexpr qreal kSignRoom = 36;    // above the rule, to sign on
constexpr qreal kMarginMm = 15;
// Fonts are sized in pixels of a tenth of a point, and the painter scaled to match: their metrics
// are then the same on every device (the screen of the preview, a printer, a PDF), with no rounding
// to whole points, so the layout measured without a device is the one painted.
constexpr qreal kTenths = 10;

QFont sheetFont(qreal points, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setHintingPreference(QFont::PreferNoHinting);
    // No ligatures: a PDF's "fine" is found and copied as typed, not as "ﬁne".
    font.setStyleStrategy(QFont::PreferNoShaping);
    font.setPixelSize(std::max(1, qRound(points * kTenths)));
    font.setBold(bold);
    return font;
}

// A font's measures, in points.
class Measure
{
public:
    explicit Measure(const QFont &font) : m_metrics(font) {}
    qreal width(const QString &text) const { return m_metrics.horizontalAdvance(text) / kTenths; }
    qreal line() const { return m_metrics.lineSpacing() / kTenths; }

private:
    QFontMetricsF m_metrics;
};

bool boldRow(const SignedSheetRow &row)
{
    return row.kind != SignedSheetRow::Kind::Day;
}

QList<qreal> columnWidths(const SignedSheet &sheet, qreal points)
{
    const Measure plain(sheetFont(points)), bold(sheetFont(points, true));
    QList<qreal> widths;
    for (const QString &heading : sheet.columns)
        widths.append(bold.width(heading));
    for (const SignedSheetRow &row : sheet.rows) {
        const Measure &measure = boldRow(row) ? bold : plain;
        for (qsizetype c = 0; c < std::min(row.cells.size(), widths.size()); ++c)
            widths[c] = std::max(widths[c], measure.width(row.cells.at(c)));
    }
    for (qreal &width : widths)
        width += 2 * kCellPad;
    return widths;
}

qreal total(const QList<qreal> &widths)
{
    return std::accumulate(widths.cbegin(), widths.cend(), qreal(0));
}

bool isFigure(const QString &cell)
{
    // Hours and minutes, decimal hours, a signed balance (with a true minus sign too).
    static const QRegularExpression figure(QStringLiteral("^[+\\-\\x{2212}]?\\d+([.,:]\\d+)*$"));
    return figure.match(cell.trimmed()).hasMatch();
}

QList<bool> rightAligned(const SignedSheet &sheet)
{
    QList<bool> right(sheet.columns.size(), false);
    for (qsizetype c = 1; c < right.size(); ++c) {
        int figures = 0, texts = 0;
        for (const SignedSheetRow &row : sheet.rows) {
            const QString cell = c < row.cells.size() ? row.cells.at(c).trimmed() : QString();
            if (!cell.isEmpty())
                ++(isFigure(cell) ? figures : texts);
        }
        right[c] = figures > texts;
    }
    return right;
}

// The heights of the parts of a page, in points.
struct Heights
{
    explicit Heights(qreal tablePoints)
        : row(Measure(sheetFont(tablePoints)).line() * kRowSpacing), text(Measure(sheetFont(kTextPt)).line()),
          title(Measure(sheetFont(kTitlePt, true)).line()), footer(Measure(sheetFont(kFooterPt)).line())
    {
    }
    qreal heading(const SignedSheet &sheet) const
    {
        if (sheet.title.isEmpty() && sheet.heading.isEmpty())
            return 0;
        return (sheet.title.isEmpty() ? 0 : title) + text * qreal(sheet.heading.size() + 1);
    }
    qreal signatures() const { return 3 * text + kSignRoom; } // a gap of two lines, the labels, the room
    qreal body(const QRectF &area) const { return area.height() - 1.5 * footer; }

    qreal row, text, title, footer;
};

QList<SheetPage> pagesOf(const SignedSheet &sheet, const Heights &heights, qreal room)
{
    QList<SheetPage> pages(1);
    qreal y = heights.heading(sheet);
    // Whatever comes first on a page stays there even when it does not fit: no page is left empty.
    const auto place = [&](qreal need, qreal needOnNewPage) {
        if (y > 0 && y + need > room) {
            const SheetPage &last = pages.last();
            SheetPage next;
            next.firstRow = last.firstRow + last.rowCount;
            next.firstClosing = last.firstClosing + last.closingCount;
            pages.append(next);
            y = 0;
            need = needOnNewPage;
        }
        y += need;
    };
    for (qsizetype i = 0; i < sheet.rows.size(); ++i) {
        const qreal withHeadings = 2 * heights.row;
        place(pages.last().rowCount == 0 ? withHeadings : heights.row, withHeadings);
        ++pages.last().rowCount;
    }
    for (qsizetype i = 0; i < sheet.closing.size(); ++i) {
        place(i == 0 ? 2 * heights.text : heights.text, heights.text);
        ++pages.last().closingCount;
    }
    place(heights.signatures(), heights.signatures());
    pages.last().signatures = true;
    return pages;
}

// Draws in points on a painter scaled to tenths of a point.
class Pen
{
public:
    explicit Pen(QPainter &painter) : m_painter(painter) {}
    void text(const QRectF &box, int flags, const QString &text, const QFont &font)
    {
        m_painter.setFont(font);
        m_painter.drawText(QRectF(box.topLeft() * kTenths, box.size() * kTenths), flags, text);
    }
    void rule(qreal x1, qreal x2, qreal y, qreal width)
    {
        m_painter.setPen(QPen(Qt::black, width * kTenths));
        m_painter.drawLine(QPointF(x1, y) * kTenths, QPointF(x2, y) * kTenths);
    }
    void color(const QColor &color) { m_painter.setPen(color); }

private:
    QPainter &m_painter;
};

// The largest size, up to kTablePt, at which the table's columns fit `width` points. Widths grow
// nearly in proportion to the size: start from the proportional guess, then step down by tenths of a
// point, the finest a font takes here.
qreal fittingPointSize(const SignedSheet &sheet, qreal width)
{
    qreal size = kTablePt;
    const qreal wide = total(columnWidths(sheet, kTablePt));
    if (wide <= width)
        return size;
    size = std::floor(kTablePt * kTenths * width / wide) / kTenths;
    while (total(columnWidths(sheet, size)) > width && size > 1)
        size = qRound(size * kTenths - 1) / kTenths;
    return size;
}

} // namespace

QPageLayout sheetPageLayout(const QPageSize &size)
{
    return QPageLayout(size, QPageLayout::Portrait, QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                       QPageLayout::Millimeter);
}

SheetLayout layoutSheet(const SignedSheet &sheet, const QPageLayout &page, SheetOrientation orientation)
{
    SheetLayout layout;
    layout.page = page;
    layout.rightAligned = rightAligned(sheet);
    layout.pointSize = fittingPointSize(sheet, layout.page.paintRect(QPageLayout::Point).width());
    // A month to sign stays upright, on one page, while its text can be read; only a wider table
    // turns the page.
    if (orientation == SheetOrientation::TurnIfNeeded && page.orientation() == QPageLayout::Portrait &&
        layout.pointSize < kUprightPt) {
        layout.page.setOrientation(QPageLayout::Landscape);
        layout.pointSize = fittingPointSize(sheet, layout.page.paintRect(QPageLayout::Point).width());
    }
    layout.columnWidths = columnWidths(sheet, layout.pointSize);
    const Heights heights(layout.pointSize);
    layout.pages = pagesOf(sheet, heights, heights.body(layout.page.paintRect(QPageLayout::Point)));
    return layout;
}

void paintSheetPage(QPainter &painter, const SignedSheet &sheet, const SheetLayout &layout, qsizetype index)
{
    Q_ASSERT(index >= 0 && index < layout.pages.size());
    const SheetPage &page = layout.pages.at(index);
    const QRectF area = layout.page.paintRect(QPageLayout::Point);
    const Heights heights(layout.pointSize);
    const QFont plain = sheetFont(layout.pointSize), bold = sheetFont(layout.pointSize, true),
                text = sheetFont(kTextPt);
    const qreal scale = painter.device()->logicalDpiX() / 72.0 / kTenths;
    painter.save();
    painter.scale(scale, scale);
    Pen pen(painter);
    const int left = Qt::AlignLeft | Qt::AlignVCenter, right = Qt::AlignRight | Qt::AlignVCenter;
    qreal y = 0;

    if (index == 0) {
        if (!sheet.title.isEmpty()) {
            pen.text({0, y, area.width(), heights.title}, left, sheet.title, sheetFont(kTitlePt, true));
            y += heights.title;
        }
        for (const QString &line : sheet.heading) {
            pen.text({0, y, area.width(), heights.text}, left, line, text);
            y += heights.text;
        }
        y = heights.heading(sheet);
    }

    const qreal tableWidth = total(layout.columnWidths);
    const auto cells = [&](const QStringList &texts, const QFont &font) {
        qreal x = 0;
        for (qsizetype c = 0; c < layout.columnWidths.size(); ++c) {
            const qreal width = layout.columnWidths.at(c);
            if (c < texts.size())
                pen.text({x + kCellPad, y, width - 2 * kCellPad, heights.row},
                         layout.rightAligned.at(c) ? right : left, texts.at(c), font);
            x += width;
        }
        y += heights.row;
    };
    if (page.rowCount > 0) {
        pen.color(Qt::black);
        cells(sheet.columns, bold);
        pen.rule(0, tableWidth, y, 0.6);
    }
    for (qsizetype i = page.firstRow; i < page.firstRow + page.rowCount; ++i) {
        const SignedSheetRow &row = sheet.rows.at(i);
        if (boldRow(row))
            pen.rule(0, tableWidth, y, 0.3); // a subtotal closes what is above it
        pen.color(row.dayOff ? QColor(0x70, 0x70, 0x70) : QColor(Qt::black));
        cells(row.cells, boldRow(row) ? bold : plain);
    }
    pen.color(Qt::black);

    for (qsizetype i = page.firstClosing; i < page.firstClosing + page.closingCount; ++i) {
        if (i == 0 && y > 0) // no gap at the top of a page: the paging leaves none there either
            y += heights.text;
        pen.text({0, y, area.width(), heights.text}, left, sheet.closing.at(i), text);
        y += heights.text;
    }

    if (page.signatures) {
        y += 2 * heights.text;
        const qreal width = area.width() * 0.42, second = area.width() - width;
        pen.text({0, y, width, heights.text}, left, QStringLiteral("Firma del dipendente"), text);
        pen.text({second, y, width, heights.text}, left, QStringLiteral("Firma del responsabile"), text);
        y += heights.text + kSignRoom;
        pen.rule(0, width, y, 0.5);
        pen.rule(second, area.width(), y, 0.5);
    }

    const QRectF footer(0, area.height() - heights.footer, area.width(), heights.footer);
    const QFont small = sheetFont(kFooterPt);
    pen.text(footer, left, sheet.printDate, small);
    pen.text(footer, right, QStringLiteral("Pagina %1 di %2").arg(index + 1).arg(layout.pages.size()), small);
    painter.restore();
}

bool paintSheet(QPagedPaintDevice &device, const SignedSheet &sheet, const SheetLayout &layout, int fromPage,
                int toPage)
{
    const int count = int(layout.pages.size());
    const int first = fromPage > 0 ? fromPage : 1, last = toPage > 0 ? std::min(toPage, count) : count;
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    for (int n = first; n <= last; ++n) {
        if (n > first && !device.newPage()) {
            painter.end();
            return false;
        }
        paintSheetPage(painter, sheet, layout, n - 1);
    }
    return painter.end();
}

} // namespace zelvaro
