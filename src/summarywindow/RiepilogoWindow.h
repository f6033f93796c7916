#pragma once

#include "Balance.h"
#include "BalanceMonth.h"
#include "LinePrinter.h"
#include "PlatformServices.h"
#include "SheetPrinter.h"
#include "SummarySheets.h"
#include "Timesheet.h"

#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace zelvaro {

class Archive;

// The printed timesheet of one month: "ZELVARO - foglio ore MM/AAAA", PDF "ZELVARO_foglio_AAAA_MM_...".
PrintDocument timesheetDocument(const SheetKey &key);

// The timesheet to sign of the month of `balance`: the worker and the employer of `settings`, the
// month's `lines` without the record numbers, the decimal hours and the running balance, the running
// balance at the start and at the end of the month, printed on `printDate`.
SignedSheet signedTimesheet(const BalanceSheet &balance, const QList<BalanceMonthLine> &lines,
                            const BalanceSettings &settings, QDate printDate);

// "Riepilogo ore": the years with their months (and the records without a valid date) with days
// and hours; the chosen month's records with a subtotal per ISO week and the month's total; the
// buttons "Stampa foglio ore" and "Esporta CSV…". Once contract hours exist, the tree also shows
// the expected hours, the absences, the balance and the running balance of each year and month (a
// month of the balance without records too), the chosen month lists every calendar day with its
// balance, and "Stampa foglio ore" prints the timesheet to sign through `sheetPrinter`. It reads the archive
// once when it opens and again whenever the hours window reports a change; every month chosen is laid out
// from that read. `archive`, the services (the file dialogs among them) and `printer` must outlive the
// window.
class RiepilogoWindow : public QWidget
{
    Q_OBJECT
public:
    RiepilogoWindow(Archive &archive, const Services &services, LinePrinter &printer,
                    SheetPrinter &sheetPrinter, QWidget *parent = nullptr);

    // Reads the archive again (the summary and every month's records) and shows the chosen month
    // from it; a failing archive is reported and the window keeps what it showed.
    void reload();

    QSize sizeHint() const override;

private:
    void fillTree(const HoursSummary &summary);
    void showRecords(const SheetKey &key);
    void showBalance(const SheetKey &key);
    void fillGrid(const QStringList &headings, const QList<QStringList> &cells, const QList<bool> &totals,
                  const QList<bool> &dayOff);
    void printSignedSheet();
    // Column widths from the longest texts, not from every line.
    void fitGridColumns(const QList<bool> &totals);
    void choose(QTreeWidgetItem *item);
    bool showSheet(const SheetKey &key);
    void clearSheet();
    void cmdSTAMPA_FOGLIO_Click();
    void cmdESPORTA_CSV_Click();
    // What the window says once a document has gone to the printer or failed.
    void reportPrintResult(const PrintResult &result, const PrintDocument &document);
    void report(const Outcome &failure);

    Archive &m_archive;
    Services m_services;
    LinePrinter &m_printer;
    SheetPrinter &m_sheetPrinter;
    SummarySheets m_sheets;       // what the last read of the archive found
    std::optional<Sheet> m_sheet; // the month (or the undated records) shown
    std::optional<SheetKey> m_chosen;
    std::optional<BalanceInput> m_balanceInput; // once contract hours exist
    std::optional<Balance> m_balance;           // its months, from the same read
    std::optional<BalanceSheet> m_monthBalance; // the chosen month's, with its lines
    QList<BalanceMonthLine> m_monthLines;

    QTreeWidget *m_tvwPERIODI = nullptr;
    QLabel *m_lblPERIODO = nullptr;
    QTableWidget *m_grdGIORNI = nullptr;
    QPushButton *m_cmdSTAMPA_FOGLIO = nullptr;
    QPushButton *m_cmdESPORTA_CSV = nullptr;
};

} // namespace zelvaro
