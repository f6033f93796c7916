#include "RepairTables.h"

#include "ArchiveFailure.h"
#include "BalanceSchema.h"
#include "MovMagSchema.h"
#include "SqliteStatement.h"

#include <sqlite3.h>

namespace zelvaro {

namespace {

constexpr const char *kNames[kRepairTableCount] = {"MOV_MAG", "ORARIO_CONTRATTUALE", "ASSENZE",
                                                   "IMPOSTAZIONI"};
constexpr const char *kCreates[kRepairTableCount] = {kCreateMovMag, kCreateOrarioContrattuale, kCreateAssenze,
                                                     kCreateImpostazioni};

constexpr const char *kColumns = R"sql(SELECT name, type, "notnull", pk FROM pragma_table_info(
 (SELECT name FROM sqlite_master WHERE type = 'table')) ORDER BY cid)sql";

struct Column
{
    QString name, type;
    bool notNull = false;
    int pk = 0;
};

// The columns `sql` declares, as SQLite reads it in a private in-memory database: empty unless it
// is one plain CREATE TABLE (the text comes from a damaged file: nothing that runs a query).
QList<Column> declaredColumns(const QString &sql)
{
    const QString text = sql.trimmed();
    if (!text.startsWith(QLatin1String("CREATE TABLE"), Qt::CaseInsensitive) ||
        text.contains(QLatin1String("SELECT"), Qt::CaseInsensitive))
        return {};
    sqlite3 *raw = nullptr;
    sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE, nullptr);
    const SqliteHandle db(raw);
    if (raw == nullptr)
        return {};
    const QByteArray utf8 = text.toUtf8();
    {
        sqlite3_stmt *statement = nullptr;
        const char *tail = nullptr;
        if (sqlite3_prepare_v2(raw, utf8.constData(), int(utf8.size()), &statement, &tail) != SQLITE_OK) {
            sqlite3_finalize(statement);
            return {};
        }
        const bool alone = QByteArray(tail).trimmed().replace(';', "").isEmpty();
        const int rc = statement != nullptr && alone ? sqlite3_step(statement) : SQLITE_ERROR;
        sqlite3_finalize(statement);
        if (rc != SQLITE_DONE)
            return {};
    }
    QList<Column> columns;
    SqliteStatement info(raw, kColumns);
    while (info.prepareResult() == SQLITE_OK && info.step() == SQLITE_ROW)
        columns.append(
            {info.columnText(0), info.columnText(1), info.columnInt64(2) != 0, int(info.columnInt64(3))});
    return columns;
}

// SQLite's rule for a column's affinity, as far as telling a TEXT column.
bool textAffinity(const QString &type)
{
    const QString upper = type.toUpper();
    return !upper.contains(QLatin1String("INT")) &&
           (upper.contains(QLatin1String("CHAR")) || upper.contains(QLatin1String("CLOB")) ||
            upper.contains(QLatin1String("TEXT")));
}

} // namespace

QString repairTableName(int table)
{
    return QLatin1String(kNames[table]);
}

QStringList repairTableColumns(int table)
{
    QStringList names;
    for (const Column &column : declaredColumns(QLatin1String(kCreates[table])))
        names.append(column.name);
    return names;
}

Outcome tableLayout(int table, const QString &sql, TableLayout *layout)
{
    TableLayout made;
    made.name = repairTableName(table);
    made.create = kCreates[table];
    const QList<Column> wanted = declaredColumns(QLatin1String(made.create));
    QList<Column> declared = declaredColumns(sql);
    if (declared.isEmpty())
        declared = wanted;
    made.recordColumns = int(declared.size());
    int keys = 0;
    for (int c = 0; c < made.recordColumns; ++c) {
        const Column &column = declared.at(c);
        if (column.pk > 0) {
            ++keys;
            made.keyColumn = column.type.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0 ? c : -1;
        }
        made.textOnly.append(textAffinity(column.type));
        made.notNull.append(column.notNull);
    }
    if (keys != 1)
        made.keyColumn = -1;
    for (const Column &column : wanted) {
        made.columns.append(column.name);
        int found = -1;
        for (int c = 0; c < made.recordColumns && found < 0; ++c) {
            if (declared.at(c).name.compare(column.name, Qt::CaseInsensitive) == 0)
                found = c;
        }
        if (found < 0 && table == kMovMagTable)
            return archiveFailure(SQLITE_ERROR,
                                  QStringLiteral("Nella tabella MOV_MAG dell'archivio manca la colonna ") +
                                      column.name);
        made.source.append(found);
    }
    *layout = made;
    return {};
}

bool TableLayout::fits(const StoredRecord &record, bool fromTree) const
{
    if (record.isEmpty() || record.size() > recordColumns || (!fromTree && record.size() != recordColumns))
        return false;
    for (int c = 0; c < int(record.size()); ++c) {
        const StoredValue::Type type = record.at(c).type;
        // SQLite stores NULL for the INTEGER PRIMARY KEY and never reads it: on the table's own
        // pages another value there alters nothing.
        if (c == keyColumn
                ? !fromTree && type != StoredValue::Null
                : (textOnly.at(c) && (type == StoredValue::Integer || type == StoredValue::Real)) ||
                      (!fromTree && notNull.at(c) && type == StoredValue::Null))
            return false;
    }
    return true;
}

QString storedText(const StoredValue &value, int encoding)
{
    switch (value.type) {
    case StoredValue::Null:
        return QString();
    case StoredValue::Integer:
        return QString::number(value.integer);
    case StoredValue::Real:
        return QString::number(value.real);
    case StoredValue::Text:
        if (encoding == 1)
            return QString::fromUtf8(value.bytes);
        {
            QString text(value.bytes.size() / 2, QChar());
            for (qsizetype i = 0; i < text.size(); ++i) {
                const auto high = quint8(value.bytes.at(2 * i + (encoding == 2 ? 1 : 0)));
                const auto low = quint8(value.bytes.at(2 * i + (encoding == 2 ? 0 : 1)));
                text[i] = QChar(char16_t(high << 8 | low));
            }
            return text;
        }
    case StoredValue::Blob:
        return QString::fromLatin1(value.bytes.toHex());
    }
    return QString();
}

StoredValue TableLayout::value(const LeafRow &row, int column) const
{
    const int index = source.at(column);
    if (index >= 0 && index == keyColumn) {
        StoredValue key;
        key.type = StoredValue::Integer;
        key.integer = row.rowid;
        return key;
    }
    return index >= 0 && index < row.values.size() ? row.values.at(index) : StoredValue();
}

} // namespace zelvaro
