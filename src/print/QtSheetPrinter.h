#pragma once

#include "SheetPrinter.h"

#include <QDateTime>

#include <functional>

class QPrinter;
class QWidget;

namespace zelvaro {

// The real SheetPrinter. With a printer known to the print service (CUPS) it shows the print preview,
// whose print action asks for the printer, the copies and the pages; the pages chosen are painted on
// that printer, which makes the copies. Without any printer it shows nothing and writes the sheet as a
// PDF in `pdfFolder`, named <pdfStem>_AAAAMMGG_HHMMSS.pdf from `now`; the result names the file.
class QtSheetPrinter : public SheetPrinter
{
public:
    using Now = std::function<QDateTime()>;
    // Shows the preview of `printer` drawn by `paint` and the print dialog; true once the user has
    // confirmed both and `paint` has drawn the chosen pages on `printer`.
    using Dialogs = std::function<bool(QPrinter &printer, const std::function<void(QPrinter &)> &paint)>;

    QtSheetPrinter(QString pdfFolder, Now now, QWidget *dialogParent = nullptr);

    void setPdfFolder(const QString &folder) { m_folder = folder; }
    // Sends every later sheet to this PDF file, without a dialog (an empty path undoes it).
    void setOutputPdf(const QString &path) { m_forcedPdf = path; }
    // Replaces the preview and the print dialog (tests, which must never wait on a dialog).
    void setDialogs(Dialogs dialogs) { m_dialogs = std::move(dialogs); }

    PrintResult print(const SignedSheet &sheet, const PrintDocument &document) override;

private:
    PrintResult writePdf(const QString &path, const SignedSheet &sheet, const PrintDocument &document,
                         const PrintResult &outcome) const;

    QString m_folder;
    Now m_now;
    QWidget *m_parent;
    QString m_forcedPdf;
    Dialogs m_dialogs;
};

} // namespace zelvaro
