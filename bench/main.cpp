// zelvaro-bench: measures the program's operations on generated archives of 1,000, 10,000 and
// 100,000 records and checks them against the performance budget. Prints one line per figure:
//   metric=<name> n=<N> value=<number> unit=<ms|ns|MB>
// Exit status 0 when every budgeted figure is within budget, 1 when one is over, 2 on failure.

#include "Archive.h"
#include "BalanceBench.h"
#include "BenchData.h"
#include "CalcolaOre.h"
#include "DailyBackup.h"
#include "FakePrinter.h"
#include "Fakes.h"
#include "Form2.h"
#include "HoursExport.h"
#include "HoursSummary.h"
#include "LeadingNumber.h"
#include "LockFileInstanceGuard.h"
#include "MDIForm1.h"
#include "MovementListView.h"
#include "Printout.h"
#include "QtLinePrinter.h"
#include "Startup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace zelvaro;

namespace {

constexpr int kRepetitions = 7; // after one warm-up; the median is reported

using SteadyClock = std::chrono::steady_clock;

double elapsedMs(SteadyClock::time_point start)
{
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

// Median of kRepetitions timed runs after one warm-up; `prepare` runs untimed before each run.
double medianMs(const std::function<void()> &run, const std::function<void()> &prepare = {})
{
    std::vector<double> times;
    for (int i = 0; i <= kRepetitions; ++i) {
        if (prepare)
            prepare();
        const auto start = SteadyClock::now();
        run();
        const double ms = elapsedMs(start);
        if (i > 0)
            times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
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
};

[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "zelvaro-bench: %s\n", qPrintable(what));
    std::exit(2);
}

// The physical floor of a list fill: the list query stepped through, every column read as text.
void floorScan(const QString &path)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        fail(QStringLiteral("apertura per la scansione"));
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, kListQuery, -1, &st, nullptr);
    std::size_t bytes = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < 11; ++c) {
            const unsigned char *text = sqlite3_column_text(st, c);
            bytes += text ? std::size_t(sqlite3_column_bytes(st, c)) + text[0] : 0;
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (bytes == 0)
        fail(QStringLiteral("scansione vuota"));
}

template <typename T> T *child(QWidget &window, const char *name)
{
    T *widget = window.findChild<T *>(QLatin1String(name));
    if (!widget)
        fail(QStringLiteral("controllo mancante: ") + QLatin1String(name));
    return widget;
}

