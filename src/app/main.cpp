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
#include "QtSheetPrinter.h"
#include "RiepilogoWindow.h"
#include "SafeNewFile.h"
#include "Startup.h"
#include "Texts.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>

#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] = "Uso: zelvaro [--help | --version] [OPZIONI DI QT]\n";

const char kHelp[] = R"(Uso: zelvaro [--help | --version] [OPZIONI DI QT]

Zelvaro tiene il registro delle ore lavorate. Senza opzioni apre la finestra
del programma; ne può girare una sola copia per utente.

Opzioni:
  -h, --help     mostra questo aiuto ed esce
  --version      mostra la versione e la licenza ed esce
Sono accettate anche le opzioni comuni dei programmi Qt, per esempio
-style NOME, -platform NOME, -reverse (vedere man zelvaro).

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
creare), 2 per un'opzione sconosciuta.
Vedere anche: man zelvaro, zelvaro-archivio --help.
)";

// The exit status for an option the program does not know, as for zelvaro-archivio.
constexpr int kUsageStatus = 2;

// --help and --version are answered before any window, lock or file: empty when the program
// should start.
QByteArray commandLineAnswer(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return kHelp;
        if (std::strcmp(argv[i], "--version") == 0)
            return zelvaro::versionText(QStringLiteral("zelvaro"), QStringLiteral(ZELVARO_VERSION)).toUtf8();
    }
    return {};
}

// What is left once Qt has taken its own options: nothing, or a word the program does not know,
// which it names on the error output with the usage. False when the program must not start.
bool onlyKnownArguments(int argc, char *argv[])
{
    if (argc < 2)
        return true;
    const QString word = QString::fromLocal8Bit(argv[1]);
    const QString text = (word.startsWith(u'-') ? QStringLiteral("zelvaro: opzione sconosciuta ")
                                                : QStringLiteral("zelvaro: argomento inatteso ")) +
                         zelvaro::quoted(word) + u'\n' + QString::fromUtf8(kUsage) +
                         QStringLiteral("«zelvaro --help» descrive le opzioni.\n");
    std::fputs(text.toUtf8().constData(), stderr);
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (const QByteArray answer = commandLineAnswer(argc, argv); !answer.isEmpty()) {
        std::fputs(answer.constData(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

    // The menu's export and copy leave no temporary file behind when the program is stopped.
    zelvaro::installTemporaryFileCleanup();
    QApplication app(argc, argv); // takes Qt's own options (-style, -platform, ...) out of argv
    if (!onlyKnownArguments(argc, argv))
        return kUsageStatus;
    // The program speaks Italian only, Qt's own dialogs and buttons included.
    if (QString translation; !zelvaro::installItalianQtTexts(&translation))
        std::fputs(("zelvaro: traduzione italiana di Qt non trovata (" + QFile::encodeName(translation) +
                    "): i testi propri di Qt restano in inglese; installare il pacchetto "
                    "qt6-translations-l10n\n")
                       .constData(),
                   stderr);
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
    zelvaro::QtRememberedFolders folders; // where each file dialog starts
    // Before the first change of each day, a copy of the archive start-up opens.
    zelvaro::DailyCopy dailyCopy(zelvaro::defaultBackupFolder(), clock);
    const zelvaro::Services services{&messages, &beep,  &pointer,   &clock,    &end,
                                     &events,   &files, &dailyCopy, &progress, &folders};
    const zelvaro::StartupServices startup{services, &instance, &folder};
    // Without a printer a printout is saved as a PDF, in the user's documents folder.
    zelvaro::QtLinePrinter printer(zelvaro::documentsFolder(), [&clock] { return clock.now(); });

    const zelvaro::StartedProgram program =
        zelvaro::Main(startup, [&](zelvaro::Archive &archive, QWidget *parent) -> QWidget * {
            dailyCopy.setArchive(&archive);
            return new zelvaro::Form2(archive, services, printer, parent);
        });
    // QCoreApplication::exit() does nothing before the event loop runs: start-up's end is here.
    if (!program.running())
        return zelvaro::kStartupFailedStatus;
    // A portable copy keeps everything beside its archive, its PDF printouts too.
    // The timesheet to sign shows its preview and print dialog over the main window.
    zelvaro::QtSheetPrinter sheetPrinter(
        zelvaro::documentsFolder(), [&clock] { return clock.now(); }, program.mainWindow.get());
    if (program.portable) {
        printer.setPdfFolder(QFileInfo(program.archivePath).absolutePath());
        sheetPrinter.setPdfFolder(QFileInfo(program.archivePath).absolutePath());
    }
    program.mainWindow->setSummaryWindowFactory([&](QWidget *parent) -> QWidget * {
        return new zelvaro::RiepilogoWindow(*program.archive, services, printer, sheetPrinter, parent);
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
