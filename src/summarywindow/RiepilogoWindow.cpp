#include "RiepilogoWindow.h"

#include "Archive.h"
#include "BalanceTables.h"
#include "ColumnWidths.h"
#include "CsvFile.h"
#include "ErrorReport.h"
#include "SummaryCsv.h"
#include "Texts.h"

#include <QColor>
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
#include <climits>

namespace zelvaro {

namespace {

constexpr int kYearRole = Qt::UserRole;
constexpr int kMonthRole = Qt::UserRole + 1; // -1 on a year's line, 0 on "Data non valida"
constexpr int kDayColumns = 10;
constexpr int kTreeColumns = 4;
constexpr int kBalanceTreeColumns = 8;

void setBalanceCells(QTreeWidgetItem *item, const BalanceTotals &t, LongestTexts &longest)
{
    const QStringList texts{balanceFigureText(t.expected), balanceFigureText(t.absence),
                            balanceFigureText(t.balance), balanceFigureText(t.running)};
    for (int i = 0; i < texts.size(); ++i) {
        item->setText(kTreeColumns + i, texts.at(i));
        item->setTextAlignment(kTreeColumns + i, Qt::AlignRight | Qt::AlignVCenter);
    }
    longest.note(item, texts, kTreeColumns);
}

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

SignedSheet signedTimesheet(const BalanceSheet &balance, const QList<BalanceMonthLine> &lines,
                            const BalanceSettings &settings, QDate printDate)
{
    // What the employer signs, upright on one page: the day, its periods in one column
    // ("8.30-12.30, 13.30-17.30"), the hours worked written as the other figures ("8.30", not
    // "8 h / 30 Min."), the holiday or absence and the figures; not the record numbers.
    const auto printed = [](const QStringList &cells, const QString &worked) {
        QStringList periods;
        for (int p = 0; p < 3; ++p) {
            const QString &start = cells.at(kBmTimes + 2 * p), &end = cells.at(kBmTimes + 2 * p + 1);
            if (!start.isEmpty() || !end.isEmpty())
                periods.append(start + QLatin1Char('-') + end);
        }
        return QStringList{cells.at(kBmDay),
                           periods.join(QStringLiteral(", ")),
                           worked,
                           cells.at(kBmNote),
                           cells.at(kBmAbsence),
                           cells.at(kBmExpected),
                           cells.at(kBmBalance)};
    };
    const QString month = sheetPeriodName(SheetKey{balance.year, balance.month});
    SignedSheet sheet;
    sheet.title = QStringLiteral("Foglio ore - ") + month;
    sheet.heading = {QStringLiteral("Dipendente: ") + settings.worker,
                     QStringLiteral("Datore di lavoro: ") + settings.employer,
                     QStringLiteral("Mese: ") + month};
    const QStringList headings = balanceMonthHeadings();
    sheet.columns = QStringList{headings.at(kBmDay),    QStringLiteral("Orari"), QStringLiteral("Lavorate"),
                                headings.at(kBmNote),   headings.at(kBmAbsence), headings.at(kBmExpected),
                                headings.at(kBmBalance)};
    for (const BalanceMonthLine &line : lines) {
        using Kind = SignedSheetRow::Kind;
        const Kind kind = line.kind == BalanceMonthLine::Kind::Day    ? Kind::Day
                          : line.kind == BalanceMonthLine::Kind::Week ? Kind::Week
                                                                      : Kind::Month;
        sheet.rows.append({kind, printed(line.cells, line.worked), line.dayOff});
    }
    sheet.closing = balanceMonthClosing(balance);
    sheet.printDate = QStringLiteral("Stampato il ") + printDate.toString(QStringLiteral("dd/MM/yyyy"));
    return sheet;
}

PrintDocument timesheetDocument(const SheetKey &key)
{
    const QString month = QStringLiteral("%1").arg(key.month, 2, 10, QLatin1Char('0'));
    const QString year = QString::number(key.year);
    return {QStringLiteral("ZELVARO - foglio ore ") + month + QLatin1Char('/') + year,
            QStringLiteral("ZELVARO_foglio_") + year + QLatin1Char('_') + month,
            QStringLiteral("il foglio ore")};
}

RiepilogoWindow::RiepilogoWindow(Archive &archive, const Services &services, LinePrinter &printer,
                                 SheetPrinter &sheetPrinter, QWidget *parent)
    : QWidget(parent), m_archive(archive), m_services(services), m_printer(printer),
      m_sheetPrinter(sheetPrinter)
{
    Q_ASSERT(m_services.messages && m_services.pointer);
    setObjectName(QStringLiteral("frmRIEPILOGO"));
    setWindowTitle(QStringLiteral("Riepilogo ore"));

    m_tvwPERIODI = new QTreeWidget(this);
    m_tvwPERIODI->setObjectName(QStringLiteral("tvwPERIODI"));
    m_tvwPERIODI->setAccessibleName(QStringLiteral("Anni e mesi"));
    m_tvwPERIODI->setUniformRowHeights(true);

    m_lblPERIODO = new QLabel(this);
    m_lblPERIODO->setObjectName(QStringLiteral("lblPERIODO"));
    // No accessible name of its own: a screen reader reads its text, the month's days and hours.
    m_lblPERIODO->setTextFormat(Qt::PlainText);

    m_grdGIORNI = new QTableWidget(0, kDayColumns, this);
    m_grdGIORNI->setObjectName(QStringLiteral("grdGIORNI"));
    m_grdGIORNI->setAccessibleName(QStringLiteral("Giorni del periodo scelto"));
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
    StoredBalance stored;
    const Outcome error = SummarySheets::read(m_archive, &sheets);
    // Damaged balance tables are reported, and the hours are shown all the same, without the balance.
    const Outcome balanceError = error.failed() ? Outcome() : BalanceTables(m_archive).read(&stored);
    m_services.pointer->setBusy(false);
    if (error.failed()) {
        report(error);
        return;
    }
    m_sheets = std::move(sheets);
    m_balanceInput.reset();
    m_balance.reset();
    if (!balanceError.failed() && !stored.contract.isEmpty()) {
        m_balanceInput = BalanceInput{std::move(stored.contract), std::move(stored.absences),
                                      m_sheets.workedByDate(), std::move(stored.settings)};
        m_balance = computeBalance(*m_balanceInput);
    }
    fillTree(m_sheets.summary());
    if (balanceError.failed())
        report(balanceError);
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
        QStringList headings{QStringLiteral("Periodo"), QStringLiteral("Giorni"), QStringLiteral("Ore"),
                             QStringLiteral("Ore decimali")};
        if (m_balance)
            headings << QStringLiteral("Ore previste") << QStringLiteral("Ore assenza")
                     << QStringLiteral("Saldo") << QStringLiteral("Saldo progressivo");
        m_tvwPERIODI->setColumnCount(m_balance ? kBalanceTreeColumns : kTreeColumns);
        m_tvwPERIODI->setHeaderLabels(headings);
        // The months with records and, once there is a balance, every month it counts, in order.
        struct Month
        {
            int year, month;
            const PeriodTotals *hours;
            const BalanceTotals *balance;
        };
        static const PeriodTotals kNoHours;
        QList<Month> months;
        const QList<MonthBalance> noBalance;
        const QList<MonthBalance> &balanceMonths = m_balance ? m_balance->months : noBalance;
        for (qsizetype h = 0, b = 0; h < summary.months.size() || b < balanceMonths.size();) {
            const MonthTotals *mh = h < summary.months.size() ? &summary.months.at(h) : nullptr;
            const MonthBalance *mb = b < balanceMonths.size() ? &balanceMonths.at(b) : nullptr;
            const auto key = [](const auto *m) { return m ? m->year * 100 + m->month : INT_MAX; };
            const int next = std::min(key(mh), key(mb));
            const bool takeH = key(mh) == next, takeB = key(mb) == next;
            months.append(
                {next / 100, next % 100, takeH ? &mh->totals : &kNoHours, takeB ? &mb->totals : nullptr});
            h += takeH;
            b += takeB;
        }
        // Built apart and handed to the tree at once: one insertion, not one per line.
        QList<QTreeWidgetItem *> top;
        // For the column widths.
        LongestTexts longestYears(m_tvwPERIODI->fontMetrics()), longestMonths(m_tvwPERIODI->fontMetrics());
        QTreeWidgetItem *year = nullptr;
        BalanceTotals yearBalance;
        const auto closeYear = [&] {
            if (year && m_balance)
                setBalanceCells(year, yearBalance, longestYears);
            yearBalance = BalanceTotals();
        };
        for (const Month &m : std::as_const(months)) {
            if (!year || year->data(0, kYearRole).toInt() != m.year) {
                closeYear();
                const auto hours = std::find_if(summary.years.cbegin(), summary.years.cend(),
                                                [&m](const YearTotals &y) { return y.year == m.year; });
                year = periodItem(QString::number(m.year),
                                  hours != summary.years.cend() ? hours->totals : kNoHours, m.year, -1,
                                  longestYears);
                top.append(year);
            }
            latest = periodItem(monthName(m.month), *m.hours, m.year, m.month, longestMonths);
            if (m.balance) {
                setBalanceCells(latest, *m.balance, longestMonths);
                yearBalance.add(*m.balance);
            }
            year->addChild(latest);
            if (wanted == SheetKey{m.year, m.month})
                kept = latest;
        }
        closeYear();
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
    m_tvwPERIODI->setCurrentItem(chosen); // a new item: shows its records
}

void RiepilogoWindow::choose(QTreeWidgetItem *item)
{
    const std::optional<SheetKey> key = keyOf(item);
    m_chosen = key;
    m_monthBalance.reset();
    m_monthLines.clear();
    if (!key) {
        clearSheet();
        return;
    }
    m_sheet = m_sheets.sheet(*key);
    if (m_balanceInput && !key->invalidDates())
        m_monthBalance = balanceSheet(*m_balanceInput, key->year, key->month);
    if (m_monthBalance)
        showBalance(*key);
    else
        showRecords(*key);
    m_cmdSTAMPA_FOGLIO->setEnabled(!key->invalidDates());
}

void RiepilogoWindow::showRecords(const SheetKey &key)
{
    const PeriodTotals &total = m_sheet->rows.constLast().totals;
    QString caption = sheetPeriodName(key) + QStringLiteral(" - Giorni: ") + QString::number(total.days) +
                      QStringLiteral(" - Ore: ") + hoursText(total.minutes) + QStringLiteral(" (") +
                      decimalHoursText(total.minutes) + QLatin1Char(')');
    if (total.incomplete > 0)
        caption += QStringLiteral(" - Incompleti: ") + QString::number(total.incomplete);
    m_lblPERIODO->setText(caption);

    QList<QStringList> cells;
    QList<bool> totals;
    for (const SheetRow &row : std::as_const(m_sheet->rows)) {
        cells.append(dayCells(*m_sheet, row));
        totals.append(row.kind != SheetRow::Kind::Day);
    }
    // The columns of the month with its balance, up to the decimal hours.
    fillGrid(balanceMonthHeadings().mid(0, kDayColumns), cells, totals, QList<bool>(cells.size(), false));
}

void RiepilogoWindow::showBalance(const SheetKey &key)
{
    m_monthLines = balanceMonthLines(*m_sheet, *m_monthBalance);
    const BalanceMonthLine &month = m_monthLines.constLast();
    m_lblPERIODO->setText(sheetPeriodName(key) + QStringLiteral(" - Ore: ") + month.cells.at(kBmWorked) +
                          QStringLiteral(" - Previste: ") + month.cells.at(kBmExpected) +
                          QStringLiteral(" - Saldo: ") + month.cells.at(kBmBalance) +
                          QStringLiteral(" - Saldo progressivo: ") + month.cells.at(kBmRunning));
    QList<QStringList> cells;
    QList<bool> totals, dayOff;
    for (const BalanceMonthLine &line : std::as_const(m_monthLines)) {
        cells.append(line.cells);
        totals.append(line.kind != BalanceMonthLine::Kind::Day);
        dayOff.append(line.dayOff);
    }
    fillGrid(balanceMonthHeadings(), cells, totals, dayOff);
}

void RiepilogoWindow::fillGrid(const QStringList &headings, const QList<QStringList> &cells,
                               const QList<bool> &totals, const QList<bool> &dayOff)
{
    QTableWidget &grid = *m_grdGIORNI;
    grid.setRowCount(0);
    grid.clearSpans();
    grid.setColumnCount(int(headings.size()));
    grid.setHorizontalHeaderLabels(headings);
    grid.setRowCount(int(cells.size()));
    const QColor grey = palette().color(QPalette::Disabled, QPalette::Text);
    for (int r = 0; r < grid.rowCount(); ++r) {
        for (int c = 0; c < grid.columnCount(); ++c) {
            // A subtotal's name spans the day and the six times: it does not size the day's column.
            auto *cell = new QTableWidgetItem(!totals.at(r) || c != 1 ? cells.at(r).at(c) : QString());
            if (c != 1 && c != kBmNote)
                cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (totals.at(r)) {
                QFont bold = cell->font();
                bold.setBold(true);
                cell->setFont(bold);
            } else if (dayOff.at(r)) {
                cell->setForeground(grey);
            }
            grid.setItem(r, c, cell);
        }
    }
    fitGridColumns(totals);
    for (int r = 0; r < grid.rowCount(); ++r) {
        if (!totals.at(r))
            continue;
        grid.setSpan(r, 1, 1, 7);
        grid.item(r, 1)->setText(cells.at(r).at(1));
    }
}

void RiepilogoWindow::fitGridColumns(const QList<bool> &totals)
{
    QTableWidget &grid = *m_grdGIORNI;
    const int gridLine = grid.showGrid() ? 1 : 0;
    QFont boldFont = grid.font();
    boldFont.setBold(true);
    const QFontMetrics bold(boldFont);
    for (int column = 0; column < grid.columnCount(); ++column) {
        // The subtotals are bold: their longest text is measured apart.
        QList<QModelIndex> days, sums;
        for (int row = 0; row < grid.rowCount(); ++row)
            (totals.at(row) ? sums : days).append(grid.model()->index(row, column));
        fitColumn(grid, *grid.horizontalHeader(), column,
                  {{longestText(grid.fontMetrics(), days), gridLine}, {longestText(bold, sums), gridLine}});
    }
}

void RiepilogoWindow::clearSheet()
{
    m_sheet.reset();
    m_monthBalance.reset();
    m_monthLines.clear();
    m_grdGIORNI->setRowCount(0);
    m_lblPERIODO->setText(QStringLiteral("Scegliere un mese"));
    m_cmdSTAMPA_FOGLIO->setEnabled(false);
}

void RiepilogoWindow::cmdSTAMPA_FOGLIO_Click()
{
    if (!m_sheet || m_sheet->key.invalidDates())
        return;
    if (m_monthBalance) {
        printSignedSheet();
        return;
    }
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

void RiepilogoWindow::printSignedSheet()
{
    const QDate today = m_services.clock ? m_services.clock->today() : QDate::currentDate();
    const SignedSheet sheet = signedTimesheet(*m_monthBalance, m_monthLines, m_balanceInput->settings, today);
    const PrintDocument document = timesheetDocument(m_sheet->key);
    const PrintResult result = m_sheetPrinter.print(sheet, document);
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
