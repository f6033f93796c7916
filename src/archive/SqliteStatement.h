#pragma once

#include "SqliteConnection.h"

#include <QByteArrayView>
#include <QString>

#include <sqlite3.h>

namespace zelvaro {

// One prepared statement, finalized when it goes out of scope. Every call returns SQLite's result
// code; the caller reads the message from the connection before running anything else on it.
class SqliteStatement
{
public:
    SqliteStatement(const SqliteConnection &connection, const char *sql)
        : SqliteStatement(connection.get(), sql)
    {
    }
    SqliteStatement(sqlite3 *db, const char *sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    // SQLITE_OK when the statement was prepared.
    int prepareResult() const { return m_prepareResult; }

    // Binds the text as UTF-8 (a null QString binds the empty text, never NULL); index from 1.
    int bindText(int index, const QString &text);
    // Binds UTF-8 bytes as text, copied.
    int bindUtf8(int index, QByteArrayView bytes);
    int bindInt64(int index, qint64 value);
    int bindNull(int index);
    // Binds a value read by another statement, of whatever type it has.
    int bindValue(int index, const sqlite3_value *value);

    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    // Makes the statement ready to run again, keeping its bindings.
    void reset();

    int columnType(int column) const { return sqlite3_column_type(m_stmt, column); }
    qint64 columnInt64(int column) const { return sqlite3_column_int64(m_stmt, column); }
    // The value's text form as read (nothing trimmed); the null QString for null.
    QString columnText(int column) const;
    sqlite3_value *columnValue(int column) const { return sqlite3_column_value(m_stmt, column); }

    sqlite3_stmt *get() const { return m_stmt; }

private:
    sqlite3_stmt *m_stmt = nullptr;
    int m_prepareResult = SQLITE_MISUSE;
};

} // namespace zelvaro
