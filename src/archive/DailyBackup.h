#pragma once

#include "Outcome.h"

#include <QDate>
#include <QString>

namespace zelvaro {

class Archive;

// How many daily copies of one archive are kept.
inline constexpr int kKeptDailyCopies = 14;

// The folder of the daily copies: $XDG_DATA_HOME/zelvaro/copie (~/.local/share/zelvaro/copie).
QString defaultBackupFolder();

// The name of the copy of `archivePath` made on `day`: "<archive name>-AAAAMMGG.mdb", the archive
// name without its last suffix ("ZELVARO_97-20240507.mdb").
QString dailyCopyName(const QString &archivePath, const QDate &day);

// Makes `today`'s copy of the open archive in `folder` (created when missing) unless the folder
// already holds one, so never more than one a day; after a new copy, removes the oldest copies of
// the same archive name beyond the last kKeptDailyCopies. Meant to run before the first write of
// each day; it shows nothing and reads no clock. A failure leaves the archive as it was.
Outcome makeDailyBackup(Archive &archive, const QString &folder, const QDate &today);

} // namespace zelvaro
