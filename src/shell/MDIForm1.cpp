#include "MDIForm1.h"

#include "Archive.h"

#include <QAction>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

#include <algorithm>

namespace zelvaro {

namespace {

// A child window that reports the moment its close is accepted, so the open flag falls before the
// deferred deletion and the menu item can open a fresh one at once.
class ChildSubWindow : public QMdiSubWindow
{
public:
    explicit ChildSubWindow(std::function<void(QMdiSubWindow *)> closed) : m_closed(std::move(closed))
    {
        setAttribute(Qt::WA_DeleteOnClose);
    }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        QMdiSubWindow::closeEvent(event);
        if (event->isAccepted() && m_closed)
            m_closed(this);
    }

private:
    std::function<void(QMdiSubWindow *)> m_closed;
};

QList<QKeySequence> closeKeys()
{
    return {QKeySequence(Qt::CTRL | Qt::Key_W), QKeySequence(Qt::CTRL | Qt::Key_F4)};
}

QString escapedForMenu(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

MDIForm1::MDIForm1(Archive &archive, const Services &services, Form2Factory makeForm2, QWidget *parent)
    : QMainWindow(parent), m_archive(archive), m_services(services), m_makeForm2(std::move(makeForm2))
{
    setObjectName(QStringLiteral("MDIForm1"));
    setWindowTitle(QStringLiteral("Zelvaro"));

    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setObjectName(QStringLiteral("MDIClient"));
    m_mdiArea->setBackground(palette().brush(QPalette::Dark));
    m_mdiArea->setAccessibleName(QStringLiteral("Finestre di Zelvaro"));
    menuBar()->setAccessibleName(QStringLiteral("Barra dei menu"));
    setCentralWidget(m_mdiArea);

    QMenu *gestione = menuBar()->addMenu(QStringLiteral("Gestione"));
    gestione->setObjectName(QStringLiteral("MENU01"));
    gestione->setAccessibleName(QStringLiteral("Gestione"));
    gestione->menuAction()->setObjectName(QStringLiteral("MENU01"));
    QAction *zelvaro = gestione->addAction(QStringLiteral("Zelvaro"));
    zelvaro->setObjectName(QStringLiteral("MENU0102"));
    connect(zelvaro, &QAction::triggered, this, &MDIForm1::MENU0102_Click);
    m_summaryAction = gestione->addAction(QStringLiteral("&Riepilogo ore"));
    m_summaryAction->setObjectName(QStringLiteral("MENU0103"));
    m_summaryAction->setEnabled(false);
    connect(m_summaryAction, &QAction::triggered, this, &MDIForm1::MENU0103_Click);
    m_balanceAction = gestione->addAction(QStringLiteral("&Orario e assenze…"));
    m_balanceAction->setObjectName(QStringLiteral("MENU0107"));
    m_balanceAction->setEnabled(false);
    connect(m_balanceAction, &QAction::triggered, this, &MDIForm1::MENU0107_Click);
    gestione->addSeparator();
    const auto toolItem = [&](const QString &text, const char *name,
                              std::function<void()> ToolCommands::*command) {
        QAction *item = gestione->addAction(text);
        item->setObjectName(QString::fromLatin1(name));
        item->setEnabled(false);
        connect(item, &QAction::triggered, this, [this, command] {
            if (m_tools.*command)
                (m_tools.*command)();
        });
        return item;
    };
    m_exportAction = toolItem(QStringLiteral("&Esporta in CSV…"), "MENU0104", &ToolCommands::exportCsv);
    m_backupAction = toolItem(QStringLiteral("&Copia di sicurezza…"), "MENU0105", &ToolCommands::backup);
    m_importAction =
        toolItem(QStringLiteral("&Importa archivio Access…"), "MENU0106", &ToolCommands::importAccess);
    gestione->addSeparator();
    QAction *fine = gestione->addAction(QStringLiteral("Fine"));
    fine->setObjectName(QStringLiteral("MENU0199"));
    connect(fine, &QAction::triggered, this, &MDIForm1::MENU0199_Click);

    m_windowsMenu = menuBar()->addMenu(QStringLiteral("&Windows"));
    m_windowsMenu->setObjectName(QStringLiteral("mnuWindows"));
    m_windowsMenu->setAccessibleName(QStringLiteral("Finestre"));
    m_windowsMenu->menuAction()->setObjectName(QStringLiteral("mnuWindows"));
    connect(m_windowsMenu, &QMenu::aboutToShow, this, &MDIForm1::fillWindowList);

    // Ctrl+W and Ctrl+F4 close the active child window, as in every multiple-document program.
    auto *closeChild = new QAction(QStringLiteral("Chiudi la finestra"), this);
    closeChild->setObjectName(QStringLiteral("actCHIUDI_FINESTRA"));
    closeChild->setShortcuts(closeKeys());
    closeChild->setShortcutContext(Qt::WindowShortcut);
    connect(closeChild, &QAction::triggered, m_mdiArea, &QMdiArea::closeActiveSubWindow);
    addAction(closeChild);

    resize(kClientWidthTwips / kTwipsPerPixel,
           kClientHeightTwips / kTwipsPerPixel + menuBar()->sizeHint().height());

    MDIForm_Load();
}

MDIForm1::~MDIForm1()
{
    // The child windows, closed ones awaiting deletion included, are deleted after this body:
    // their last signals must not reach a half-destroyed main window.
    for (QMdiSubWindow *window : m_mdiArea->findChildren<QMdiSubWindow *>())
        window->disconnect(this);
}

void MDIForm1::MDIForm_Load()
{
    MENU0102_Click();
}

void MDIForm1::MENU0102_Click()
{
    if (m_form2Open) {
        if (m_form2Window) {
            m_mdiArea->setActiveSubWindow(m_form2Window);
            m_form2Window->raise();
        }
        return;
    }
    m_form2Open = true;
    auto *window = new ChildSubWindow([this](QMdiSubWindow *closed) { form2WindowGone(closed); });
    window->setObjectName(QStringLiteral("Form2Window"));
    QWidget *form2 = m_makeForm2 ? m_makeForm2(window) : nullptr;
    if (!form2) {
        delete window;
        m_form2Open = false;
        return;
    }
    m_form2Window = window;
    showChild(window, form2, [this](QMdiSubWindow *closed) { form2WindowGone(closed); });
}

void MDIForm1::showChild(QMdiSubWindow *window, QWidget *content,
                         const std::function<void(QMdiSubWindow *)> &gone)
{
    window->setWidget(content);
    window->systemMenu()->setAccessibleName(QStringLiteral("Menu della finestra ") + window->windowTitle());
    // Each child window's own "Chiudi" takes the same keys, for the whole main window: with two
    // children open they would clash and close neither. The main window's action closes the active one.
    for (QAction *action : window->systemMenu()->actions()) {
        QList<QKeySequence> keys = action->shortcuts();
        if (keys.removeIf([](const QKeySequence &key) { return closeKeys().contains(key); }) > 0)
            action->setShortcuts(keys);
    }
    connect(window, &QObject::destroyed, this, [window, gone] { gone(window); });
    m_mdiArea->addSubWindow(window);
    window->show();
    m_mdiArea->setActiveSubWindow(window);
}

void MDIForm1::form2WindowGone(QMdiSubWindow *window)
{
    // A window closed earlier may be deleted after a fresh Form2 opened: only the current one
    // clears the flag.
    if (window != m_form2Window)
        return;
    m_form2Window = nullptr;
    m_form2Open = false;
}

void MDIForm1::setSummaryWindowFactory(SummaryWindowFactory makeSummary)
{
    m_makeSummary = std::move(makeSummary);
    m_summaryAction->setEnabled(bool(m_makeSummary));
}

void MDIForm1::setToolCommands(ToolCommands commands)
{
    m_tools = std::move(commands);
    m_exportAction->setEnabled(bool(m_tools.exportCsv));
    m_backupAction->setEnabled(bool(m_tools.backup));
    m_importAction->setEnabled(bool(m_tools.importAccess));
}

void MDIForm1::showOnce(QMdiSubWindow *&slot, const std::function<QWidget *(QWidget *)> &make,
                        const QString &name)
{
    if (slot) {
        m_mdiArea->setActiveSubWindow(slot);
        slot->raise();
        return;
    }
    if (!make)
        return;
    QMdiSubWindow **kept = &slot;
    const auto gone = [kept](QMdiSubWindow *closed) {
        if (*kept == closed)
            *kept = nullptr;
    };
    auto *window = new ChildSubWindow(gone);
    window->setObjectName(name);
    QWidget *content = make(window);
    if (!content) {
        delete window;
        return;
    }
    slot = window;
    showChild(window, content, gone);
}

void MDIForm1::MENU0103_Click()
{
    showOnce(m_summaryWindow, m_makeSummary, QStringLiteral("RiepilogoWindow"));
}

void MDIForm1::setBalanceWindowFactory(BalanceWindowFactory makeBalance)
{
    m_makeBalance = std::move(makeBalance);
    m_balanceAction->setEnabled(bool(m_makeBalance));
}

void MDIForm1::MENU0107_Click()
{
    showOnce(m_balanceWindow, m_makeBalance, QStringLiteral("OrarioWindow"));
}

void MDIForm1::MENU0199_Click()
{
    m_services.end->endProgram();
}

void MDIForm1::closeEvent(QCloseEvent *event)
{
    m_mdiArea->closeAllSubWindows();
    const QList<QMdiSubWindow *> left = m_mdiArea->subWindowList();
    if (std::any_of(left.begin(), left.end(), [](QMdiSubWindow *w) { return !w->isHidden(); })) {
        event->ignore(); // a child window refused to close: the program goes on
        return;
    }
    event->accept();
    MDIForm_Unload();
}

void MDIForm1::MDIForm_Unload()
{
    m_archive.close();
    m_services.end->endProgram();
}

void MDIForm1::fillWindowList()
{
    m_windowsMenu->clear();
    const QList<QMdiSubWindow *> windows = m_mdiArea->subWindowList();
    QMdiSubWindow *current = m_mdiArea->currentSubWindow();
    int number = 0;
    for (QMdiSubWindow *window : windows) {
        if (window->isHidden())
            continue;
        ++number;
        const QString title = escapedForMenu(window->windowTitle());
        const QString text = number < 10 ? QStringLiteral("&%1 %2").arg(number).arg(title)
                                         : QStringLiteral("%1 %2").arg(number).arg(title);
        QAction *action = m_windowsMenu->addAction(text);
        action->setCheckable(true);
        action->setChecked(window == current);
        connect(action, &QAction::triggered, this, [this, target = QPointer<QMdiSubWindow>(window)] {
            if (target)
                m_mdiArea->setActiveSubWindow(target);
        });
    }
}

} // namespace zelvaro
