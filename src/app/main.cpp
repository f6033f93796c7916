#include "Archive.h"
#include "Form2.h"
#include "LockFileInstanceGuard.h"
#include "MDIForm1.h"
#include "QtLinePrinter.h"
#include "QtServices.h"
#include "RiepilogoWindow.h"
#include "Startup.h"

#include <QApplication>
#include <QFileInfo>

#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(zelvaro::kApplicationTitle);

    zelvaro::QtMessageBox messages;
    zelvaro::QtBeep beep;
    zelvaro::QtBusyPointer pointer;
    zelvaro::LockFileInstanceGuard instance; // held until the program ends
    zelvaro::QtProgramFolder folder;
    zelvaro::QtProgramEnd end;
    zelvaro::QtClock clock;
    zelvaro::ArchiveEvents events; // the hours window's writes, followed by the summary window
    zelvaro::QtFileDialog files;
    const zelvaro::Services services{&messages, &beep, &pointer, &clock, &end, &events, &files};
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
            return new zelvaro::Form2(archive, services, printerFor(archive), parent);
        });
    if (!program.running())
        return 0;
    program.mainWindow->setSummaryWindowFactory([&](QWidget *parent) -> QWidget * {
        return new zelvaro::RiepilogoWindow(*program.archive, services, printerFor(*program.archive), parent);
    });
    return app.exec();
}
