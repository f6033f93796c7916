#include "SqliteStatement.h"

#include <limits>

namespace zelvaro {

SqliteStatement::SqliteStatement(sqlite3 *db, const char *sql)
{
    m_prepareResult = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
    if (m_prepareResult == SQLITE_OK && m_stmt == nullptr)
        m_prepareResult = SQLITE_MISUSE; // empty SQL text: a programming error
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_stmt);
}

int SqliteStatement::bindText(int index, const QString &text)
{
    // constData() of an empty QByteArray is "", never null, so the empty text is bound, not NULL.
    return bindUtf8(index, text.toUtf8());
}

int SqliteStatement::bindUtf8(int index, QByteArrayView bytes)
{
    if (bytes.size() > std::numeric_limits<int>::max())
        return SQLITE_TOOBIG;
    return sqlite3_bind_text(m_stmt, index, bytes.data() != nullptr ? bytes.data() : "", int(bytes.size()),
                             SQLITE_TRANSIENT);
}

int SqliteStatement::bindInt64(int index, qint64 value)
{
    return sqlite3_bind_int64(m_stmt, index, value);
}

int SqliteStatement::bindNull(int index)
{
    return sqlite3_bind_null(m_stmt, index);
}

int SqliteStatement::bindValue(int index, const sqlite3_value *value)
{
    return sqlite3_bind_value(m_stmt, index, value);
}

int SqliteStatement::step()
{
    return sqlite3_step(m_stmt);
}

void SqliteStatement::reset()
{
    sqlite3_reset(m_stmt);
}

QString SqliteStatement::columnText(int column) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return text == nullptr ? QString() : QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column));
}

} // namespace zelvaro
