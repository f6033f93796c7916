#pragma once

#include "ArchiveError.h"

#include <QString>

struct sqlite3;

namespace zelvaro {

// The Italian sentence naming the cause of a SQLite result code (primary or extended).
QString sqliteCauseText(int resultCode);

// The failure SQLite just reported on `db` (which may be null when no handle exists): the primary
// result code, and the Italian cause followed by SQLite's own message in parentheses. Call it
// before anything else runs on the connection, which would replace the message.
ArchiveError sqliteFailure(sqlite3 *db, int resultCode);

// A failure found by the program's own checks, with the nearest SQLite code.
ArchiveError archiveFailure(int code, const QString &text);

// «path», the way every message names a file or folder.
QString quoted(const QString &path);

// The archive's sentences begin with a capital; the tool's messages put them after a colon.
QString lowerFirst(const QString &text);

} // namespace zelvaro
