#include "WorkedMinutes.h"

#include "ComputedDays.h"
#include "HoursSummary.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace zelvaro {

Outcome workedMinutesByDate(Archive &archive, QMap<QDate, double> *worked)
{
    Q_ASSERT(worked != nullptr);
    // Collected, then sorted: one tree insertion per date instead of one lookup per record.
    std::vector<std::pair<qint64, double>> days;
    const Outcome error = forEachComputedDay(archive, [&](const ComputedDay &day) {
        const QDate date = recordDate(day.record.anno, day.record.mese, day.record.giorno);
        if (!date.isValid())
            return;
        // As the summary: a figure beyond the range of a double counts 0.
        const double minutes = day.madeDayTotal && std::isfinite(day.dayMinutes) ? day.dayMinutes : 0;
        days.emplace_back(date.toJulianDay(), minutes);
    });
    if (error.failed())
        return error;
    std::sort(days.begin(), days.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QMap<QDate, double> result;
    for (auto it = days.cbegin(); it != days.cend();) {
        const qint64 julianDay = it->first;
        double minutes = 0;
        for (; it != days.cend() && it->first == julianDay; ++it)
            minutes += it->second;
        result.insert(result.cend(), QDate::fromJulianDay(julianDay), minutes);
    }
    *worked = std::move(result);
    return {};
}

} // namespace zelvaro
