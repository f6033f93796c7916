#pragma once

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

// One prepared statement, finalized when it goes out of scope. Every call returns SQLite's result
// code; the caller reads the message from the connection before running anything else on it.
class SqliteStatement
{
public:
    SqliteStatement(sqlite3 *db, const char *sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    // SQLITE_OK when the statement was prepared.
    int prepareResult() const { return m_prepareResult; }

    // Binds the text as UTF-8 (a null QString binds the empty text, never NULL); index from 1.
    int bindText(int index, const QString &text);
    int bindInt64(int index, qint64 value);

    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step();

    sqlite3_stmt *get() const { return m_stmt; }

private:
    sqlite3_stmt *m_stmt = nullptr;
    int m_prepareResult = SQLITE_MISUSE;
};

} // namespace zelvaro
