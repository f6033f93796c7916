#pragma once

#include "Outcome.h"

#include <QString>

namespace zelvaro {

// What a tool that only reads an archive does about the files SQLite keeps beside it.
// - A rollback journal left by a crash inside a change ("hot") must be rolled back before the
//   archive can be read. Zelvaro does it at its next start; a tool does it too when it may write the
//   archive and its folder (SQLite rolls it back on a read-write connection), else it says so.
// - Reading an archive in WAL mode makes SQLite create "-wal" and "-shm" files beside it, which a
//   read-only connection leaves behind: the ones the tool's reading created are removed at the end.
// Create it before the tool's first connection to the archive and let it end after the last one.
class ArchiveReading
{
public:
    explicit ArchiveReading(const QString &path);
    ~ArchiveReading(); // finish()
    ArchiveReading(const ArchiveReading &) = delete;
    ArchiveReading &operator=(const ArchiveReading &) = delete;

    // Rolls back the journal of an interrupted change when the archive and its folder may be
    // written; with `checkpoint` it also moves the changes of a WAL into the archive file. Fails
    // (SQLITE_READONLY) only when an interrupted change keeps SQLite from reading the archive and it
    // may not be rolled back here: the text says what to do. Any other problem is left to the
    // tool's own opening, which reports it as it always has.
    Outcome prepare(bool checkpoint = false);
    // Whether prepare() found the journal of an interrupted change and it is now rolled back.
    bool rolledBack() const { return m_rolledBack; }
    // Whether "-wal" changes remain that a reader of the bare file would miss.
    bool walPending() const;

    // Removes the "-wal" and "-shm" files that the reading created, when no other program uses
    // the archive. Call it after every connection of the tool to the archive is closed.
    void finish();

private:
    QString m_path;
    bool m_walBefore = false, m_shmBefore = false, m_rolledBack = false, m_finished = false;
};

// The sentence for an archive that cannot be read until its interrupted change is rolled back.
QString interruptedChangeText(const QString &path);

} // namespace zelvaro
