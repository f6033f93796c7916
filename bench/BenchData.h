#pragma once

#include <QString>

namespace zelvaro::bench {

// Writes a new archive at `path` holding `count` records numbered 1..count: a third with period 1
// only, half with periods 1 and 2, the rest with all three; some blank and null fields. The same
// count always gives the same archive.
void generateArchive(const QString &path, int count);

} // namespace zelvaro::bench
