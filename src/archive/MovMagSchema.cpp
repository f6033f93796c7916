#include "MovMagSchema.h"

#include "ArchiveFailure.h"
#include "SqliteStatement.h"

namespace zelvaro {

namespace {

constexpr const char *kTableQuery = R"sql(SELECT COUNT(*) FROM sqlite_master
 WHERE type = 'table' AND name = 'MOV_MAG' COLLATE NOCASE)sql";

constexpr const char *kColumnsQuery = R"sql(SELECT name FROM pragma_table_info('MOV_MAG'))sql";

} // namespace

Outcome checkMovMagSchema(const SqliteConnection &connection)
{
    {
        SqliteStatement statement(connection, kTableQuery);
        if (statement.prepareResult() != SQLITE_OK)
            return connection.failure(statement.prepareResult());
        const int rc = statement.step();
        if (rc != SQLITE_ROW)
            return connection.failure(rc);
        if (statement.columnInt64(0) == 0)
            return archiveFailure(SQLITE_ERROR, QStringLiteral("L'archivio non contiene la tabella MOV_MAG"));
    }
    SqliteStatement statement(connection, kColumnsQuery);
    if (statement.prepareResult() != SQLITE_OK)
        return connection.failure(statement.prepareResult());
    bool found[kMovMagColumnCount] = {};
    int rc;
    while ((rc = statement.step()) == SQLITE_ROW) {
        const QString name = statement.columnText(0);
        for (int c = 0; c < kMovMagColumnCount; ++c) {
            if (name.compare(QLatin1String(kMovMagColumns[c]), Qt::CaseInsensitive) == 0)
                found[c] = true;
        }
    }
    if (rc != SQLITE_DONE)
        return connection.failure(rc);
    for (int c = 0; c < kMovMagColumnCount; ++c) {
        if (!found[c])
            return archiveFailure(SQLITE_ERROR,
                                  QStringLiteral("Nella tabella MOV_MAG dell'archivio manca la colonna ") +
                                      QLatin1String(kMovMagColumns[c]));
    }
    return {};
}

} // namespace zelvaro
