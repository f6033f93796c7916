#pragma once

#include "Outcome.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace zelvaro {

// What bringing table MOV_MAG of an Access archive into a new archive did. A failure's text is a
// sentence to follow a colon.
struct ImportReport
{
    Outcome outcome;
    QStringList libmdbNotes; // what libmdb printed while it read the file, line by line
    qint64 rows = 0;         // rows written (when ok)
    qint64 unlistedRows = 0; // of those, rows with NUM_MOV 0 or below, which the window never lists
};

// Hears the rows read so far and the rows the table declares; it runs in the reading process.
using ImportProgress = std::function<void(qint64 read, qint64 declared)>;

// True when this build can read Access files (it was built with libmdb).
bool accessImportAvailable();

// Reads every row of MOV_MAG from the Access file `source` and writes a new archive at
// `destination`, which must not exist. Every row keeps its NUM_MOV; every other column is stored
// as the text libmdb gives (blanks kept, other types in their text form, UTF-8), an empty value as
// null. The rows go into a temporary file beside `destination` that takes its name only after they
// are written, committed and counted against the row count the table declares; on any failure
// nothing is left at `destination` and an existing file there is never touched. libmdb reads in a
// child process, so that a file damaged enough to crash it only makes the import fail; `progress`
// (when set) hears from it once the table is open and then every kImportProgressRows rows.
ImportReport importAccessArchive(const QString &source, const QString &destination,
                                 const ImportProgress &progress = {});

inline constexpr qint64 kImportProgressRows = 1000;

} // namespace zelvaro
