#include "GestioneCommands.h"

#include "Archive.h"
#include "ArchiveFailure.h"
#include "ConfigurationFile.h"
#include "CsvFile.h"
#include "HoursExport.h"
#include "Texts.h"
#include "ToolTexts.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <csignal>
#include <sys/prctl.h>

namespace zelvaro {

namespace {

using Icon = MessageBoxService::Icon;
using Buttons = MessageBoxService::Buttons;

const QString kToolPrefix = QStringLiteral("zelvaro-archivio: ");
// How often the running import is looked at (and the progress asked) while it says nothing, in ms.
constexpr int kPollMs = 50;
// How long a cancelled import has to remove its files after SIGTERM before it is killed, in ms.
constexpr int kStopMs = 10000;

QString joinedLines(const QStringList &lines)
{
    return lines.join(QLatin1Char('\r'));
}

} // namespace

GestioneCommands::GestioneCommands(Archive &archive, const Services &services, QString configurationPath,
                                   QString toolPath)
    : m_archive(archive), m_services(services), m_configurationPath(std::move(configurationPath)),
      m_toolPath(std::move(toolPath))
{
    Q_ASSERT(m_services.messages && m_services.pointer && m_services.files && m_services.folders &&
             m_services.clock);
}

QString GestioneCommands::proposedPath(const QString &dialog, const QString &name) const
{
    return QDir(m_services.folders->folderFor(dialog)).filePath(name);
}

QString GestioneCommands::chosen(const QString &dialog, const QString &path)
{
    if (!path.isEmpty())
        m_services.folders->remember(dialog, path);
    return path;
}

void GestioneCommands::show(const QString &text, Icon icon)
{
    m_services.messages->show(text, QString(), icon, Buttons::Ok);
}

void GestioneCommands::esportaCsv()
{
    const QString dialog = QStringLiteral("esporta-csv");
    const QString target =
        chosen(dialog, m_services.files->saveFileName(QStringLiteral("Esporta le ore in CSV"),
                                                      proposedPath(dialog, QStringLiteral("ZELVARO_ore.csv")),
                                                      QStringLiteral("File CSV (*.csv)")));
    if (target.isEmpty())
        return;
    if (const Outcome refusal = csvTargetRefusal(target)) {
        show(refusal.text, Icon::Warning);
        return;
    }
    m_services.pointer->setBusy(true);
    qsizetype rows = 0;
    Outcome error;
    Outcome written;
    {
        const std::unique_ptr<Progress> progress =
            beginProgress(m_services, QStringLiteral("Esportazione delle ore in CSV in corso…"));
        written = writeCsvFile(target, [&](CsvWriter &csv) {
            return error = writeHoursCsv(m_archive, csv, &rows, progress.get());
        });
    }
    m_services.pointer->setBusy(false);
    if (error.cancelled())
        return;
    if (error.failed())
        show(upperFirst(readFailureText(m_archive.path(), error)), Icon::Warning);
    else if (written.failed())
        show(written.text, Icon::Warning);
    else
        show(exportDoneText(rows, target), Icon::Information);
}

void GestioneCommands::copiaDiSicurezza()
{
    const QString name = QFileInfo(m_archive.path()).completeBaseName() + QStringLiteral("-copia-") +
                         m_services.clock->today().toString(QStringLiteral("yyyyMMdd")) +
                         QStringLiteral(".mdb");
    // The copy never replaces a file: the dialog must not offer to.
    const QString dialog = QStringLiteral("copia-di-sicurezza");
    const QString destination =
        chosen(dialog, m_services.files->saveFileName(QStringLiteral("Copia di sicurezza dell'archivio"),
                                                      proposedPath(dialog, name),
                                                      QStringLiteral("Archivi di Zelvaro (*.mdb)"), false));
    if (destination.isEmpty())
        return;
    m_services.pointer->setBusy(true);
    QElapsedTimer timer;
    timer.start();
    const Outcome error = m_archive.backupTo(destination);
    const qint64 elapsed = timer.elapsed();
    m_services.pointer->setBusy(false);
    if (error.failed())
        show(upperFirst(backupFailureText(error.text)), Icon::Warning);
    else
        show(backupDoneText(m_archive.path(), destination, elapsed), Icon::Information);
}

void GestioneCommands::importaAccess()
{
    const QString sourceDialog = QStringLiteral("importa-access");
    const QString source = chosen(
        sourceDialog,
        m_services.files->openFileName(QStringLiteral("Importa archivio Access: il vecchio archivio"),
                                       m_services.folders->folderFor(sourceDialog),
                                       QStringLiteral("Archivi Access (*.mdb *.accdb);;Tutti i file (*)")));
    if (source.isEmpty())
        return;
    const QString newDialog = QStringLiteral("importa-nuovo-archivio");
    const QString newArchive = chosen(
        newDialog,
        m_services.files->saveFileName(
            QStringLiteral("Importa archivio Access: il nuovo archivio delle ore"),
            proposedPath(newDialog, QFileInfo(source).completeBaseName() + QStringLiteral("_importato.mdb")),
            QStringLiteral("Archivi di Zelvaro (*.mdb)"), false));
    if (newArchive.isEmpty())
        return;
    // The INI needs a full path; the tool is given the same one.
    const QString destination = QFileInfo(newArchive).absoluteFilePath();

    m_services.pointer->setBusy(true);
    const ToolRun run = runImport(source, destination);
    m_services.pointer->setBusy(false);
    if (run.cancelled)
        return;
    if (!run.succeeded) {
        show(joinedLines(run.messages), Icon::Warning);
        return;
    }
    const QString question =
        joinedLines(run.output + run.messages) + QStringLiteral("\r\rUsare il nuovo archivio ") +
        quoted(destination) +
        QStringLiteral(" dal prossimo avvio di Zelvaro, al posto dell'archivio attuale ") +
        quoted(m_archive.path()) +
        QStringLiteral(
            "?\r\rI giorni dell'archivio attuale restano nel suo file, ma non saranno più mostrati "
            "quando Zelvaro userà il nuovo archivio. Anche i giorni registrati da ora fino al "
            "riavvio vanno nell'archivio attuale.");
    if (m_services.messages->show(question, QString(), Icon::None, Buttons::YesNo) ==
        MessageBoxService::Answer::Yes)
        useFromNextStart(destination);
}

GestioneCommands::ToolRun GestioneCommands::runImport(const QString &source, const QString &destination)
{
    ToolRun run;
    const bool existed = QFileInfo(destination).exists() || QFileInfo(destination).isSymLink();
    QProcess tool;
    tool.setProgram(m_toolPath);
    tool.setArguments({QStringLiteral("importa"), QStringLiteral("--avanzamento"), source, destination});
    // Should this program end meanwhile, the tool is stopped as by "Annulla" and cleans up.
    tool.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    tool.start(QIODevice::ReadOnly);
    if (!tool.waitForStarted()) {
        run.messages << QStringLiteral("Impossibile avviare ") + quoted(m_toolPath) + QStringLiteral(" (") +
                            italianSystemText(tool.errorString()) +
                            QStringLiteral(
                                "): l'importazione si fa con zelvaro-archivio, che sta nella cartella "
                                "del programma");
        return run;
    }

    const std::unique_ptr<Progress> progress =
        beginProgress(m_services, QStringLiteral("Importazione dell'archivio Access in corso…"));
    static const QRegularExpression progressLine(QStringLiteral("^Righe lette: (\\d+) di (\\d+)$"));
    qint64 done = 0, total = 0;
    QByteArray pending;
    for (;;) {
        tool.waitForReadyRead(kPollMs); // new output, the end of the tool, or a pause
        pending += tool.readAllStandardOutput();
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
            const QString line = QString::fromUtf8(pending.left(end));
            const QRegularExpressionMatch match = progressLine.match(line);
            if (match.hasMatch()) {
                done = match.captured(1).toLongLong();
                total = match.captured(2).toLongLong();
            } else if (!line.isEmpty()) {
                run.output << line;
            }
        }
        if (tool.state() == QProcess::NotRunning)
            break;
        if (!goOn(progress.get(), done, total)) {
            // The tool removes its hidden file on SIGTERM (and kills its reader first).
            tool.terminate();
            if (!tool.waitForFinished(kStopMs)) {
                tool.kill();
                tool.waitForFinished();
            }
            // Done just before the signal: what it made goes too, as the user asked.
            if (!existed && QFileInfo(destination).exists())
                QFile::remove(destination);
            run.cancelled = true;
            return run;
        }
    }
    for (const QString &line : QString::fromUtf8(tool.readAllStandardError()).split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty())
            run.messages << upperFirst(line.startsWith(kToolPrefix) ? line.mid(kToolPrefix.size()) : line);
    }
    run.succeeded = tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    if (!run.succeeded && run.messages.isEmpty())
        run.messages << quoted(m_toolPath) + QStringLiteral(" si è interrotto (") +
                            (tool.exitStatus() == QProcess::CrashExit
                                 ? QStringLiteral("terminato da un segnale")
                                 : QStringLiteral("stato ") + QString::number(tool.exitCode())) +
                            QStringLiteral("): importazione non eseguita");
    return run;
}

void GestioneCommands::useFromNextStart(const QString &newArchive)
{
    if (const Outcome rewritten = replaceConfigurationLine(m_configurationPath, newArchive))
        show(QStringLiteral("Il nuovo archivio ") + quoted(newArchive) +
                 QStringLiteral(" non sarà usato al prossimo avvio: ") + rewritten.text,
             Icon::Warning);
    else
        show(QStringLiteral("Il file di configurazione ") + quoted(m_configurationPath) +
                 QStringLiteral(" ora indica ") + quoted(newArchive) +
                 QStringLiteral(": Zelvaro lo userà dal prossimo avvio."),
             Icon::Information);
}

} // namespace zelvaro
