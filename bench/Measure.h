#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <vector>

namespace zelvaro::bench {

// How the benchmark times, prints and judges its figures.

inline constexpr int kRepetitions = 9; // after one warm-up; the median is reported

using SteadyClock = std::chrono::steady_clock;

// Milliseconds since `start`.
double elapsedMs(SteadyClock::time_point start);
// Milliseconds one run of `run` takes.
double timedMs(const std::function<void()> &run);
double median(std::vector<double> values);

// Median of kRepetitions timed runs after one warm-up, in ms; `prepare` runs untimed before each run.
double medianMs(const std::function<void()> &run, const std::function<void()> &prepare = {});

// An operation and its floor, run by turns so that a load that comes and goes weighs on both.
struct Paired
{
    double floor = 0;   // median, ms
    double subject = 0; // median, ms
    double ratios = 0;  // median of the ratios of each run to the floor's run just before it
    double ratio() const { return ratios; }
};

// The floor and the subject run one after the other kRepetitions times after a warm-up of each;
// `prepare` runs untimed before each run. The ratio is taken run by run: a load that changes
// between two pairs does not move it.
Paired medianPair(const std::function<void()> &floor, const std::function<void()> &subject,
                  const std::function<void()> &prepare = {});

// "metric=<name> n=<n> value=<value> unit=<unit>" on standard output.
void printMetric(const char *name, int n, double value, const char *unit);

// Says which figures are over their limits.
struct Budget
{
    bool over = false;
    void check(const char *what, int n, double value, double limit, const char *unit);
    // Prints the operation, its floor and their ratio; checks the ratio when `limit` > 0.
    void ratio(const char *name, const char *floorName, int n, const Paired &p, double limit = 0);
};

// Ends the benchmark with status 2, saying why.
[[noreturn]] void fail(const QString &what);

} // namespace zelvaro::bench
