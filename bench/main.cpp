// zelvaro-bench: measures the program's operations on generated archives of 1,000, 10,000 and
// 100,000 records, each against a floor (the least work that gives the same result) measured in the
// same run, and checks the ratios and the peak memory against the performance budget. Prints one
// line per figure:
//   metric=<name> n=<N> value=<number> unit=<ms|ns|MB|x>
// Exit status 0 when every budgeted figure is within budget, 1 when one is over, 2 on failure.

#include "Archive.h"
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
#include "MovementListView.h"
#include "Printout.h"
#include "QtLinePrinter.h"
#include "RiepilogoWindow.h"
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

constexpr int kRepetitions = 7; // after one warm-up; the median is reported

using SteadyClock = std::chrono::steady_clock;

double elapsedMs(SteadyClock::time_point start)
{
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

double timedMs(const std::function<void()> &run)
{
    const auto start = SteadyClock::now();
    run();
    return elapsedMs(start);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Median of kRepetitions timed runs after one warm-up; `prepare` runs untimed before each run.
double medianMs(const std::function<void()> &run, const std::function<void()> &prepare = {})
{
    std::vector<double> times;
    for (int i = 0; i <= kRepetitions; ++i) {
        if (prepare)
            prepare();
        const double ms = timedMs(run);
        if (i > 0)
            times.push_back(ms);
    }
    return median(times);
}

// An operation and its floor, run by turns so that a load that comes and goes weighs on both.
struct Paired
{
    double floor = 0;   // median, ms
    double subject = 0; // median, ms
    double ratio() const { return subject / floor; }
};

Paired medianPair(const std::function<void()> &floor, const std::function<void()> &subject,
                  const std::function<void()> &prepare = {})
{
    std::vector<double> floors, subjects;
    for (int i = 0; i <= kRepetitions; ++i) {
        if (prepare)
            prepare();
        const double f = timedMs(floor);
        if (prepare)
            prepare();
        const double s = timedMs(subject);
        if (i > 0) {
            floors.push_back(f);
            subjects.push_back(s);
        }
    }
    return {median(floors), median(subjects)};
}

void printMetric(const char *name, int n, double value, const char *unit)
{
    std::printf("metric=%s n=%d value=%.3f unit=%s\n", name, n, value, unit);
    std::fflush(stdout);
}

struct Budget
{
    bool over = false;
    void check(const char *what, int n, double value, double limit, const char *unit)
    {
        if (value > limit) {
            std::fprintf(stderr, "OLTRE IL LIMITE: %s n=%d %.3f %s > %.3f %s\n", what, n, value, unit, limit,
                         unit);
            over = true;
        }
    }
    // Prints the operation, its floor and their ratio; checks the ratio when `limit` > 0.
    void ratio(const char *name, const char *floorName, int n, const Paired &p, double limit = 0)
    {
        printMetric(floorName, n, p.floor, "ms");
        printMetric(name, n, p.subject, "ms");
        const std::string ratioName = std::string(name) + "_vs_floor";
        printMetric(ratioName.c_str(), n, p.ratio(), "x");
        if (limit > 0)
            check(ratioName.c_str(), n, p.ratio(), limit, "x");
    }
};

[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "zelvaro-bench: %s\n", qPrintable(what));
    std::exit(2);
}

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

void pureArithmetic()
{
    const QString inputs[] = {QStringLiteral("8.30"), QStringLiteral("17.45"), QStringLiteral(" 8 . 30"),
                              QStringLiteral("12"),   QStringLiteral("8,30"),  QStringLiteral(""),
                              QStringLiteral("0.00"), QStringLiteral("23.59")};
    constexpr int calls = 2'000'000;
    double sink = 0;
    auto start = SteadyClock::now();
    for (int i = 0; i < calls; ++i)
        sink += leadingNumber(inputs[i & 7]);
    printMetric("leading_number", 0, elapsedMs(start) * 1e6 / calls, "ns");

    BoxTexts boxes;
    WeekAccumulators week;
    const QString days[][6] = {{QStringLiteral("8.30"), QStringLiteral("12.45"), {}, {}, {}, {}},
                               {QStringLiteral("8.45"),
                                QStringLiteral("12.30"),
                                QStringLiteral("14"),
                                QStringLiteral("18.15"),
                                {},
                                {}},
                               {QStringLiteral("8"), QStringLiteral("12"), QStringLiteral("13.30"),
                                QStringLiteral("17.30"), QStringLiteral("20"), QStringLiteral("22.10")},
                               {QStringLiteral("22.00"), QStringLiteral("2.00"), {}, {}, {}, {}}};
    constexpr int days_calls = 1'000'000;
    start = SteadyClock::now();
    for (int i = 0; i < days_calls; ++i) {
        const auto &d = days[i & 3];
        boxes.oraInizio1 = d[0];
        boxes.oraFine1 = d[1];
        boxes.oraInizio2 = d[2];
        boxes.oraFine2 = d[3];
        boxes.oraInizio3 = d[4];
        boxes.oraFine3 = d[5];
        CALCOLA_ORE(boxes, week);
    }
    printMetric("calcola_ore", 0, elapsedMs(start) * 1e6 / days_calls, "ns");
    if (sink == 42 || week.hours == -1)
        std::printf("#\n");
}

// The "Riepilogo ore" window at `n` records: opened (read, laid out and shown) against one summary
// pass, then 12 months chosen one after the other in its tree, the slowest of the 12 reported.
void riepilogoWindow(Archive &archive, int n, Budget &budget)
{
    test::FakeServices fakes;
    test::FakePrinter printer;
    HoursSummary summary;
    const Paired open = medianPair(
        [&] {
            if (summarizeArchive(archive, &summary).failed())
                fail(QStringLiteral("riepilogo"));
        },
        [&] {
            RiepilogoWindow window(archive, fakes.services(), printer);
            window.show();
            QCoreApplication::processEvents();
        });
    budget.ratio("riepilogo_window_open", "floor_riepilogo", n, open, n == 100000 ? 1.5 : 0);

    RiepilogoWindow window(archive, fakes.services(), printer);
    window.show();
    QCoreApplication::processEvents();
    auto *tree = child<QTreeWidget>(window, "tvwPERIODI");
    QList<QTreeWidgetItem *> months; // the latest last
    for (int y = 0; y < tree->topLevelItemCount(); ++y) {
        for (int m = 0; m < tree->topLevelItem(y)->childCount(); ++m)
            months.append(tree->topLevelItem(y)->child(m));
    }
    if (months.size() < 13)
        fail(QStringLiteral("riepilogo: mesi mancanti"));
    std::vector<double> slowest;
    for (int i = 0; i <= kRepetitions; ++i) {
        double worst = 0;
        for (qsizetype m = months.size() - 13; m < months.size(); ++m) // the 12 before the latest, then it
            worst = std::max(worst, timedMs([&] {
                                 tree->setCurrentItem(months.at(m));
                                 QCoreApplication::processEvents();
                             }));
        if (i > 0)
            slowest.push_back(worst);
    }
    // A step has no floor of its own: it is held to a share of one summary pass of the same run.
    const double step = median(slowest);
    printMetric("riepilogo_window_step", n, step, "ms");
    printMetric("riepilogo_window_step_vs_floor", n, step / open.floor, "x");
    if (n == 100000)
        budget.check("riepilogo_window_step_vs_floor", n, step / open.floor, 0.15, "x");
    if (!fakes.messages.unexpected.isEmpty())
        fail(QStringLiteral("messaggi inattesi: ") + fakes.messages.unexpected.join(QLatin1Char('|')));
}

void measure(const QString &folder, int n, Budget &budget)
{
    const QString path = QDir(folder).filePath(kDefaultArchiveFileName);
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
            QtLinePrinter pdf(folder, [] { return QDateTime(QDate(2004, 3, 5), QTime(9, 0)); });
            const QString printed = QDir(folder).filePath(QStringLiteral("elenco.pdf"));
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
            const QString floorPdf = QDir(folder).filePath(QStringLiteral("pavimento.pdf"));
            budget.ratio(
                "print_pdf", "floor_print", n,
                medianPair([&] { bench::floorPrint(lines, layout.landscape, layout.pointSize, floorPdf); },
                           print),
                n == 10000 ? 1.1 : 0);
        }

        // The copy made before the first change of each day: the user waits for it once a day.
        int day = 0;
        int copy = 0;
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
        const QString csv = QDir(folder).filePath(QStringLiteral("ore.csv"));
        exportToFile(*archive, csv);
        const qint64 bytes = QFileInfo(csv).size();
        const QString floorCsv = QDir(folder).filePath(QStringLiteral("pavimento.csv"));
        budget.ratio("export_csv", "floor_export", n,
                     medianPair([&] { bench::floorExport(path, floorCsv, bytes); },
                                [&] { exportToFile(*archive, csv); }),
                     n == 100000 ? 1.5 : 0);
        if (QFileInfo(floorCsv).size() != bytes)
            fail(QStringLiteral("pavimento dell'esportazione: lunghezza diversa"));

        riepilogoWindow(*archive, n, budget);
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