std::unique_ptr<Archive> openArchive(const QString &path)
{
    Outcome error;
    std::unique_ptr<Archive> archive = Archive::open(path, &error);
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

double peakRssOfStartupOnly(const QString &self, const QString &folder, int n)
{
    QProcess child;
    child.start(self, {QStringLiteral("--startup-only"), QString::number(n), folder});
    if (!child.waitForFinished(120000) || child.exitCode() != 0)
        fail(QStringLiteral("--startup-only non riuscito: ") +
             QString::fromLocal8Bit(child.readAllStandardError()));
    // The child prints its own peak resident memory in MB.
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
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.1f\n", double(usage.ru_maxrss) / 1024.0);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 4 && args[1] == QLatin1String("--generate")) { // for profiling by hand
        const QString path = QDir(args[3]).filePath(kDefaultArchiveFileName);
        bench::generateArchive(path, args[2].toInt());
        writeIni(args[3], path);
        return 0;
    }
    if (args.size() >= 3 && args[1] == QLatin1String("--startup-only"))
        return startupOnly(args[2].toInt(), args.size() >= 4 ? args[3] : QString());

    Budget budget;
    const QString self = QCoreApplication::applicationFilePath();

    // Pure arithmetic, per call.
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

    // The archives first. The peak-memory run starts while this process is still small: a child's
    // getrusage peak also counts the pages it shared with its parent before exec.
    const int sizes[] = {1000, 10000, 100000};
    std::vector<std::unique_ptr<QTemporaryDir>> folders;
    for (const int n : sizes) {
        folders.push_back(std::make_unique<QTemporaryDir>());
        const QString folder = folders.back()->path();
        const QString path = QDir(folder).filePath(kDefaultArchiveFileName);
        bench::generateArchive(path, n);
        writeIni(folder, path);
    }
    const double peakRss = peakRssOfStartupOnly(self, folders.back()->path(), sizes[2]);

    for (std::size_t i = 0; i < std::size(sizes); ++i) {
        const int n = sizes[i];
        const QString folder = folders[i]->path();
        const QString path = QDir(folder).filePath(kDefaultArchiveFileName);

        const double floor = medianMs([&] { floorScan(path); });
        printMetric("floor_scan", n, floor, "ms");

        {
            std::unique_ptr<Archive> archive = openArchive(path);
            test::FakeServices fakes;
            test::FakePrinter printer;
            Form2 form(*archive, fakes.services(), printer);
            form.show();

            const double fill = medianMs([&] { form.CARICA_LISTA_MOV(); });
            printMetric("list_fill", n, fill, "ms");
            printMetric("list_fill_vs_floor", n, fill / floor, "x");
            if (n == 100000) {
                budget.check("list_fill", n, fill, 150, "ms");
                budget.check("list_fill_vs_floor", n, fill / floor, 3, "x");
            }

            // The whole summary: the one pass, then the months, the ISO weeks and the years.
            HoursSummary summary;
            const double summarize = medianMs([&] {
                if (summarizeArchive(*archive, &summary).failed() || summary.total.records != n)
                    fail(QStringLiteral("riepilogo"));
            });
            printMetric("riepilogo", n, summarize, "ms");
            printMetric("riepilogo_vs_floor", n, summarize / floor, "x");
            if (n == 100000)
                budget.check("riepilogo_vs_floor", n, summarize / floor, 2, "x");
            if (n == 100000) { // the balance over 30 years of days, against the same run's summary
                const double saldo =
                    bench::saldoMs(path, [](const std::function<void()> &run) { return medianMs(run); });
                printMetric("saldo", n, saldo, "ms");
                printMetric("saldo_vs_riepilogo", n, saldo / summarize, "x");
                budget.check("saldo_vs_riepilogo", n, saldo / summarize, 2, "x");
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

            // Overwrite: the record shown (selected above) is confirmed as it stands.
            auto *conferma = child<QPushButton>(form, "cmdCONFERMA");
            const double overwrite = medianMs([&] { conferma->click(); });
            printMetric("confirm_overwrite", n, overwrite, "ms");
            if (n == 10000)
                budget.check("confirm_overwrite", n, overwrite, 25, "ms");

            // Add: "Nuovo" proposes the next number; the confirm adds the row. Delete removes it again.
            auto *nuovo = child<QPushButton>(form, "cmdNUOVO");
            auto *cancella = child<QPushButton>(form, "Command1");
            auto *numero = child<QLineEdit>(form, "txtNUM_MOV");
            const double add = medianMs([&] { conferma->click(); }, [&] { nuovo->click(); });
            printMetric("confirm_add", n, add, "ms");
            const double del = medianMs([&] { cancella->click(); },
                                        [&] {
                                            // Show the last record so "Cancella" is enabled on it, then
                                            // answer Yes.
                                            const int last = list->model()->rowCount() - 1;
                                            list->setCurrentIndex(list->model()->index(last, 0));
                                            emit list->picked(last);
                                            fakes.messages.expect(MessageBoxService::Answer::Yes);
                                        });
            printMetric("delete", n, del, "ms");
            if (!fakes.messages.unexpected.isEmpty() || numero->text().isEmpty())
                fail(QStringLiteral("messaggi inattesi: ") +
                     fakes.messages.unexpected.join(QLatin1Char('|')));

            QtLinePrinter pdf(folder, [] { return QDateTime(QDate(2004, 3, 5), QTime(9, 0)); });
            pdf.setOutputPdf(QDir(folder).filePath(QStringLiteral("elenco.pdf")));
            const double print = medianMs([&] {
                const PrintResult result = printHoursList(*archive, pdf);
                if (result.failed())
                    fail(result.text);
            });
            printMetric("print_pdf", n, print, "ms");

            // The copy made before the first change of each day: the user waits for it once a day.
            int day = 0;
            const double copy = medianMs([&] {
                if (makeDailyBackup(*archive, QDir(folder).filePath(QStringLiteral("copie")),
                                    QDate(2004, 3, 1).addDays(day++))
                        .failed())
                    fail(QStringLiteral("copia giornaliera"));
            });
            printMetric("daily_copy", n, copy, "ms");
            if (n == 100000)
                budget.check("daily_copy", n, copy, 200, "ms");

            // "Esporta in CSV…" and "zelvaro-archivio esporta": the computed rows and their text.
            const double exported = medianMs([&] {
                QList<ExportRow> rows;
                if (collectExportRows(*archive, &rows).failed() || exportCsv(rows).isEmpty())
                    fail(QStringLiteral("esporta"));
            });
            printMetric("export_csv", n, exported, "ms");
            if (n == 100000)
                budget.check("export_csv", n, exported, 1000, "ms");
        }

        const double startup = medianMs([&] {
            test::FakeServices fakes;
            StartedProgram program = startUp(folder, fakes);
            QCoreApplication::processEvents();
        });
        printMetric("startup", n, startup, "ms");
        if (n == 10000)
            budget.check("startup", n, startup, 400, "ms");

        if (n == sizes[2]) {
            printMetric("peak_rss", n, peakRss, "MB");
            budget.check("peak_rss", n, peakRss, 100, "MB");
        }
    }
    return budget.over ? 1 : 0;
}
