#pragma once

#include "SheetPrinter.h"

#include <QList>
#include <QPageLayout>
#include <QPageSize>

class QPainter;
class QPagedPaintDevice;

namespace zelvaro {

// What one page of a timesheet holds, besides the footer every page has (print date, "Pagina N di
// M"): the title and heading on the first page only, the column headings above its rows when it
// has any, then the closing lines and the signatures that follow the table.
struct SheetPage
{
    qsizetype firstRow = 0; // SignedSheet::rows [firstRow, firstRow + rowCount)
    qsizetype rowCount = 0;
    qsizetype firstClosing = 0; // SignedSheet::closing [firstClosing, firstClosing + closingCount)
    qsizetype closingCount = 0;
    bool signatures = false; // both signature lines: they are never split
};

// How a timesheet is laid out: sizes in points (1/72 inch), measured on the page's printable area.
struct SheetLayout
{
    QPageLayout page;          // with the orientation chosen
    qreal pointSize = 0;       // of the table's text
    QList<qreal> columnWidths; // padding included
    QList<bool> rightAligned;
    QList<SheetPage> pages;
};

// A4 (or `size`) portrait with 15 mm margins.
QPageLayout sheetPageLayout(const QPageSize &size = QPageSize(QPageSize::A4));

// Lays `sheet` out on pages like `page`. Each column is as wide as its longest text, heading included;
// a column other than the first is right-aligned when most of its filled cells are figures ("8:00",
// "-1:30", "7,50"). With TurnIfNeeded a portrait page turns to landscape when the table is wider than
// it; with KeepOrientation (a page the user chose) it does not. A table wider than the page even so
// is set smaller until it fits: nothing is clipped. Rows fill each page in order; the signatures move
// to a new page whole when they do not fit under the last line.
enum class SheetOrientation { TurnIfNeeded, KeepOrientation };
SheetLayout layoutSheet(const SignedSheet &sheet, const QPageLayout &page = sheetPageLayout(),
                        SheetOrientation orientation = SheetOrientation::TurnIfNeeded);

// Paints page `index` (from 0) of `layout` with `painter`, whose origin is the top left corner of
// the printable area of a page like layout.page (as QPrinter and QPdfWriter give it).
void paintSheetPage(QPainter &painter, const SignedSheet &sheet, const SheetLayout &layout, qsizetype index);

// Paints pages `fromPage` to `toPage` (from 1, as QPrinter counts them; 0 for the first or the last)
// on `device`, whose page layout must already be layout.page; false when the device refuses.
bool paintSheet(QPagedPaintDevice &device, const SignedSheet &sheet, const SheetLayout &layout,
                int fromPage = 0, int toPage = 0);

} // namespace zelvaro
