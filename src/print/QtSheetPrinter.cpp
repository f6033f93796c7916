#include "QtSheetPrinter.h"

#include "CupsQueue.h"
#include "PdfFallback.h"
#include "SheetPages.h"
#include "Texts.h"

#include <QFileInfo>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace zelvaro {

namespace {

// Qt's preview shows the print dialog from its own print action and, once that is accepted, paints
// the pages on the printer and closes accepted: a preview accepted is a sheet printed.
bool previewAndPrint(QWidget *parent, QPrinter &printer, const std::function<void(QPrinter &)> &paint)
{
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(QStringLiteral("Anteprima di stampa"));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&paint](QPrinter *target) { paint(*target); });
    return preview.exec() == QDialog::Accepted;
}

} // namespace

QtSheetPrinter::QtSheetPrinter(QString pdfFolder, Now now, QWidget *dialogParent)
    : m_folder(std::move(pdfFolder)), m_now(std::move(now)), m_parent(dialogParent),
      m_dialogs([this](QPrinter &printer, const std::function<void(QPrinter &)> &paint) {
          return previewAndPrint(m_parent, printer, paint);
      })
{
}

PrintResult QtSheetPrinter::print(const SignedSheet &sheet, const PrintDocument &document)
{
    if (!m_forcedPdf.isEmpty())
        return writePdf(m_forcedPdf, sheet, document, {});
    CupsQueue queue;
    if (!queue.hasPrinter())
        return writePdf(QFileInfo(freePdfName(m_folder, document.pdfStem, m_now())).absoluteFilePath(), sheet,
                        document, withoutPrinter(queue));

    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(queue.name());
    printer.setDocName(document.title);
    printer.setCreator(QStringLiteral("ZELVARO"));
    printer.setPageLayout(sheetPageLayout(queue.pageSize()));
    printer.setPageOrientation(layoutSheet(sheet, printer.pageLayout()).page.orientation());
    bool painted = false;
    const auto paint = [&](QPrinter &target) {
        // The page as the user last set it in the preview, turned or not.
        const SheetLayout layout = layoutSheet(sheet, target.pageLayout(), SheetOrientation::KeepOrientation);
        const bool range = target.printRange() == QPrinter::PageRange;
        painted =
            paintSheet(target, sheet, layout, range ? target.fromPage() : 0, range ? target.toPage() : 0);
    };
    if (!m_dialogs(printer, paint))
        return PrintResult::from(Outcome::cancelledByUser());
    if (!painted || printer.printerState() == QPrinter::Error)
        return PrintResult::from(Outcome::failure(
            kPrinterErrorCode, QStringLiteral("Impossibile stampare ") + document.what +
                                   QStringLiteral(" sulla stampante ") + quoted(printer.printerName())));
    PrintResult result;
    result.printer = printer.printerName();
    return result;
}

PrintResult QtSheetPrinter::writePdf(const QString &path, const SignedSheet &sheet,
                                     const PrintDocument &document, const PrintResult &outcome) const
{
    return savePdf(path, document, outcome, [&](QIODevice &out) {
        QPdfWriter writer(&out);
        writer.setCreator(QStringLiteral("ZELVARO"));
        writer.setTitle(document.title);
        const SheetLayout layout = layoutSheet(sheet);
        return writer.setPageLayout(layout.page) && paintSheet(writer, sheet, layout);
    });
}

} // namespace zelvaro
