#pragma once

#include "PlatformServices.h"

namespace zelvaro {

// The real platform services, wrapping Qt. They need a QApplication (the clock, folder and
// program end a QCoreApplication).

// The text a message box shows: every carriage return (alone or before a line feed) becomes a
// line break.
QString messageBoxDisplayText(const QString &text);

// Qt's own texts (the buttons of a question, the file dialogs and their questions, a text box's
// menu, a child window's menu) in Italian whatever the system's language: loads qtbase_it.qm from
// Qt's translations folder into the running application and makes Italian the default locale.
// False when the file is missing or unreadable (Qt's texts then stay English); `path` receives
// the file looked for.
bool installItalianQtTexts(QString *path = nullptr);

// The user's documents folder (QStandardPaths), or the home folder when it does not exist.
QString documentsFolder();

// The folders the file dialogs chose last, kept in an INI file of their own, `settingsPath`
// (by default $XDG_CONFIG_HOME/zelvaro/cartelle.conf; never ZELVARO.INI), made private with its
// folders when first written. A dialog with no folder remembered starts in `documents`.
class QtRememberedFolders : public RememberedFolders
{
public:
    explicit QtRememberedFolders(QString settingsPath = defaultSettingsPath(),
                                 QString documents = documentsFolder());
    static QString defaultSettingsPath();

    QString folderFor(const QString &dialog) const override;
    void remember(const QString &dialog, const QString &chosenPath) override;

private:
    QString m_settingsPath;
    QString m_documents;
};

class QtMessageBox : public MessageBoxService
{
public:
    Answer show(const QString &text, const QString &title, Icon icon, Buttons buttons,
                bool systemModal = false) override;
};

class QtBeep : public BeepService
{
public:
    void beep() override;
};

// Busy is one application-wide override cursor, pushed when the pointer turns busy and popped
// when it turns normal; repeated settings change nothing.
class QtBusyPointer : public BusyPointer
{
public:
    ~QtBusyPointer() override;
    void setBusy(bool busy) override;
    bool isBusy() const { return m_busy; }

private:
    bool m_busy = false;
};

class QtClock : public Clock
{
public:
    QDate today() const override;
    QDateTime now() const override;
};

class QtProgramFolder : public ProgramFolder
{
public:
    QString path() const override;
};

// QFileDialog's own dialogs, over the active window.
class QtFileDialog : public FileDialogService
{
public:
    QString saveFileName(const QString &title, const QString &suggestedPath, const QString &filter,
                         bool askToReplace = true) override;
    QString openFileName(const QString &title, const QString &folder, const QString &filter) override;
};

// QProgressDialog, application-modal, with "Annulla": shown once the work has lasted `showAfterMs`
// (never for shorter work), with the rows done in its text and bar. A step reads the clock and
// nothing more until the next update, a tenth of a second later, so a step per row costs nothing
// worth measuring. While it shows, an arrow pointer stands over the busy one the work has set.
class QtProgressService : public ProgressService
{
public:
    explicit QtProgressService(int showAfterMs = 1000) : m_showAfterMs(showAfterMs) {}
    std::unique_ptr<Progress> begin(const QString &label) override;

private:
    int m_showAfterMs;
};

// Leaves the event loop with the given status; the windows are destroyed as main() returns,
// without running their closing steps.
class QtProgramEnd : public ProgramEnd
{
public:
    void endProgram(int status) override;
};

} // namespace zelvaro
