#pragma once

#include "Outcome.h"

#include <QString>

#include <memory>

#include <sqlite3.h>

namespace zelvaro {

// Owns a connection handle; closing a handle that sqlite3_open_v2 returned with an error is required too.
struct SqliteCloser
{
    void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;

// One connection to a SQLite file, released when it goes out of scope. Extended result codes are on,
// so that a failure can say more than its primary code.
class SqliteConnection
{
public:
    SqliteConnection() = default;
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection &) = delete;
    SqliteConnection &operator=(const SqliteConnection &) = delete;

    // Opens the file at `path` with SQLite's open flags (SQLITE_OPEN_READONLY or READWRITE, never
    // CREATE unless asked) and waits up to `busyTimeoutMs` (>= 0) for a lock held by another program.
    // The absolute path is opened, so that a name beginning with "file:" is never taken for a URI.
    // A path longer than SQLite takes (kLongestDirectPathBytes once links are resolved; the file
    // system takes 4,095) is opened through the descriptor of its folder, /proc/self/fd/N/name,
    // so that the journal still lands beside the file; where that is not possible the failure says
    // that the path is too long and names the limit.
    Outcome open(const QString &path, int flags, int busyTimeoutMs);

    // The longest path, in bytes once its links are resolved, that SQLite opens as it is: its
    // limit of 512 bytes less the "-journal" it adds for the journal's name.
    static constexpr int kLongestDirectPathBytes = 504;

    // Closes now and reports a failure to release the file (SQLITE_BUSY while a statement is alive).
    Outcome close();

    bool isOpen() const { return m_db != nullptr; }
    sqlite3 *get() const { return m_db.get(); }
    QString path() const { return m_path; }

    // Runs SQL without results; SQLite's result code.
    int exec(const char *sql) const;

    // The failure SQLite just reported on this connection (see sqliteFailure); a file that can no
    // longer be written says so instead of "disk I/O error". Call it before anything else runs on
    // the connection, which would replace the message.
    Outcome failure(int resultCode) const;

    // As failure(), for a write: a journal that cannot be created beside the file names the folder.
    Outcome writeFailure(int resultCode) const;

    // Runs SQLite's quick check: {} when the file is sound, SQLITE_CORRUPT when it is damaged, else
    // the failure that stopped the check.
    Outcome quickCheck() const;

private:
    int m_folder = -1; // the folder's descriptor that a long path is opened through; outlives m_db
    SqliteHandle m_db;
    QString m_path;
};

// Rolls back on every way out that did not commit, so that a failure never leaves half a write.
class WriteTransaction
{
public:
    explicit WriteTransaction(const SqliteConnection &connection) : m_connection(connection) {}
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction &) = delete;
    WriteTransaction &operator=(const WriteTransaction &) = delete;

    // BEGIN IMMEDIATE: takes the write lock now, so that a busy archive fails before any change.
    Outcome begin();
    // SQLite's result code of COMMIT; a failed commit is rolled back when the transaction ends.
    int commit();

private:
    const SqliteConnection &m_connection;
    bool m_active = false;
};

} // namespace zelvaro
