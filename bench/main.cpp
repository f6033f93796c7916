// zelvaro-bench: measures the program's operations on generated archives of 1,000, 10,000 and
// 100,000 records, each against a floor (the least work that gives the same result) measured in the
// same run, and checks the ratios and the peak memory against the performance budget. Prints one
// line per figure:
//   metric=<name> n=<N> value=<number> unit=<ms|ns|MB|x>
// Exit status 0 when every budgeted figure is within budget, 1 when one is over, 2 on failure.

#include "Archive.h"
#include "BalanceBench.h"
#include "BenchData.h"
#include "CalcolaOre.h"
#include "CsvFile.h"
#include "DailyBackup.h"
#include "FakePrinter.h"
#include "Fakes.h"
#include "Floors.h"
#include "Form2.h"
#include "HoursExport.h"
#include "HoursSummary.h"
#include "LeadingNumber.h"
#include "LockFileInstanceGuard.h"
#include "MDIForm1.h"
#include "Measure.h"
#include "MovementListView.h"
#include "Printout.h"
#include "QtLinePrinter.h"
#include "RiepilogoWindow.h"
#include "SmallCases.h"
#include "Startup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

using namespace zelvaro;
using namespace zelvaro::bench;

namespace {

const char kUsage[] = R"(Uso: zelvaro-bench
     zelvaro-bench --generate N CARTELLA
     zelvaro-bench --startup-only N [CARTELLA]
     zelvaro-bench --export-only ARCHIVIO FILE.csv
     zelvaro-bench --help

Senza argomenti misura le operazioni di Zelvaro su archivi generati di 1.000,
10.000 e 100.000 movimenti, ciascuna accanto al suo pavimento (il minimo lavoro
che dà lo stesso risultato) misurato nella stessa esecuzione, e le confronta con
i limiti: rapporti con i pavimenti per i tempi, megabyte per la memoria.
Stampa una riga per misura (metric=NOME n=N value=NUMERO unit=UNITÀ).
Stato di uscita: 0 entro i limiti, 1 se un limite è superato, 2 se una misura
non riesce.

  --generate N CARTELLA        scrive in CARTELLA un archivio di N movimenti e il
                               suo ZELVARO.INI, per misure a mano
  --startup-only N [CARTELLA]  avvia il programma sull'archivio (generato se la
                               cartella manca) e stampa il picco di memoria in MB
  --export-only ARCHIVIO FILE  esporta l'archivio in FILE come "esporta" e stampa
                               il picco di memoria in MB
)";

double peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

template <typename T> T *child(QWidget &window, const char *name)
{
    T *widget = window.findChild<T *>(QLatin1String(name));
    if (!widget)
        fail(QStringLiteral("controllo mancante: ") + QLatin1String(name));
    return widget;
}

std::unique_ptr<Archive> openArchive(const QString &path,
                                     Archive::OpenMode mode = Archive::OpenMode::ReadWrite)
{
    Outcome error;
    std::unique_ptr<Archive> archive = Archive::open(path, &error, mode);
    if (!archive)
        fail(error.text);
    return archive;
}

// Writes ZELVARO.INI naming the archive of `folder`.
void writeIni(const QString &folder, const QString &archivePath)
{
    QFile ini(QDir(folder).filePath(kConfigurationFileName));
    if (!ini.open(QIODevice::WriteOnly))
        fail(QStringLiteral("ZELVARO.INI"));
    ini.write(archivePath.toUtf8() + "\r\n");
}

// One real start-up over the archive of `folder`; returns when the main window is shown with its
// list filled.
StartedProgram startUp(const QString &folder, test::FakeServices &fakes)
{
    LockFileInstanceGuard guard(QDir(folder).filePath(QStringLiteral("zelvaro-bench.lock")));
    test::FakeProgramFolder programFolder(folder);
    const StartupServices services{fakes.services(), &guard, &programFolder};
    static test::FakePrinter printer;
    StartedProgram program = Main(services, [&](Archive &archive, QWidget *parent) -> QWidget * {
        return new Form2(archive, fakes.services(), printer, parent);
    });
    if (!program.running())
        fail(QStringLiteral("avvio non riuscito: ") + fakes.messages.texts().join(QLatin1Char('|')));
    return program;
}

