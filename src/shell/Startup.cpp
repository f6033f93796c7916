#include "Startup.h"

#include "Archive.h"
#include "ConfigurationFile.h"
#include "ErrorReport.h"
#include "MDIForm1.h"

#include <QDir>

namespace zelvaro {

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

QString archiveOpenFailureText(const ArchiveError &error, const QString &archivePath)
{
    return QStringLiteral("ERRORE IN APERTURA DATABASE !!!\r\r") + signedNumberText(error.code) +
           QStringLiteral(" - ") + error.text + QStringLiteral("\r\r") + archivePath;
}

StartedProgram Main(const StartupServices &services, const HoursWindowFactory &makeForm2)
{
    StartedProgram program;
    services.windows.pointer->setBusy(true);

    if (services.instance->anotherCopyRunning()) {
        services.windows.messages->show(QStringLiteral("Applicazione già in uso !"),
                                        QStringLiteral("ERRORE GENERALE"), MessageBoxService::Icon::Stop,
                                        MessageBoxService::Buttons::Ok, true);
        services.windows.end->endProgram();
        return program;
    }

    const QString folder = services.folder->path();
    program.archivePath = programFolderFile(folder, kDefaultArchiveFileName);
    if (const std::optional<QString> line =
            readConfigurationLine(programFolderFile(folder, kConfigurationFileName))) {
        program.archivePath = *line;
    } else {
        // The default path beside the program stays in force.
        services.windows.beep->beep();
        services.windows.messages->show(QStringLiteral("File di configurazione  ZELVARO.INI  asssente !!!"),
                                        QString(), MessageBoxService::Icon::None,
                                        MessageBoxService::Buttons::Ok);
    }

    // APRE_DATABASE
    ArchiveError error;
    program.archive = Archive::open(program.archivePath, &error);
    if (!program.archive) {
        services.windows.beep->beep();
        services.windows.messages->show(archiveOpenFailureText(error, program.archivePath), QString(),
                                        MessageBoxService::Icon::Stop, MessageBoxService::Buttons::Ok);
        services.windows.end->endProgram();
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
