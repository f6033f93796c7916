#pragma once

#include "Outcome.h"

#include <QString>

struct sqlite3;

namespace zelvaro {

// The Italian sentence naming the cause of a SQLite result code (primary or extended).
QString sqliteCauseText(int resultCode);

// The failure SQLite just reported on `db` (which may be null when no handle exists): the primary
// result code, and the Italian cause followed by SQLite's own message in parentheses. Call it
// before anything else runs on the connection, which would replace the message.
Outcome sqliteFailure(sqlite3 *db, int resultCode);

// A failure found by the program's own checks, with the nearest SQLite code.
Outcome archiveFailure(int code, const QString &text);

} // namespace zelvaro
