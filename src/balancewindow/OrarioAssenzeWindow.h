#pragma once

#include "BalanceEditing.h"
#include "BalanceTables.h"
#include "PlatformServices.h"

#include <QWidget>

#include <array>
#include <functional>

class QCalendarWidget;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace zelvaro {

class Archive;

// "Orario e assenze": the settings of the balance (the worker's name, the employer, the patron day,
// the opening balance), the contract hours (add or replace an entry, remove one) and the absences of
// a month on a calendar (give a range of days an absence type and hours, or clear it). Each change is
// saved at once by the code of "zelvaro-archivio impostazioni", "orario" and "assenza", with their
// checks: the sentence of a change made is shown in the window, a refusal or a failure in a message
// box. `archive` and the services must outlive the window.
class OrarioAssenzeWindow : public QWidget
{
    Q_OBJECT
public:
    OrarioAssenzeWindow(Archive &archive, const Services &services, QWidget *parent = nullptr);

    // Reads the tables again and shows them; a failure is reported and the window keeps what it showed.
    void reload();

    QSize sizeHint() const override;

private:
    void buildSettingsTab(QWidget *tab);
    void buildContractTab(QWidget *tab);
    void buildAbsencesTab(QWidget *tab);

    void showSettings();
    void showContract();
    void showMonth();
    // A settings box left or confirmed with Enter: its value is saved when it differs from the stored one.
    void settingEdited(QLineEdit *box);
    void contractEntryPicked();
    void cmdREGISTRA_ORARIO_Click();
    void cmdTOGLI_ORARIO_Click();
    void calendarDayChosen();
    void cmdREGISTRA_ASSENZA_Click();
    void cmdTOGLI_ASSENZE_Click();
    // Makes a change with the busy pointer, after the daily copy when it writes.
    BalanceEdit change(const std::function<BalanceEdit(BalanceEditor &)> &edit);
    // Shows how a change ended and, when it was made, tells the other windows and reads the tables again.
    void finish(const BalanceEdit &edit);

    Archive &m_archive;
    Services m_services;
    StoredBalance m_stored;
    bool m_reporting = false; // a box is up: a box left meanwhile is not saved again
    QString m_copyNote;       // what the daily copy before the last change had to say

    QTabWidget *m_tabs = nullptr;
    QLineEdit *m_txtNOME = nullptr;
    QLineEdit *m_txtDATORE = nullptr;
    QLineEdit *m_txtPATRONO = nullptr;
    QLineEdit *m_txtSALDO_INIZIALE = nullptr;
    QTableWidget *m_grdORARIO = nullptr;
    QLineEdit *m_txtDAL_ORARIO = nullptr;
    std::array<QLineEdit *, 7> m_txtORE{}; // Monday to Sunday
    QPushButton *m_cmdREGISTRA_ORARIO = nullptr;
    QPushButton *m_cmdTOGLI_ORARIO = nullptr;
    QCalendarWidget *m_calASSENZE = nullptr;
    QListWidget *m_lstASSENZE = nullptr;
    QLineEdit *m_txtDAL = nullptr;
    QLineEdit *m_txtAL = nullptr;
    QComboBox *m_cboTIPO = nullptr;
    QLineEdit *m_txtORE_ASSENZA = nullptr;
    QPushButton *m_cmdREGISTRA_ASSENZA = nullptr;
    QPushButton *m_cmdTOGLI_ASSENZE = nullptr;
    QPlainTextEdit *m_txtESITO = nullptr;
};

} // namespace zelvaro
