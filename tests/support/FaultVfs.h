#pragma once

#include <sqlite3.h>

#include <cerrno>

namespace zelvaro::test {

// A SQLite VFS wrapped around the default one and made the default of the test process, and so of
// the processes it forks: it counts the file operations of the chosen kinds (across all of them)
// and makes the N-th one fail. Until armed it only passes every call on.
namespace FaultVfs {

enum Operation : unsigned {
    Write = 1,        // xWrite on any file
    Sync = 2,         // xSync
    Truncate = 4,     // xTruncate
    Lock = 8,         // xLock and xUnlock
    OpenJournal = 16, // xOpen of a rollback journal
    WriteMainDb = 32, // xWrite on a main database file only
};

void install();

// The `nth` counted operation (from 1) fails with `code`, and SQLite reads `systemErrno` as the
// cause; with `persistent` every later one fails too.
void arm(int nth, int code, unsigned operations, int systemErrno, bool persistent = false);
void disarm();
// Whether an operation failed since the last arm().
bool fired();

// Runs `operation` with each file operation of its run failing in turn (`code` SQLITE_IOERR or
// SQLITE_FULL), then with none failing; `check` gets each result. Returns the number of runs.
template <typename Operation, typename Check> int forEveryFault(int code, Operation operation, Check check)
{
    const bool full = code == SQLITE_FULL;
    int runs = 0;
    for (bool failed = true; failed;) {
        arm(++runs, code, full ? Write | Truncate : Write | Sync | Truncate | Lock, full ? ENOSPC : EIO);
        const auto result = operation();
        failed = fired();
        disarm();
        check(result);
    }
    return runs;
}

} // namespace FaultVfs

} // namespace zelvaro::test
