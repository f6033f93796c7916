#pragma once

#include <QString>

#include <functional>

namespace zelvaro::bench {

// Times "zelvaro-archivio saldo" on a copy of the archive at `path` (left as it is) given the last 30
// years of its days: contract hours changing halfway, 25 days of ferie a year and an opening balance.
// The work timed is the command's: the tables and the worked minutes read, the balance computed and
// its monthly CSV rows built. `median` times a run as the benchmark does; returns its milliseconds.
double saldoMs(const QString &path, const std::function<double(const std::function<void()> &)> &median);

} // namespace zelvaro::bench
