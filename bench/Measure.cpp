#include "Measure.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace zelvaro::bench {

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

double medianMs(const std::function<void()> &run, const std::function<void()> &prepare)
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

Paired medianPair(const std::function<void()> &floor, const std::function<void()> &subject,
                  const std::function<void()> &prepare)
{
    std::vector<double> floors, subjects, ratios;
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
            ratios.push_back(s / f);
        }
    }
    return {median(floors), median(subjects), median(ratios)};
}

void printMetric(const char *name, int n, double value, const char *unit)
{
    std::printf("metric=%s n=%d value=%.3f unit=%s\n", name, n, value, unit);
    std::fflush(stdout);
}

void Budget::check(const char *what, int n, double value, double limit, const char *unit)
{
    if (value > limit) {
        std::fprintf(stderr, "OLTRE IL LIMITE: %s n=%d %.3f %s > %.3f %s\n", what, n, value, unit, limit,
                     unit);
        over = true;
    }
}

void Budget::ratio(const char *name, const char *floorName, int n, const Paired &p, double limit)
{
    printMetric(floorName, n, p.floor, "ms");
    printMetric(name, n, p.subject, "ms");
    const std::string ratioName = std::string(name) + "_vs_floor";
    printMetric(ratioName.c_str(), n, p.ratio(), "x");
    if (limit > 0)
        check(ratioName.c_str(), n, p.ratio(), limit, "x");
}

void fail(const QString &what)
{
    std::fprintf(stderr, "zelvaro-bench: %s\n", qPrintable(what));
    std::exit(2);
}

} // namespace zelvaro::bench
