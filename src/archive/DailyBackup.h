#pragma once

#include "Outcome.h"

#include <QDate>
#include <QDateTime>
#include <QString>

namespace zelvaro {

class Archive;

// How many daily copies of one archive are kept.
inline constexpr int kKeptDailyCopies = 14;

// The folder of the daily copies: $XDG_DATA_HOME/zelvaro/copie (~/.local/share/zelvaro/copie).
QString defaultBackupFolder();

// The subfolder of the copies folder that holds the copies of the archive whose canonical path (every
// link resolved) is `canonicalPath`: "<archive name>-<8 hex digits>", the archive name without its
// last suffix and the first 8 hex digits of the SHA-256 of the path's bytes
// ("ZELVARO_97-1f0c2a9b"). Two archives of the same name in different folders get their own
// series; the digits stay the same for as long as the archive stays where it is.
QString dailyCopySeries(const QString &canonicalPath);

// The name of the copy of `archivePath` made on `day`: "<archive name>-AAAAMMGG.mdb", the archive
// name without its last suffix ("ZELVARO_97-20240507.mdb").
QString dailyCopyName(const QString &archivePath, const QDate &day);

// Makes `today`'s copy of the open archive in its series folder inside `folder` (both made, owner
// only, when missing) unless that folder already holds one, so never more than one a day; after a
// new copy, removes the oldest copies of the series beyond the last kKeptDailyCopies. The copies
// that earlier versions put straight into `folder` are never touched. The copy waits for a lock
// as long as the archive's own writes do. A failure's text is one sentence that names the copy and
// its folder and says why it was not made; the archive is left as it was. Shows nothing and reads
// no clock.
Outcome makeDailyBackup(Archive &archive, const QString &folder, const QDate &today);

// At start: removes the hidden files of copies that a killed program left in `folder` and in its
// series folders (see removeLeftoverTemporaries).
void removeDailyCopyLeftovers(const QString &folder, const QDateTime &now);

} // namespace zelvaro
