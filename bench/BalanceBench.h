#pragma once

#include "Measure.h"

#include <QString>

#include <functional>

namespace zelvaro {
class Archive;
}

namespace zelvaro::bench {

// Times "zelvaro-archivio saldo" on a copy of the archive at `path` (left as it is) given the last 30
// years of its days: contract hours changing halfway, 25 days of ferie a year and an opening balance.
// The work timed is the command's: the tables and the worked minutes read, the balance computed and
// its monthly CSV rows written. `pair` times `floor` (given the copy, as it does) and the saldo by
// turns, as the benchmark pairs an operation with its floor.
Paired
saldoPaired(const QString &path, const std::function<void(Archive &)> &floor,
            const std::function<Paired(const std::function<void()> &, const std::function<void()> &)> &pair);

// The "Riepilogo ore" window opened, with the balance, on a copy of the archive at `path` given the
// same tables as the saldo: read, computed, laid out and shown, in ms (the median of the runs).
double riepilogoWindowWithBalanceMs(const QString &path);

} // namespace zelvaro::bench
