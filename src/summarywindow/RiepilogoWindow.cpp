#include "RiepilogoWindow.h"

#include "Archive.h"
#include "ColumnWidths.h"
#include "CsvFile.h"
#include "ErrorReport.h"
#include "SummaryCsv.h"
#include "Texts.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace zelvaro {

namespace {

constexpr int kYearRole = Qt::UserRole;
constexpr int kMonthRole = Qt::UserRole + 1; // -1 on a year's line, 0 on "Data non valida"
constexpr int kDayColumns = 10;

QTreeWidgetItem *periodItem(const QString &name, const PeriodTotals &t, int year, int month,
                            LongestTexts &longest)
{
    const QStringList texts{name, QString::number(t.days), hoursText(t.minutes), decimalHoursText(t.minutes)};
    auto *item = new QTreeWidgetItem(texts);
    longest.note(item, texts);
    item->setData(0, kYearRole, year);
    item->setData(0, kMonthRole, month);
    for (int column = 1; column < 4; ++column)
        item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

std::optional<SheetKey> keyOf(const QTreeWidgetItem *item)
{
    if (!item || item->data(0, kMonthRole).toInt() < 0)
        return std::nullopt;
    return SheetKey{item->data(0, kYearRole).toInt(), item->data(0, kMonthRole).toInt()};
}

// The cells of one line of the sheet: number, day, six times, total, decimal hours.
QStringList dayCells(const Sheet &sheet, const SheetRow &row)
{
    QStringList cells(kDayColumns);
    cells[1] = row.label;
    if (row.kind != SheetRow::Kind::Day) {
        cells[8] = hoursText(row.totals.minutes);
        cells[9] = decimalHoursText(row.totals.minutes);
        return cells;
    }
    const SheetRecord &r = sheet.records.at(row.record);
    const HoursRecord &d = r.record;
    cells[0] = d.numMov;
    const QString times[] = {d.oraInizio1, d.oraFine1, d.oraInizio2, d.oraFine2, d.oraInizio3, d.oraFine3};
    std::copy(std::begin(times), std::end(times), cells.begin() + 2);
    cells[8] = dayTotalText(r);
    cells[9] = r.complete ? decimalHoursText(r.minutes) : QString();
    return cells;
}

} // namespace

PrintDocument timesheetDocument(const SheetKey &key)
{
    const QString month = QStringLiteral("%1").arg(key.month, 2, 10, QLatin1Char('0'));
    const QString year = QString::number(key.year);
    return {QStringLiteral("ZELVARO - foglio ore ") + month + QLatin1Char('/') + year,
            QStringLiteral("ZELVARO_foglio_") + year + QLatin1Char('_') + month,
            QStringLiteral("il foglio ore")};
}

RiepilogoWindow::RiepilogoWindow(Archive &archive, const Services &services, LinePrinter &printer,
                                 QWidget *parent)
    : QWidget(parent), m_archive(archive), m_services(services), m_printer(printer)
{
    Q_ASSERT(m_services.messages && m_services.pointer);
    setObjectName(QStringLiteral("frmRIEPILOGO"));
    setWindowTitle(QStringLiteral("Riepilogo ore"));

    m_tvwPERIODI = new QTreeWidget(this);
    m_tvwPERIODI->setObjectName(QStringLiteral("tvwPERIODI"));
    m_tvwPERIODI->setAccessibleName(QStringLiteral("Anni e mesi"));
    m_tvwPERIODI->setHeaderLabels({QStringLiteral("Periodo"), QStringLiteral("Giorni"), QStringLiteral("Ore"),
                                   QStringLiteral("Ore decimali")});
    m_tvwPERIODI->setUniformRowHeights(true);

    m_lblPERIODO = new QLabel(this);
    m_lblPERIODO->setObjectName(QStringLiteral("lblPERIODO"));
    // No accessible name of its own: a screen reader reads its text, the month's days and hours.
    m_lblPERIODO->setTextFormat(Qt::PlainText);

    m_grdGIORNI = new QTableWidget(0, kDayColumns, this);
    m_grdGIORNI->setObjectName(QStringLiteral("grdGIORNI"));
    m_grdGIORNI->setAccessibleName(QStringLiteral("Giorni del periodo scelto"));
    m_grdGIORNI->setHorizontalHeaderLabels({QStringLiteral("Num. mov."), QStringLiteral("Giorno"),
                                            QStringLiteral("Inizio 1"), QStringLiteral("Fine 1"),
                                            QStringLiteral("Inizio 2"), QStringLiteral("Fine 2"),
                                            QStringLiteral("Inizio 3"), QStringLiteral("Fine 3"),
                                            QStringLiteral("Totale giorno"), QStringLiteral("Ore decimali")});
    m_grdGIORNI->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grdGIORNI->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grdGIORNI->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grdGIORNI->setTabKeyNavigation(false); // Tab leaves the table for the buttons
    m_grdGIORNI->verticalHeader()->hide();
    m_grdGIORNI->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_lblPERIODO->setBuddy(m_grdGIORNI);

    m_cmdSTAMPA_FOGLIO = new QPushButton(QStringLiteral("Stampa foglio ore"), this);
    m_cmdSTAMPA_FOGLIO->setObjectName(QStringLiteral("cmdSTAMPA_FOGLIO"));
    m_cmdSTAMPA_FOGLIO->setAccessibleName(QStringLiteral("Stampa foglio ore del mese scelto"));
    m_cmdESPORTA_CSV = new QPushButton(QStringLiteral("Esporta CSV…"), this);
    m_cmdESPORTA_CSV->setObjectName(QStringLiteral("cmdESPORTA_CSV"));
    m_cmdESPORTA_CSV->setAccessibleName(QStringLiteral("Esporta in CSV il riepilogo di tutto l'archivio"));
    for (QPushButton *button : {m_cmdSTAMPA_FOGLIO, m_cmdESPORTA_CSV})
        button->setAutoDefault(false);

    auto *days = new QWidget(this);
    auto *daysLayout = new QVBoxLayout(days);
    daysLayout->setContentsMargins(0, 0, 0, 0);
    daysLayout->addWidget(m_lblPERIODO);
    daysLayout->addWidget(m_grdGIORNI);
    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(m_tvwPERIODI);
    splitter->addWidget(days);
    splitter->setChildrenCollapsible(false);
    splitter->setSizes({150, 250});
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdSTAMPA_FOGLIO);
    buttons->addWidget(m_cmdESPORTA_CSV);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(splitter);
    layout->addLayout(buttons);
    setTabOrder(m_tvwPERIODI, m_grdGIORNI);
    setTabOrder(m_grdGIORNI, m_cmdSTAMPA_FOGLIO);
    setTabOrder(m_cmdSTAMPA_FOGLIO, m_cmdESPORTA_CSV);
    // The window opens on the tree. Not through a focus proxy: with one, Tab stops at the day grid.
    m_tvwPERIODI->setFocus();

