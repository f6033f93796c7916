#pragma once

#include "PlatformServices.h"

#include <QMainWindow>

#include <functional>

class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace zelvaro {

class Archive;

// The main window: a multiple-document frame whose client area hosts the hours entry window
// Form2, the summary window and the "Orario e assenze" window, with the menus "Gestione" (MENU01) and
// "&Windows" (mnuWindows). Loading it (the constructor) opens Form2 at once.
class MDIForm1 : public QMainWindow
{
    Q_OBJECT

public:
    // Makes a new Form2 for the given parent; it must return a fresh widget every call.
    using Form2Factory = std::function<QWidget *(QWidget *parent)>;
    // Makes a new summary window ("Riepilogo ore") for the given parent.
    using SummaryWindowFactory = std::function<QWidget *(QWidget *parent)>;
    // Makes a new "Orario e assenze" window for the given parent.
    using BalanceWindowFactory = std::function<QWidget *(QWidget *parent)>;

    // Client area in twips; 15 twips make one pixel.
    static constexpr int kClientWidthTwips = 10740;
    static constexpr int kClientHeightTwips = 6915;
    static constexpr int kTwipsPerPixel = 15;

    MDIForm1(Archive &archive, const Services &services, Form2Factory makeForm2, QWidget *parent = nullptr);
    ~MDIForm1() override;

    // The hours window open flag: set just before Form2 is made, cleared when its window closes.
    bool isForm2Open() const { return m_form2Open; }
    QMdiSubWindow *form2Window() const { return m_form2Window; }
    QMdiArea *mdiArea() const { return m_mdiArea; }

    // "Zelvaro": brings Form2 forward when it is open, else makes and shows a fresh one.
    void MENU0102_Click();
    // "Riepilogo ore": brings the summary window forward when it is open, else makes and shows one.
    // The item is disabled until a factory is set.
    void MENU0103_Click();
    void setSummaryWindowFactory(SummaryWindowFactory makeSummary);
    QMdiSubWindow *summaryWindow() const { return m_summaryWindow; }
    // "Orario e assenze…": brings its window forward when it is open, else makes and shows one with
    // the factory; the item is disabled until a factory is set.
    void MENU0107_Click();
    void setBalanceWindowFactory(BalanceWindowFactory makeBalance);
    QMdiSubWindow *balanceWindow() const { return m_balanceWindow; }

    // The archive tools of "Gestione", each run by its item: "Esporta in CSV…" (MENU0104), "Copia
    // di sicurezza…" (MENU0105), "Importa archivio Access…" (MENU0106). The program hands them over
    // (the shell links no tool); an item stays disabled until its command is set.
    struct ToolCommands
    {
        std::function<void()> exportCsv, backup, importAccess;
    };
    void setToolCommands(ToolCommands commands);
    // "Fine": ends the program at once; no window closes and the archive is not closed.
    void MENU0199_Click();

protected:
    // The user closes the main window: the child windows close first, then the archive, then
    // the program ends.
    void closeEvent(QCloseEvent *event) override;

private:
    void MDIForm_Load();
    void MDIForm_Unload();
    void fillWindowList();
    void form2WindowGone(QMdiSubWindow *window);
    // Shows `content` in the child `window`, its window menu named for a screen reader; `gone`
    // hears of the window's deletion.
    void showChild(QMdiSubWindow *window, QWidget *content, const std::function<void(QMdiSubWindow *)> &gone);
    // A window the menu opens once: brings `slot`'s forward, or makes one with `make` (named `name`)
    // and keeps it in `slot` until it is gone.
    void showOnce(QMdiSubWindow *&slot, const std::function<QWidget *(QWidget *)> &make, const QString &name);

    Archive &m_archive;
    Services m_services;
    Form2Factory m_makeForm2;
    QMdiArea *m_mdiArea = nullptr;
    QMenu *m_windowsMenu = nullptr;
    bool m_form2Open = false;
    QMdiSubWindow *m_form2Window = nullptr;
    SummaryWindowFactory m_makeSummary;
    QAction *m_summaryAction = nullptr;
    QAction *m_exportAction = nullptr;
    QAction *m_backupAction = nullptr;
    QAction *m_importAction = nullptr;
    ToolCommands m_tools;
    QMdiSubWindow *m_summaryWindow = nullptr;
    BalanceWindowFactory m_makeBalance;
    QAction *m_balanceAction = nullptr;
    QMdiSubWindow *m_balanceWindow = nullptr;
};

} // namespace zelvaro
