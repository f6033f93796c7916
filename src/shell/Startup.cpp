#include "Startup.h"

#include "Archive.h"
#include "ArchiveFailure.h"
#include "ConfigurationFile.h"
#include "DailyBackup.h"
#include "ErrorReport.h"
#include "LeftoverFiles.h"
#include "MDIForm1.h"
#include "PrivateFiles.h"
#include "Texts.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <sqlite3.h>

#include <optional>
#include <system_error>

namespace zelvaro {

namespace {

using Icon = MessageBoxService::Icon;
using Buttons = MessageBoxService::Buttons;

const QString kUserFolderName = QStringLiteral("zelvaro");

// How much of an overlong INI line a message quotes.
constexpr qsizetype kQuotedLineCharacters = 80;

// `name` in the program's own subfolder of a per-user location (~/.config, ~/.local/share).
QString userFile(QStandardPaths::StandardLocation location, const QString &name)
{
    return QStandardPaths::writableLocation(location) + QLatin1Char('/') + kUserFolderName +
           QLatin1Char('/') + name;
}

QString userConfigurationFile()
{
    return userFile(QStandardPaths::GenericConfigLocation, kConfigurationFileName);
}

QString userDefaultArchiveFile()
{
    return userFile(QStandardPaths::GenericDataLocation, kDefaultArchiveFileName);
}

// Empty when HOME names a folder from the root; else why the per-user folders cannot be found (Qt
// would put them under "/", as "//.local/share").
QString homeProblem()
{
    const QString home = qEnvironmentVariable("HOME");
    if (home.startsWith(QLatin1Char('/')))
        return {};
    return (home.isEmpty() ? QStringLiteral("La variabile d'ambiente HOME non è impostata")
                           : QStringLiteral("La variabile d'ambiente HOME vale ") + quoted(home) +
                                 QStringLiteral(", che non è il percorso di una cartella")) +
           QStringLiteral(": Zelvaro non sa dove tenere l'archivio, le impostazioni e le copie "
                          "dell'utente.\r\rIl programma termina.");
}

// A message after which start-up cannot go on: beep, stop icon, then the program ends.
void endStartup(const StartupServices &services, const QString &text)
{
    services.windows.beep->beep();
    services.windows.messages->show(text, QString(), Icon::Stop, Buttons::Ok);
    services.windows.end->endProgram(kStartupFailedStatus);
}

// The archive path written in `iniPath`, or `fallback` after the "asssente" message when the file
// holds no line. nullopt when the line is too long to be a path: start-up has then ended.
std::optional<QString> archivePathFromIni(const StartupServices &services, const QString &iniPath,
                                          const QString &fallback)
{
    const ConfigurationLine line = readConfigurationLine(iniPath);
    if (line.status == FirstLine::Status::Read)
        return line.text;
    if (line.status == FirstLine::Status::Missing) {
        services.windows.beep->beep();
        services.windows.messages->show(QStringLiteral("File di configurazione  ZELVARO.INI  asssente !!!"),
                                        QString(), Icon::None, Buttons::Ok);
        return fallback;
    }
    const Outcome error = archiveFailure(
        SQLITE_CANTOPEN,
        QStringLiteral("Il percorso dell'archivio è più lungo di ") + QString::number(kMaxArchivePathBytes) +
            QStringLiteral(" byte: non può essere valido (prima riga di ") + iniPath + QLatin1Char(')'));
    endStartup(services, archiveOpenFailureText(error, line.text.left(kQuotedLineCharacters) + u'…'));
    return std::nullopt;
}

// The cause of a failed folder creation, in Italian.
QString folderFailureCause(const std::error_code &code)
{
    if (code == std::errc::not_a_directory || code == std::errc::file_exists)
        return QStringLiteral("una parte del percorso è un file, non una cartella");
    return systemErrorText(code.value());
}

// Empty when `folder` exists or was made (with its missing parents, private), else the cause.
QString makeFolder(const QString &folder)
{
    const int error = makePrivateFolders(folder);
    return error ? folderFailureCause(std::error_code(error, std::generic_category())) : QString();
}

QString firstStartFailureText(const QString &what, const QString &path, const QString &cause)
{
    return QStringLiteral("Primo avvio: impossibile ") + what + QStringLiteral("\r\r") + path +
           QStringLiteral("\r\r") + cause + QStringLiteral("\r\rIl programma termina.");
}

// First start of an installed program: the per-user archive (kept when already there) and the
// per-user INI that names it. False when something could not be made: start-up has then ended.
bool prepareUserArchive(const StartupServices &services, const QString &archivePath, const QString &iniPath)
{
    const QString dataFolder = QFileInfo(archivePath).path();
    if (const QString cause = makeFolder(dataFolder); !cause.isEmpty()) {
        endStartup(services,
                   firstStartFailureText(QStringLiteral("creare la cartella dei dati"), dataFolder, cause));
        return false;
    }
    const bool existed = QFileInfo::exists(archivePath);
    if (!existed) {
        if (const Outcome error = Archive::create(archivePath)) {
            endStartup(services, firstStartFailureText(QStringLiteral("creare l'archivio delle ore"),
                                                       archivePath, error.text));
            return false;
        }
    }
    const QString configFolder = QFileInfo(iniPath).path();
    QString cause = makeFolder(configFolder);
    if (cause.isEmpty()) {
        QSaveFile ini(iniPath);
        const QByteArray line = QFile::encodeName(archivePath) + '\n';
        if (!ini.open(QIODevice::WriteOnly) || !makePrivate(ini.handle()) || ini.write(line) != line.size() ||
            !ini.commit())
            cause = QStringLiteral("impossibile scrivere il file (") + italianSystemText(ini.errorString()) +
                    QLatin1Char(')');
    }
    if (!cause.isEmpty()) {
        endStartup(services, firstStartFailureText(QStringLiteral("scrivere il file di configurazione"),
                                                   iniPath, cause));
        return false;
    }
    services.windows.messages->show(
        (existed ? QStringLiteral("Primo avvio di Zelvaro: viene usato l'archivio delle ore già presente\r\r")
                 : QStringLiteral("Primo avvio di Zelvaro: è stato creato l'archivio delle ore\r\r")) +
            archivePath + QStringLiteral("\r\rIl file di configurazione ") + iniPath +
            QStringLiteral(" indica questo archivio."),
        QString(), Icon::Information, Buttons::Ok);
    return true;
}

} // namespace

StartedProgram::StartedProgram() = default;
StartedProgram::StartedProgram(StartedProgram &&) noexcept = default;
StartedProgram &StartedProgram::operator=(StartedProgram &&) noexcept = default;
StartedProgram::~StartedProgram() = default;

QString programFolderFile(const QString &folder, const QString &name)
{
    const QChar separator = QDir::separator();
    if (folder.endsWith(separator) || folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + separator + name;
}

QString archiveOpenFailureText(const Outcome &error, const QString &archivePath)
{
    return QStringLiteral("ERRORE IN APERTURA DATABASE !!!\r\r") + signedNumberText(error.code) +
           QStringLiteral(" - ") + error.text + QStringLiteral("\r\r") + archivePath;
}

StartedProgram Main(const StartupServices &services, const HoursWindowFactory &makeForm2)
{
    StartedProgram program;
    services.windows.pointer->setBusy(true);

    if (const QString problem = homeProblem(); !problem.isEmpty()) {
        endStartup(services, problem);
        return program;
    }
    if (services.instance->anotherCopyRunning()) {
        services.windows.messages->show(QStringLiteral("Applicazione già in uso !"),
                                        QStringLiteral("ERRORE GENERALE"), Icon::Stop, Buttons::Ok, true);
        services.windows.end->endProgram(kStartupFailedStatus);
        return program;
    }

    // What a program killed while it wrote a daily copy or an import left in the per-user folders.
    const QDateTime now = services.windows.clock->now();
    removeLeftoverTemporaries(QFileInfo(userDefaultArchiveFile()).path(), now);
    removeDailyCopyLeftovers(defaultBackupFolder(), now);

    // A program folder that holds the INI or the default archive is a portable copy: it keeps its
    // data beside it. Otherwise the data lives in the user's own folders.
    const QString folder = services.folder->path();
    const QString programIni = programFolderFile(folder, kConfigurationFileName);
    const QString besideProgram = programFolderFile(folder, kDefaultArchiveFileName);
    const QString userIni = userConfigurationFile();
    std::optional<QString> path;
    if (QFileInfo::exists(programIni) || QFileInfo::exists(besideProgram)) {
        program.portable = true;
        program.configurationPath = programIni;
        path = archivePathFromIni(services, programIni, besideProgram);
    } else if (QFileInfo::exists(userIni)) {
        program.configurationPath = userIni;
        path = archivePathFromIni(services, userIni, userDefaultArchiveFile());
    } else {
        program.configurationPath = userIni;
        path = userDefaultArchiveFile();
        program.archivePath = *path;
        if (!prepareUserArchive(services, *path, userIni))
            return program;
    }
    if (!path)
        return program;
    program.archivePath = *path;

    // APRE_DATABASE
    Outcome error;
    program.archive = Archive::open(program.archivePath, &error);
    if (!program.archive) {
        endStartup(services, archiveOpenFailureText(error, program.archivePath));
        return program;
    }

    Archive &archive = *program.archive;
    program.mainWindow = std::make_unique<MDIForm1>(
        archive, services.windows, [&archive, makeForm2](QWidget *parent) -> QWidget * {
            return makeForm2 ? makeForm2(archive, parent) : nullptr;
        });
    program.mainWindow->show();
    services.windows.pointer->setBusy(false);
    return program;
}

} // namespace zelvaro