    connect(m_tvwPERIODI, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *current) { choose(current); });
    connect(m_cmdSTAMPA_FOGLIO, &QPushButton::clicked, this, &RiepilogoWindow::cmdSTAMPA_FOGLIO_Click);
    connect(m_cmdESPORTA_CSV, &QPushButton::clicked, this, &RiepilogoWindow::cmdESPORTA_CSV_Click);
    if (m_services.events)
        connect(m_services.events, &ArchiveEvents::changed, this, &RiepilogoWindow::reload);
    clearSheet();
    reload();
}

QSize RiepilogoWindow::sizeHint() const
{
    return QSize(700, 430);
}

void RiepilogoWindow::reload()
{
    m_services.pointer->setBusy(true);
    SummarySheets sheets;
    const Outcome error = SummarySheets::read(m_archive, &sheets);
    m_services.pointer->setBusy(false);
    if (error.failed()) {
        report(error);
        return;
    }
    m_sheets = std::move(sheets);
    fillTree(m_sheets.summary());
}

void RiepilogoWindow::fillTree(const HoursSummary &summary)
{
    // The month shown stays chosen; the first time (or when it is gone) the latest month is.
    const std::optional<SheetKey> wanted = m_chosen;
    QTreeWidgetItem *latest = nullptr;
    QTreeWidgetItem *kept = nullptr;
    {
        const QSignalBlocker blocker(m_tvwPERIODI);
        m_tvwPERIODI->clear();
        // Built apart and handed to the tree at once: one insertion, not one per line.
        QList<QTreeWidgetItem *> top;
        LongestTexts longestYears, longestMonths; // for the column widths
        QTreeWidgetItem *year = nullptr;
        qsizetype yearIndex = 0;
        for (const MonthTotals &m : summary.months) {
            if (!year || year->data(0, kYearRole).toInt() != m.year) {
                year = periodItem(QString::number(m.year), summary.years.at(yearIndex++).totals, m.year, -1,
                                  longestYears);
                top.append(year);
            }
            latest = periodItem(monthName(m.month), m.totals, m.year, m.month, longestMonths);
            year->addChild(latest);
            if (wanted == SheetKey{m.year, m.month})
                kept = latest;
        }
        if (summary.invalidDates.records > 0) {
            QTreeWidgetItem *invalid =
                periodItem(QStringLiteral("Data non valida"), summary.invalidDates, 0, 0, longestYears);
            top.append(invalid);
            if (wanted && wanted->invalidDates())
                kept = invalid;
            if (!latest)
                latest = invalid;
        }
        m_tvwPERIODI->addTopLevelItems(top);
        for (QTreeWidgetItem *item : std::as_const(top)) {
            if (item->childCount() > 0)
                item->setExpanded(true);
        }
        fitTreeColumns(*m_tvwPERIODI, longestYears, longestMonths);
    }
    QTreeWidgetItem *chosen = kept ? kept : latest;
    if (!chosen) {
        m_chosen.reset();
        clearSheet();
        return;
    }
    m_tvwPERIODI->setCurrentItem(chosen); // shows its records
}

