#include "Archive.h"
#include "Form2.h"
#include "LockFileInstanceGuard.h"
#include "QtLinePrinter.h"
#include "QtServices.h"
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
    const zelvaro::Services services{&messages, &beep, &pointer, &clock, &end};
    const zelvaro::StartupServices startup{services, &instance, &folder};
    // Without a printer the list is saved as a PDF beside the archive.
    std::unique_ptr<zelvaro::QtLinePrinter> printer;

    const zelvaro::StartedProgram program =
        zelvaro::Main(startup, [&](zelvaro::Archive &archive, QWidget *parent) -> QWidget * {
            if (!printer)
                printer = std::make_unique<zelvaro::QtLinePrinter>(QFileInfo(archive.path()).absolutePath(),
                                                                   [&clock] { return clock.now(); });
            return new zelvaro::Form2(archive, services, *printer, parent);
        });
    if (!program.running())
        return 0;
    return app.exec();
}
