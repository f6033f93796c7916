#include "OrarioAssenzeWindow.h"

#include "Archive.h"
#include "BalanceText.h"
#include "Holidays.h"
#include "HoursSummary.h"
#include "Texts.h"
#include "ToolTexts.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTextCharFormat>

namespace zelvaro {

namespace {

QString dayText(QDate date)
{
    return weekdayName(date.dayOfWeek()) + QLatin1Char(' ') + userDateText(date);
}

} // namespace

void OrarioAssenzeWindow::reload()
{
    m_services.pointer->setBusy(true);
    StoredBalance stored;
    const Outcome error = BalanceTables(m_archive).read(&stored);
    m_services.pointer->setBusy(false);
    if (error.failed()) {
        m_reporting = true;
        m_services.messages->show(upperFirst(readFailureText(m_archive.path(), error)), QString(),
                                  MessageBoxService::Icon::Warning, MessageBoxService::Buttons::Ok);
        m_reporting = false;
        return;
    }
    m_stored = std::move(stored);
    showSettings();
    showContract();
    showMonth();
}

void OrarioAssenzeWindow::showSettings()
{
    const BalanceSettings &s = m_stored.settings;
    m_txtNOME->setText(s.worker);
    m_txtDATORE->setText(s.employer);
    m_txtPATRONO->setText(s.patron ? patronDayText(*s.patron) : QString());
    m_txtSALDO_INIZIALE->setText(hourValueText(s.openingBalance));
}

void OrarioAssenzeWindow::settingEdited(QLineEdit *box)
{
    if (m_reporting)
        return;
    const BalanceSettings &s = m_stored.settings;
    const QString text = box->text();
    SettingsTexts texts;
    QString stored;
    if (box == m_txtNOME) {
        texts.worker = text;
        stored = s.worker;
    } else if (box == m_txtDATORE) {
        texts.employer = text;
        stored = s.employer;
    } else if (box == m_txtPATRONO) {
        texts.patron = text;
        stored = s.patron ? patronDayText(*s.patron) : QString();
    } else {
        texts.openingBalance = text;
        stored = hourValueText(s.openingBalance);
    }
    if (text == stored)
        return;
    const BalanceEdit edit = change([&](BalanceEditor &e) { return e.changeSettings(texts); });
    if (edit.ending != BalanceEdit::Ending::Done)
        box->setText(stored); // the box shows what is stored, before the message takes the focus
    finish(edit);
}

void OrarioAssenzeWindow::showContract()
{
    const QSignalBlocker blocker(m_grdORARIO);
    m_grdORARIO->setRowCount(int(m_stored.contract.size()));
    for (int row = 0; row < m_grdORARIO->rowCount(); ++row) {
        const ContractEntry &entry = m_stored.contract.at(row);
        m_grdORARIO->setItem(row, 0, new QTableWidgetItem(userDateText(entry.from)));
        for (int day = 0; day < 7; ++day) {
            auto *cell = new QTableWidgetItem(hourValueText(entry.minutes[day]));
            cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_grdORARIO->setItem(row, day + 1, cell);
        }
    }
    m_grdORARIO->resizeColumnsToContents();
}

void OrarioAssenzeWindow::contractEntryPicked()
{
    const int row = m_grdORARIO->currentRow();
    if (row < 0 || row >= m_stored.contract.size())
        return;
    const ContractEntry &entry = m_stored.contract.at(row);
    m_txtDAL_ORARIO->setText(userDateText(entry.from));
    for (int day = 0; day < 7; ++day)
        m_txtORE[day]->setText(hourValueText(entry.minutes[day]));
}

void OrarioAssenzeWindow::cmdREGISTRA_ORARIO_Click()
{
    QStringList hours;
    for (const QLineEdit *box : m_txtORE)
        hours << box->text();
    finish(change([&](BalanceEditor &e) { return e.addContractEntry(m_txtDAL_ORARIO->text(), hours); }));
}

void OrarioAssenzeWindow::cmdTOGLI_ORARIO_Click()
{
    finish(change([&](BalanceEditor &e) { return e.removeContractEntry(m_txtDAL_ORARIO->text()); }));
}

void OrarioAssenzeWindow::showMonth()
{
    const QDate first(m_calASSENZE->yearShown(), m_calASSENZE->monthShown(), 1);
    const std::optional<PatronDay> &patron = m_stored.settings.patron;
    m_calASSENZE->setDateTextFormat(QDate(), QTextCharFormat()); // clears every date
    const QSignalBlocker blocker(m_lstASSENZE);
    m_lstASSENZE->clear();
    // The page shows up to six weeks around the month.
    for (QDate date = first.addDays(-7); date < first.addMonths(1).addDays(14); date = date.addDays(1)) {
        const QString holiday = holidayName(date, patron);
        const auto absence = m_stored.absences.constFind(date);
        const bool absent = absence != m_stored.absences.cend();
        if (holiday.isEmpty() && !absent)
            continue;
        QTextCharFormat format;
        QStringList about;
        if (!holiday.isEmpty()) {
            format.setForeground(QColor(192, 0, 0));
            about << QStringLiteral("Festività: ") + holiday;
        }
        if (absent) {
            format.setFontWeight(QFont::Bold);
            format.setBackground(QColor(255, 224, 160));
            about << absenceTypeName(absence->type) + QLatin1Char(' ') + hourValueText(absence->minutes);
        }
        format.setToolTip(about.join(QStringLiteral(", ")));
        m_calASSENZE->setDateTextFormat(date, format);
        if (date.month() != first.month())
            continue;
        auto *item =
            new QListWidgetItem(dayText(date) + QStringLiteral(" - ") + about.join(QStringLiteral(", ")));
        item->setData(Qt::UserRole, date);
        m_lstASSENZE->addItem(item);
    }
}

void OrarioAssenzeWindow::calendarDayChosen()
{
    const QDate day = m_calASSENZE->selectedDate();
    const QDate from = parseDate(m_txtDAL->text());
    if ((QGuiApplication::keyboardModifiers() & Qt::ShiftModifier) && from.isValid() && from <= day) {
        m_txtAL->setText(userDateText(day));
        return;
    }
    m_txtDAL->setText(userDateText(day));
    m_txtAL->setText(userDateText(day));
}

void OrarioAssenzeWindow::cmdREGISTRA_ASSENZA_Click()
{
    const QString hours = m_txtORE_ASSENZA->text();
    finish(change([&](BalanceEditor &e) {
        return e.addAbsences(m_cboTIPO->currentData().toString(), m_txtDAL->text(), m_txtAL->text(),
                             hours.isEmpty() ? std::nullopt : std::optional<QString>(hours));
    }));
}

void OrarioAssenzeWindow::cmdTOGLI_ASSENZE_Click()
{
    finish(change([&](BalanceEditor &e) { return e.removeAbsences(m_txtDAL->text(), m_txtAL->text()); }));
}

BalanceEdit OrarioAssenzeWindow::change(const std::function<BalanceEdit(BalanceEditor &)> &edit)
{
    m_services.pointer->setBusy(true);
    m_copyNote.clear();
    BalanceEditor editor(m_archive, [this] {
        if (m_services.beforeWrite)
            m_copyNote = m_services.beforeWrite->beforeWrite();
    });
    const BalanceEdit result = edit(editor);
    m_services.pointer->setBusy(false);
    return result;
}

void OrarioAssenzeWindow::finish(const BalanceEdit &edit)
{
    // A daily copy that could not be made is told with what became of the change, in one message.
    const QString besides = m_copyNote.isEmpty() ? QString() : QStringLiteral("\r\r") + m_copyNote;
    if (edit.ending == BalanceEdit::Ending::Done) {
        m_txtESITO->setPlainText(edit.text);
        if (m_services.events)
            emit m_services.events->changed();
        reload();
        if (besides.isEmpty())
            return;
    }
    m_reporting = true;
    m_services.messages->show(upperFirst(edit.text) + besides, QString(), MessageBoxService::Icon::Warning,
                              MessageBoxService::Buttons::Ok);
    m_reporting = false;
}

} // namespace zelvaro
