#pragma once

#include <QDateTime>
#include <QString>

namespace zelvaro {

// How long, in seconds, a hidden temporary file must have stayed unchanged before it can be a
// leftover: far longer than the moment between its creation and its writer opening it.
inline constexpr qint64 kLeftoverQuietSeconds = 60;

// Removes from `folder` (not from its subfolders) what a SafeNewFile left behind when its program
// was killed: hidden files ".<name>.XXXXXX" holding a SQLite archive or nothing yet, and SQLite's
// "-journal", "-wal" and "-shm" beside them. A file is removed only when it is a regular file of
// this user, unchanged for kLeftoverQuietSeconds before `now`, and open in no process of this
// machine: its writer is gone. Where the processes' open files cannot be read, only files
// unchanged for a day are removed. A file that cannot be removed stays, silently.
void removeLeftoverTemporaries(const QString &folder, const QDateTime &now);

} // namespace zelvaro
