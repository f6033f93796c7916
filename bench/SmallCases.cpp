#include "SmallCases.h"

#include "Archive.h"
#include "CalcolaOre.h"
#include "FakePrinter.h"
#include "FakeSheetPrinter.h"
#include "Fakes.h"
#include "HoursSummary.h"
#include "LeadingNumber.h"
#include "Measure.h"
#include "RiepilogoWindow.h"

#include <QCoreApplication>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>

namespace zelvaro::bench {

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
    test::FakeSheetPrinter sheetPrinter;
    HoursSummary summary;
    const Paired open = medianPair(
        [&] {
            if (summarizeArchive(archive, &summary).failed())
                fail(QStringLiteral("riepilogo"));
        },
        [&] {
            RiepilogoWindow window(archive, fakes.services(), printer, sheetPrinter);
            window.show();
            QCoreApplication::processEvents();
        });
    budget.ratio("riepilogo_window_open", "floor_riepilogo", n, open, n == 100000 ? 1.5 : 0);

    RiepilogoWindow window(archive, fakes.services(), printer, sheetPrinter);
    window.show();
    QCoreApplication::processEvents();
    auto *tree = window.findChild<QTreeWidget *>(QStringLiteral("tvwPERIODI"));
    if (!tree)
        fail(QStringLiteral("controllo mancante: tvwPERIODI"));
    QList<QTreeWidgetItem *> months; // the latest last
    for (int y = 0; y < tree->topLevelItemCount(); ++y) {
        for (int m = 0; m < tree->topLevelItem(y)->childCount(); ++m)
            months.append(tree->topLevelItem(y)->child(m));
    }
    if (months.size() < 13)
        fail(QStringLiteral("riepilogo: mesi mancanti"));
    // Each month's step is the median of its repetitions; the slowest month counts.
    std::vector<std::vector<double>> steps(13);
    for (int i = 0; i <= kRepetitions; ++i) {
        for (int m = 0; m < 13; ++m) { // the 12 months before the latest, then it
            const double ms = timedMs([&] {
                tree->setCurrentItem(months.at(months.size() - 13 + m));
                QCoreApplication::processEvents();
            });
            if (i > 0)
                steps[std::size_t(m)].push_back(ms);
        }
    }
    double step = 0;
    for (const std::vector<double> &month : steps)
        step = std::max(step, median(month));
    // A step has no floor of its own: it is held to a share of one summary pass of the same run.
    printMetric("riepilogo_window_step", n, step, "ms");
    printMetric("riepilogo_window_step_vs_floor", n, step / open.floor, "x");
    if (n == 100000)
        budget.check("riepilogo_window_step_vs_floor", n, step / open.floor, 0.15, "x");
    if (!fakes.messages.unexpected.isEmpty())
        fail(QStringLiteral("messaggi inattesi: ") + fakes.messages.unexpected.join(QLatin1Char('|')));
}

} // namespace zelvaro::bench