void RiepilogoWindow::choose(QTreeWidgetItem *item)
{
    const std::optional<SheetKey> key = keyOf(item);
    m_chosen = key;
    if (!key) {
        clearSheet();
        return;
    }
    m_sheet = m_sheets.sheet(*key);

    const PeriodTotals &total = m_sheet->rows.constLast().totals;
    QString caption = sheetPeriodName(*key) + QStringLiteral(" - Giorni: ") + QString::number(total.days) +
                      QStringLiteral(" - Ore: ") + hoursText(total.minutes) + QStringLiteral(" (") +
                      decimalHoursText(total.minutes) + QLatin1Char(')');
    if (total.incomplete > 0)
        caption += QStringLiteral(" - Incompleti: ") + QString::number(total.incomplete);
    m_lblPERIODO->setText(caption);

    m_grdGIORNI->setRowCount(0);
    m_grdGIORNI->clearSpans();
    m_grdGIORNI->setRowCount(int(m_sheet->rows.size()));
    for (int r = 0; r < m_grdGIORNI->rowCount(); ++r) {
        const SheetRow &row = m_sheet->rows.at(r);
        const bool day = row.kind == SheetRow::Kind::Day;
        const QStringList cells = dayCells(*m_sheet, row);
        for (int c = 0; c < kDayColumns; ++c) {
            // A subtotal's name spans the day and the six times: it does not size the day's column.
            auto *cell = new QTableWidgetItem(day || c != 1 ? cells.at(c) : QString());
            if (c != 1)
                cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (!day) {
                QFont bold = cell->font();
                bold.setBold(true);
                cell->setFont(bold);
            }
            m_grdGIORNI->setItem(r, c, cell);
        }
    }
    fitGridColumns();
    for (int r = 0; r < m_grdGIORNI->rowCount(); ++r) {
        if (m_sheet->rows.at(r).kind == SheetRow::Kind::Day)
            continue;
        m_grdGIORNI->setSpan(r, 1, 1, 7);
        m_grdGIORNI->item(r, 1)->setText(m_sheet->rows.at(r).label);
    }
    m_cmdSTAMPA_FOGLIO->setEnabled(!key->invalidDates());
}

