#include "Archive.h"
#include "DailyBackup.h"
#include "DailyCopy.h"
#include "Form2.h"
#include "GestioneCommands.h"
#include "LockFileInstanceGuard.h"
#include "MDIForm1.h"
#include "OrarioAssenzeWindow.h"
#include "QtLinePrinter.h"
#include "QtServices.h"
#include "RiepilogoWindow.h"
#include "SafeNewFile.h"
#include "Startup.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

const char kHelp[] = R"(Uso: zelvaro [--help | --version]

Zelvaro tiene il registro delle ore lavorate. Senza opzioni apre la finestra
del programma; ne può girare una sola copia per utente.

Opzioni:
  -h, --help     mostra questo aiuto ed esce
  --version      mostra la versione ed esce

Dove sono le ore (il primo caso che si presenta):
  1. ZELVARO.INI nella cartella del programma: la sua prima riga è il percorso
     dell'archivio (copia portatile);
  2. ZELVARO_97.mdb nella cartella del programma;
  3. $XDG_CONFIG_HOME/zelvaro/ZELVARO.INI (di solito ~/.config/zelvaro/);
  4. al primo avvio Zelvaro crea l'archivio
     $XDG_DATA_HOME/zelvaro/ZELVARO_97.mdb (di solito ~/.local/share/zelvaro/)
     e il file ZELVARO.INI del punto 3 che lo indica.

Stato di uscita: 0 alla chiusura normale, 1 se l'avvio non riesce (HOME non
impostata, un'altra copia è già aperta, l'archivio non si apre o non si può
creare).
Vedere anche: man zelvaro, zelvaro-archivio --help.
)";

// --help and --version are answered before any window, lock or file: nullptr when the program
// should start. Every other argument is left to Qt, as before.
const char *commandLineAnswer(int argc, char *argv[])
{
    static const std::string version = std::string("zelvaro ") + ZELVARO_VERSION + '\n';
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return kHelp;
        if (std::strcmp(argv[i], "--version") == 0)
            return version.c_str();
    }
    return nullptr;
}

} // namespace

int main(int argc, char *argv[])
{
    if (const char *answer = commandLineAnswer(argc, argv)) {
        std::fputs(answer, stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

    // The menu's export and copy leave no temporary file behind when the program is stopped.
    zelvaro::installTemporaryFileCleanup();
    QApplication app(argc, argv);
    QApplication::setApplicationName(zelvaro::kApplicationTitle);
    QApplication::setApplicationVersion(QStringLiteral(ZELVARO_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(ZELVARO_APP_ID));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/" ZELVARO_APP_ID ".svg")));

    zelvaro::QtMessageBox messages;
    zelvaro::QtBeep beep;
    zelvaro::QtBusyPointer pointer;
    zelvaro::LockFileInstanceGuard instance; // held until the program ends
    zelvaro::QtProgramFolder folder;
    zelvaro::QtProgramEnd end;
    zelvaro::QtClock clock;
    zelvaro::ArchiveEvents events; // the hours window's writes, followed by the summary window
    zelvaro::QtFileDialog files;
    zelvaro::QtProgressService progress;
    // Before the first change of each day, a copy of the archive start-up opens.
    zelvaro::DailyCopy dailyCopy(zelvaro::defaultBackupFolder(), clock);
    const zelvaro::Services services{&messages, &beep,  &pointer,   &clock,   &end,
                                     &events,   &files, &dailyCopy, &progress};
    const zelvaro::StartupServices startup{services, &instance, &folder};
    // Without a printer the list is saved as a PDF beside the archive.
    std::unique_ptr<zelvaro::QtLinePrinter> printer;

    const auto printerFor = [&](const zelvaro::Archive &archive) -> zelvaro::QtLinePrinter & {
        if (!printer)
            printer = std::make_unique<zelvaro::QtLinePrinter>(QFileInfo(archive.path()).absolutePath(),
                                                               [&clock] { return clock.now(); });
        return *printer;
    };

    const zelvaro::StartedProgram program =
        zelvaro::Main(startup, [&](zelvaro::Archive &archive, QWidget *parent) -> QWidget * {
            dailyCopy.setArchive(&archive);
            return new zelvaro::Form2(archive, services, printerFor(archive), parent);
        });
    // QCoreApplication::exit() does nothing before the event loop runs: start-up's end is here.
    if (!program.running())
        return zelvaro::kStartupFailedStatus;
    program.mainWindow->setSummaryWindowFactory([&](QWidget *parent) -> QWidget * {
        return new zelvaro::RiepilogoWindow(*program.archive, services, printerFor(*program.archive), parent);
    });
    program.mainWindow->setBalanceWindowFactory([&](QWidget *parent) -> QWidget * {
        return new zelvaro::OrarioAssenzeWindow(*program.archive, services, parent);
    });
    zelvaro::GestioneCommands gestione(
        *program.archive, services, program.configurationPath,
        zelvaro::programFolderFile(folder.path(), QStringLiteral("zelvaro-archivio")));
    program.mainWindow->setToolCommands({[&] { gestione.esportaCsv(); }, [&] { gestione.copiaDiSicurezza(); },
                                         [&] { gestione.importaAccess(); }});
    return app.exec();
}
