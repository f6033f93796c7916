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
    const QByteArray utf8 = text.toUtf8();
    if (utf8.size() > std::numeric_limits<int>::max())
        return SQLITE_TOOBIG;
    // constData() of an empty QByteArray is "", never null, so the empty text is bound, not NULL.
    return sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

int SqliteStatement::bindInt64(int index, qint64 value)
{
    return sqlite3_bind_int64(m_stmt, index, value);
}

int SqliteStatement::step()
{
    return sqlite3_step(m_stmt);
}

} // namespace zelvaro
