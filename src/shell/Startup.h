#pragma once

#include "PlatformServices.h"

#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace zelvaro {

class Archive;
class MDIForm1;
struct Outcome;

inline const QString kConfigurationFileName = QStringLiteral("ZELVARO.INI");
inline const QString kDefaultArchiveFileName = QStringLiteral("ZELVARO_97.mdb");
// The exit status of a program that start-up ended after a message.
inline constexpr int kStartupFailedStatus = 1;

// Everything start-up asks of the platform: the windows' services and two of its own.
struct StartupServices
{
    Services windows;
    InstanceGuard *instance = nullptr;
    ProgramFolder *folder = nullptr;
};

// Makes the hours entry window Form2 on the open archive, for the given parent.
using HoursWindowFactory = std::function<QWidget *(Archive &archive, QWidget *parent)>;

// What start-up leaves behind. When the program ended during start-up, mainWindow is null
// (and archive too, unless it was the window that failed).
struct StartedProgram
{
    QString archivePath; // empty when start-up stopped before deciding it
    // The ZELVARO.INI that decides the archive, the one to change to use another: the program
    // folder's in the portable layout (even when it is missing), else the per-user one.
    QString configurationPath;
    // The portable layout: the program folder holds ZELVARO.INI or the archive, and keeps the data.
    bool portable = false;
    std::unique_ptr<Archive> archive;
    std::unique_ptr<MDIForm1> mainWindow; // declared after archive: destroyed before it

    StartedProgram();
    StartedProgram(StartedProgram &&) noexcept;
    StartedProgram &operator=(StartedProgram &&) noexcept;
    ~StartedProgram();

    bool running() const { return mainWindow != nullptr; }
};

// `name` in the program folder, joined with the platform's separator (never doubled).
QString programFolderFile(const QString &folder, const QString &name);

// The message of a failed archive opening: "ERRORE IN APERTURA DATABASE !!!", two carriage
// returns, the signed error number, " - ", the error text, two carriage returns, the path.
QString archiveOpenFailureText(const Outcome &error, const QString &archivePath);

// Start-up: busy pointer, the refusal without HOME (nothing is made, not even the lock), the
// second-copy refusal, the removal of what a killed program left while writing a daily copy or an
// import in the per-user folders (see removeLeftoverTemporaries), the archive path, the archive
// opening, then the main window (which opens Form2 through the factory) shown, and the normal
// pointer.
// The archive path comes from the first of:
//  1. ZELVARO.INI in the program folder (its first line; when it holds none, "asssente" and the
//     default beside the program);
//  2. ZELVARO_97.mdb in the program folder, with the "asssente" message;
//  3. the per-user ZELVARO.INI, $XDG_CONFIG_HOME/zelvaro/ZELVARO.INI, read by the same rules (the
//     default is then the per-user archive);
//  4. first start: the per-user archive $XDG_DATA_HOME/zelvaro/ZELVARO_97.mdb is created (or an
//     existing one taken), the per-user ZELVARO.INI written to name it, and an information box
//     shows where it is. An installed program, whose folder its user cannot write, lives here.
// Without HOME, on a second copy, an INI line longer than any path, a failed first start or a failed opening
// it shows the message, ends the program with kStartupFailedStatus and returns without a window.
StartedProgram Main(const StartupServices &services, const HoursWindowFactory &makeForm2);

} // namespace zelvaro