// "zelvaro-archivio esporta ARCHIVIO FILE.csv" as the tool runs it.
qsizetype exportToFile(Archive &archive, const QString &target)
{
    qsizetype rows = 0;
    if (writeCsvFile(target, [&](CsvWriter &csv) { return writeHoursCsv(archive, csv, &rows); }).failed())
        fail(QStringLiteral("esporta"));
    return rows;
}

// Runs this program with `arguments` in a child process, which prints its own peak resident memory
// in MB. It starts while this process is still small: a child's getrusage peak also counts the pages
// it shared with its parent before exec.
double peakRssOfChild(const QString &self, const QStringList &arguments)
{
    QProcess child;
    child.start(self, arguments);
    if (!child.waitForFinished(300000) || child.exitCode() != 0)
        fail(arguments.first() + QStringLiteral(" non riuscito: ") +
             QString::fromLocal8Bit(child.readAllStandardError()));
    return child.readAllStandardOutput().trimmed().toDouble();
}

int startupOnly(int n, const QString &givenFolder)
{
    QTemporaryDir temp;
    QString folder = givenFolder;
    if (folder.isEmpty()) {
        folder = temp.path();
        bench::generateArchive(QDir(folder).filePath(kDefaultArchiveFileName), n);
        writeIni(folder, QDir(folder).filePath(kDefaultArchiveFileName));
    }
    test::FakeServices fakes;
    StartedProgram program = startUp(folder, fakes);
    QCoreApplication::processEvents();
    std::printf("%.1f\n", peakRssMb());
    return 0;
}

int exportOnly(const QString &archivePath, const QString &target)
{
    exportToFile(*openArchive(archivePath, Archive::OpenMode::ReadOnly), target);
    std::printf("%.1f\n", peakRssMb());
    return 0;
}

// Where the printout and the exports are written, with their floors: a folder in memory
// where there is one, so that the disk's flushes, which other programs' writes can make a hundred
// times longer, do not drown what is compared.
std::unique_ptr<QTemporaryDir> outputFolder()
{
    const QString memory = QStringLiteral("/dev/shm");
    if (QFileInfo(memory).isDir() && QFileInfo(memory).isWritable()) {
        auto folder = std::make_unique<QTemporaryDir>(memory + QStringLiteral("/zelvaro-bench-XXXXXX"));
        if (folder->isValid())
            return folder;
    }
    return std::make_unique<QTemporaryDir>();
}

