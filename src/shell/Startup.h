#pragma once

#include "PlatformServices.h"

#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace zelvaro {

class Archive;
class MDIForm1;
struct ArchiveError;

inline const QString kConfigurationFileName = QStringLiteral("ZELVARO.INI");
inline const QString kDefaultArchiveFileName = QStringLiteral("ZELVARO_97.mdb");

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
QString archiveOpenFailureText(const ArchiveError &error, const QString &archivePath);

// Start-up: busy pointer, the second-copy refusal, the archive path (default beside the program,
// replaced by the first line of ZELVARO.INI), the archive opening, then the main window (which
// opens Form2 through the factory) shown, and the normal pointer. On a second copy or a failed
// opening it shows the message, asks the program to end and returns without a window.
StartedProgram Main(const StartupServices &services, const HoursWindowFactory &makeForm2);

} // namespace zelvaro
