#pragma once

#include <QByteArray>
#include <QString>

namespace zelvaro {

// Why the CSV file `target` may not be written, as a sentence naming it: an archive (SQLite or
// Access) is never written over, and a folder is not a file. Empty when it may be written.
QString csvTargetRefusal(const QString &target);

// Writes `csv` as the whole new content of `target`, through a hidden file beside it that replaces
// it only once complete; never over an archive or a folder. Empty on success, else a sentence
// (beginning with a capital) naming the file and the cause.
QString writeCsvFile(const QString &target, const QByteArray &csv);

} // namespace zelvaro
