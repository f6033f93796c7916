#pragma once

#include "Progress.h"

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <memory>

namespace zelvaro {

// Small platform services that the program's logic calls. The real ones wrap Qt; the tests
// script fakes of them (tests/support).

inline const QString kApplicationTitle = QStringLiteral("ZELVARO");

class MessageBoxService
{
public:
    enum class Icon { None, Stop, Information, Warning };
    enum class Buttons { Ok, YesNo }; // YesNo: Yes is the default
    enum class Answer { Ok, Yes, No };
    virtual ~MessageBoxService() = default;
    // Modal; each '\r' of the text is shown as a line break. An empty title means the
    // application title. systemModal keeps the box above the windows of all programs.
    virtual Answer show(const QString &text, const QString &title, Icon icon, Buttons buttons,
                        bool systemModal = false) = 0;
};

class BeepService
{
public:
    virtual ~BeepService() = default;
    virtual void beep() = 0;
};

// The application-wide mouse pointer: a setting, not a stack.
class BusyPointer
{
public:
    virtual ~BusyPointer() = default;
    virtual void setBusy(bool busy) = 0;
};

class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
    virtual QDateTime now() const = 0;
};

// True when another copy of the program is already running; the copy that asks keeps the
// claim until it ends.
class InstanceGuard
{
public:
    virtual ~InstanceGuard() = default;
    virtual bool anotherCopyRunning() = 0;
};

class ProgramFolder
{
public:
    virtual ~ProgramFolder() = default;
    // The folder of the executable, without a trailing separator.
    virtual QString path() const = 0;
};

// Ends the program at once: no window runs its unload step. The caller returns right after.
// `status` is the exit status: 0 when the user ends the program, non-zero after a message that
// ends it because it cannot go on.
class ProgramEnd
{
public:
    virtual ~ProgramEnd() = default;
    virtual void endProgram(int status = 0) = 0;
};

// The system's dialogs for choosing a file. Each returns the path chosen, or the empty text when the
// user cancels. `filter` is in Qt's form ("File CSV (*.csv)").
class FileDialogService
{
public:
    virtual ~FileDialogService() = default;
    // A file to write, starting from `suggestedPath`. It asks before replacing an existing file;
    // with askToReplace false it does not, for a caller that never replaces one and says so itself.
    virtual QString saveFileName(const QString &title, const QString &suggestedPath, const QString &filter,
                                 bool askToReplace = true) = 0;
    // An existing file to read, starting in `folder`.
    virtual QString openFileName(const QString &title, const QString &folder, const QString &filter) = 0;
};

// Where the file dialogs of the commands start, per user: the folder each dialog chose last, or
// the user's documents folder. `dialog` names one dialog ("esporta-csv").
class RememberedFolders
{
public:
    virtual ~RememberedFolders() = default;
    // The folder `dialog` chose last when it still exists, else the documents folder (the home
    // folder when there is none).
    virtual QString folderFor(const QString &dialog) const = 0;
    // Remembers the folder of `chosenPath`, a file the user chose in `dialog`, for its next time.
    virtual void remember(const QString &dialog, const QString &chosenPath) = 0;
};

// Runs just before a window changes the archive ("Conferma", "Cancella") and shows nothing: what
// the user must learn of it comes back as sentences, or the empty text, which the window tells in
// the one message that says what became of the change.
class ArchiveWriteHook
{
public:
    virtual ~ArchiveWriteHook() = default;
    virtual QString beforeWrite() = 0;
};

// Tells the windows that follow the archive that another window has just changed it.
class ArchiveEvents : public QObject
{
    Q_OBJECT
signals:
    void changed();
};

// A window on a long piece of work (a printout, an export, an import): the count done and a
// button to cancel it, shown only once the work has lasted about a second.
class ProgressService
{
public:
    virtual ~ProgressService() = default;
    // One piece of work, described by `label`; the window closes when the progress is destroyed.
    virtual std::unique_ptr<Progress> begin(const QString &label) = 0;
};

// The services the windows need, handed in through constructors.
struct Services
{
    MessageBoxService *messages = nullptr;
    BeepService *beep = nullptr;
    BusyPointer *pointer = nullptr;
    Clock *clock = nullptr;
    ProgramEnd *end = nullptr;
    ArchiveEvents *events = nullptr;         // may be null: nothing follows the archive
    FileDialogService *files = nullptr;      // may be null for windows that choose no file
    ArchiveWriteHook *beforeWrite = nullptr; // may be null: nothing runs before a change
    ProgressService *progress = nullptr;     // may be null: long work shows no progress and runs to its end
    RememberedFolders *folders = nullptr;    // needed with `files`: where each file dialog starts
};

// A progress for one piece of work, or null when the services have none.
inline std::unique_ptr<Progress> beginProgress(const Services &services, const QString &label)
{
    return services.progress ? services.progress->begin(label) : nullptr;
}

} // namespace zelvaro
