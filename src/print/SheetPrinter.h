#pragma once

#include "LinePrinter.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace zelvaro {

// A line of a timesheet to sign: a day (or one more record of the same day), a week's subtotal or
// the month's total. Its cells match SignedSheet::columns one for one.
struct SignedSheetRow
{
    enum class Kind { Day, Week, Month };
    Kind kind = Kind::Day;
    QStringList cells;
    bool dayOff = false; // a holiday or a day without contract hours: printed apart (in grey)
};

// The monthly timesheet an employer signs, as texts ready to be laid out on pages: the heading
// (worker, employer, month), the table of every calendar day with week subtotals and the month's
// total, the closing lines (the running balance at the start and at the end of the month), then the
// two signature lines. Every page carries the print date and "Pagina N di M".
struct SignedSheet
{
    QString title;         // "Foglio ore - aprile 2025"
    QStringList heading;   // "Dipendente: …", "Datore di lavoro: …", "Mese: aprile 2025"
    QStringList columns;   // the column headings, repeated on every page
    QList<SignedSheetRow> rows;
    QStringList closing;   // "Saldo progressivo a inizio mese: …", "Saldo progressivo a fine mese: …"
    QString printDate;     // "Stampato il 07/12/2026"
};

// Prints a timesheet to sign. The real one shows the print preview and the print dialog (printer,
// copies, pages) first; without a printer it writes a PDF and the result names it. Closing either
// dialog prints nothing and gives a cancelled() result.
class SheetPrinter
{
public:
    virtual ~SheetPrinter() = default;
    virtual PrintResult print(const SignedSheet &sheet, const PrintDocument &document) = 0;
};

} // namespace zelvaro