void RiepilogoWindow::fitGridColumns()
{
    QTableWidget &grid = *m_grdGIORNI;
    const int gridLine = grid.showGrid() ? 1 : 0;
    for (int column = 0; column < kDayColumns; ++column) {
        // The subtotals are bold: their longest text is measured apart.
        QList<QModelIndex> days, totals;
        for (int row = 0; row < grid.rowCount(); ++row)
            (m_sheet->rows.at(row).kind == SheetRow::Kind::Day ? days : totals)
                .append(grid.model()->index(row, column));
        fitColumn(grid, *grid.horizontalHeader(), column,
                  {{longestText(days), gridLine}, {longestText(totals), gridLine}});
    }
}

void RiepilogoWindow::clearSheet()
{
    m_sheet.reset();
    m_grdGIORNI->setRowCount(0);
    m_lblPERIODO->setText(QStringLiteral("Scegliere un mese"));
    m_cmdSTAMPA_FOGLIO->setEnabled(false);
}

void RiepilogoWindow::cmdSTAMPA_FOGLIO_Click()
{
    if (!m_sheet || m_sheet->key.invalidDates())
        return;
    m_services.pointer->setBusy(true);
    for (const QString &line : timesheetLines(*m_sheet))
        m_printer.printLine(line);
    const PrintDocument document = timesheetDocument(m_sheet->key);
    PrintResult result;
    {
        const std::unique_ptr<Progress> progress =
            beginProgress(m_services, QStringLiteral("Stampa del foglio ore in corso…"));
        result = m_printer.endDocument(document, progress.get());
    }
    m_services.pointer->setBusy(false);
    if (!result.cancelled())
        reportPrintResult(result, document);
}

void RiepilogoWindow::reportPrintResult(const PrintResult &result, const PrintDocument &document)
{
    if (result.failed())
        report(result);
    else if (const QString notice = printNotice(result, document); !notice.isEmpty())
        m_services.messages->show(notice, QString(), MessageBoxService::Icon::None,
                                  MessageBoxService::Buttons::Ok);
}

void RiepilogoWindow::cmdESPORTA_CSV_Click()
{
    Q_ASSERT(m_services.files && m_services.folders);
    const QString dialog = QStringLiteral("riepilogo-csv");
    const QString suggested =
        QDir(m_services.folders->folderFor(dialog)).filePath(QStringLiteral("ZELVARO_riepilogo.csv"));
    const QString path = m_services.files->saveFileName(QStringLiteral("Esporta il riepilogo ore in CSV"),
                                                        suggested, QStringLiteral("File CSV (*.csv)"));
    if (path.isEmpty())
        return;
    m_services.folders->remember(dialog, path);
    // Refused before the archive is read, with the words of "zelvaro-archivio riepilogo".
    if (const Outcome refusal = csvTargetRefusal(path)) {
        report(refusal);
        return;
    }
    m_services.pointer->setBusy(true);
    HoursSummary summary;
    Outcome error;
    {
        const std::unique_ptr<Progress> progress =
            beginProgress(m_services, QStringLiteral("Esportazione del riepilogo ore in corso…"));
        error = summarizeArchive(m_archive, &summary, progress.get());
    }
    if (!error.failed())
        error = writeCsvFile(path, [&summary](CsvWriter &csv) {
            writeSummaryCsv(summary, SummaryRows::Months, csv);
            return Outcome();
        });
    m_services.pointer->setBusy(false);
    if (error.cancelled())
        return;
    if (error.failed())
        report(error);
    else
        m_services.messages->show(QStringLiteral("Il riepilogo ore è stato salvato in ") + quoted(path),
                                  QString(), MessageBoxService::Icon::Information,
                                  MessageBoxService::Buttons::Ok);
}

void RiepilogoWindow::report(const Outcome &failure)
{
    PendingError pending{failure.code, failure.text};
    SEGNALA_ERRORE(pending, *m_services.messages);
}

} // namespace zelvaro