void measure(const QString &folder, int n, Budget &budget)
{
    const QString path = QDir(folder).filePath(kDefaultArchiveFileName);
    const std::unique_ptr<QTemporaryDir> output = outputFolder();
    const QString written = output->path();
    const auto floorScan = [&] { bench::floorScan(path); };
    {
        std::unique_ptr<Archive> archive = openArchive(path);
        test::FakeServices fakes;
        test::FakePrinter printer;
        Form2 form(*archive, fakes.services(), printer);
        form.show();

        budget.ratio("list_fill", "floor_scan", n, medianPair(floorScan, [&] { form.CARICA_LISTA_MOV(); }),
                     n == 100000 ? 1.5 : 0);

        // The whole summary: the one pass, then the months, the ISO weeks and the years.
        HoursSummary summary;
        budget.ratio("riepilogo", "floor_scan", n,
                     medianPair(floorScan,
                                [&] {
                                    if (summarizeArchive(*archive, &summary).failed() ||
                                        summary.total.records != n)
                                        fail(QStringLiteral("riepilogo"));
                                }),
                     n == 100000 ? 2 : 0);
        if (n == 100000) { // the balance over 30 years of days, against the same run's summary pass
            const auto summarize = [n](Archive &a) {
                HoursSummary s;
                if (summarizeArchive(a, &s).failed() || s.total.records != n)
                    fail(QStringLiteral("riepilogo"));
            };
            budget.ratio("saldo", "riepilogo", n,
                         bench::saldoPaired(path, summarize,
                                            [](const std::function<void()> &f,
                                               const std::function<void()> &s) { return medianPair(f, s); }),
                         2);
        }

        auto *list = child<MovementListView>(form, "List1");
        int row = 0;
        const double select = medianMs([&] {
            // As the user's click does: the line becomes current, then List1_Click runs.
            list->setCurrentIndex(list->model()->index(row, 0));
            emit list->picked(row);
            row = (row + n / 7 + 1) % n;
        });
        printMetric("select", n, select, "ms");

        // Overwrite: the record shown (selected above) is confirmed as it stands, the list reloaded.
        auto *conferma = child<QPushButton>(form, "cmdCONFERMA");
        budget.ratio("confirm_overwrite", "floor_confirm", n,
                     medianPair([&] { bench::floorConfirm(path); }, [&] { conferma->click(); }),
                     n == 10000 ? 2 : 0);

        // Add: "Nuovo" proposes the next number; the confirm adds the row. Delete removes it again.
        auto *nuovo = child<QPushButton>(form, "cmdNUOVO");
        auto *cancella = child<QPushButton>(form, "Command1");
        auto *numero = child<QLineEdit>(form, "txtNUM_MOV");
        printMetric("confirm_add", n, medianMs([&] { conferma->click(); }, [&] { nuovo->click(); }), "ms");
        const double del = medianMs([&] { cancella->click(); },
                                    [&] {
                                        // Show the last record so "Cancella" is enabled on it, then answer
                                        // Yes.
                                        const int last = list->model()->rowCount() - 1;
                                        list->setCurrentIndex(list->model()->index(last, 0));
                                        emit list->picked(last);
                                        fakes.messages.expect(MessageBoxService::Answer::Yes);
                                    });
        printMetric("delete", n, del, "ms");
        if (!fakes.messages.unexpected.isEmpty() || numero->text().isEmpty())
            fail(QStringLiteral("messaggi inattesi: ") + fakes.messages.unexpected.join(QLatin1Char('|')));

        if (n <= 10000) {
            QtLinePrinter pdf(written, [] { return QDateTime(QDate(2004, 3, 5), QTime(9, 0)); });
            const QString printed = QDir(written).filePath(QStringLiteral("elenco.pdf"));
            pdf.setOutputPdf(printed);
            const auto print = [&] {
                const PrintResult result = printHoursList(*archive, pdf);
                if (result.failed())
                    fail(result.text);
            };
            print(); // the layout the floor draws with
            QStringList lines;
            if (hoursListLines(*archive, &lines).failed())
                fail(QStringLiteral("elenco"));
            const PrintLayout layout = pdf.lastLayout();
            const QString floorPdf = QDir(written).filePath(QStringLiteral("pavimento.pdf"));
            budget.ratio(
                "print_pdf", "floor_print", n,
                medianPair([&] { bench::floorPrint(lines, layout.landscape, layout.pointSize, floorPdf); },
                           print),
                n == 10000 ? 1.1 : 0);
        }

        // The copy made before the first change of each day: the user waits for it once a day.
        int day = 0;
        int copy = 0;
        // Beside the archive, on disk: a copy that is flushed there is what the user waits for.
        const QString copies = QDir(folder).filePath(QStringLiteral("copie"));
        budget.ratio("daily_copy", "floor_copy", n,
                     medianPair(
                         [&] {
                             bench::floorCopy(path,
                                              QDir(folder).filePath(QStringLiteral("copia-%1").arg(copy++)));
                         },
                         [&] {
                             if (makeDailyBackup(*archive, copies, QDate(2004, 3, 1).addDays(day++)).failed())
                                 fail(QStringLiteral("copia giornaliera"));
                         }),
                     n == 100000 ? 3 : 0);

        // "Esporta in CSV…" and "zelvaro-archivio esporta": every row computed and written to a file.
        const QString csv = QDir(written).filePath(QStringLiteral("ore.csv"));
        exportToFile(*archive, csv);
        const qint64 bytes = QFileInfo(csv).size();
        const QString floorCsv = QDir(written).filePath(QStringLiteral("pavimento.csv"));
        budget.ratio("export_csv", "floor_export", n,
                     medianPair([&] { bench::floorExport(path, floorCsv, bytes); },
                                [&] { exportToFile(*archive, csv); }),
                     n == 100000 ? 1.5 : 0);
        if (QFileInfo(floorCsv).size() != bytes)
            fail(QStringLiteral("pavimento dell'esportazione: lunghezza diversa"));

        riepilogoWindow(*archive, n, budget);
        if (n == 100000) { // with contract hours, absences and 30 years of balance
            const double open = bench::riepilogoWindowWithBalanceMs(path);
            printMetric("riepilogo_window_open_saldo", n, open, "ms");
            budget.check("riepilogo_window_open_saldo", n, open, 300, "ms");
        }
    }

    budget.ratio("startup", "floor_startup", n,
                 medianPair([&] { bench::floorStartup(path); },
                            [&] {
                                test::FakeServices fakes;
                                StartedProgram program = startUp(folder, fakes);
                                QCoreApplication::processEvents();
                            }),
                 n == 10000 ? 3 : 0);
}

} // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    if (argc >= 4 && std::strcmp(argv[1], "--export-only") == 0) {
        QCoreApplication app(argc, argv); // the export needs no window
        return exportOnly(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 4 && args[1] == QLatin1String("--generate")) {
        const QString path = QDir(args[3]).filePath(kDefaultArchiveFileName);
        bench::generateArchive(path, args[2].toInt());
        writeIni(args[3], path);
        return 0;
    }
    if (args.size() >= 3 && args[1] == QLatin1String("--startup-only"))
        return startupOnly(args[2].toInt(), args.size() >= 4 ? args[3] : QString());
    if (args.size() > 1) {
        std::fprintf(stderr, "zelvaro-bench: argomenti sconosciuti (vedere \"zelvaro-bench --help\")\n");
        return 2;
    }

    Budget budget;
    const QString self = QCoreApplication::applicationFilePath();
    pureArithmetic();

    // The archives first, then the memory of the children while this process is small.
    const int sizes[] = {1000, 10000, 100000};
    std::vector<std::unique_ptr<QTemporaryDir>> folders;
    for (const int n : sizes) {
        folders.push_back(std::make_unique<QTemporaryDir>());
        const QString folder = folders.back()->path();
        const QString path = QDir(folder).filePath(kDefaultArchiveFileName);
        bench::generateArchive(path, n);
        writeIni(folder, path);
    }
    const QString largest = folders.back()->path();
    const double startupRss =
        peakRssOfChild(self, {QStringLiteral("--startup-only"), QString::number(sizes[2]), largest});
    const double exportRss = peakRssOfChild(self, {QStringLiteral("--export-only"),
                                                   QDir(largest).filePath(kDefaultArchiveFileName),
                                                   QDir(largest).filePath(QStringLiteral("memoria.csv"))});

    for (std::size_t i = 0; i < std::size(sizes); ++i)
        measure(folders[i]->path(), sizes[i], budget);

    printMetric("peak_rss", sizes[2], startupRss, "MB");
    budget.check("peak_rss", sizes[2], startupRss, 100, "MB");
    printMetric("peak_rss_export", sizes[2], exportRss, "MB");
    budget.check("peak_rss_export", sizes[2], exportRss, 32, "MB");
    return budget.over ? 1 : 0;
}
