#include "RepairTarget.h"

#include "Archive.h"
#include "BalanceSchema.h"
#include "MovMagSchema.h"

#include <algorithm>

#include <sqlite3.h>

namespace zelvaro {

namespace {

// Binds the value as the file stores it to parameter `index` (from 1); SQLite's result code.
int bindStoredValue(sqlite3_stmt *statement, int index, const StoredValue &value, int encoding)
{
    switch (value.type) {
    case StoredValue::Integer:
        return sqlite3_bind_int64(statement, index, value.integer);
    case StoredValue::Real:
        return sqlite3_bind_double(statement, index, value.real);
    case StoredValue::Text:
        return sqlite3_bind_text64(statement, index, value.bytes.constData(),
                                   sqlite3_uint64(value.bytes.size()), SQLITE_TRANSIENT,
                                   encoding == 2   ? SQLITE_UTF16LE
                                   : encoding == 3 ? SQLITE_UTF16BE
                                                   : SQLITE_UTF8);
    case StoredValue::Blob:
        return sqlite3_bind_blob64(statement, index, value.bytes.constData(),
                                   sqlite3_uint64(value.bytes.size()), SQLITE_TRANSIENT);
    case StoredValue::Null:
        break;
    }
    return sqlite3_bind_null(statement, index);
}

constexpr const char *kCount = R"sql(SELECT COUNT(*) FROM %1)sql";
constexpr const char *kNumbers =
    R"sql(SELECT NUM_MOV FROM MOV_MAG WHERE NUM_MOV BETWEEN 1 AND ?1 ORDER BY NUM_MOV)sql";

QString numberRange(qint64 from, qint64 to)
{
    return from == to ? QStringLiteral("NUM_MOV ") + QString::number(from)
                      : QStringLiteral("NUM_MOV da ") + QString::number(from) + QStringLiteral(" a ") +
                            QString::number(to);
}

// The runs of consecutive numbers in `numbers`, as ranges.
QStringList numberRanges(std::vector<qint64> numbers)
{
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    QStringList ranges;
    for (std::size_t i = 0; i < numbers.size();) {
        std::size_t last = i;
        while (last + 1 < numbers.size() && numbers[last + 1] == numbers[last] + 1)
            ++last;
        ranges.append(numberRange(numbers[i], numbers[last]));
        i = last + 1;
    }
    return ranges;
}

QString rowPlace(const LeafRow &row)
{
    return QStringLiteral("rowid ") + QString::number(row.rowid) + QStringLiteral(", pagina ") +
           QString::number(row.page);
}

} // namespace

Outcome RepairTarget::writeFailure(int rc) const
{
    return Outcome::failure(rc & 0xff, QStringLiteral("errore nella scrittura del nuovo archivio: ") +
                                           m_db.failure(rc).text);
}

Outcome RepairTarget::begin(const QString &path, const TableLayout &movMag, int encoding)
{
    m_path = path;
    m_encoding = encoding;
    Outcome error = m_db.open(path, SQLITE_OPEN_READWRITE, Archive::kBusyTimeoutMs);
    if (!error) {
        m_transaction.emplace(m_db);
        error = m_transaction->begin();
    }
    if (error)
        return Outcome::failure(error.code,
                                QStringLiteral("errore nella scrittura del nuovo archivio: ") + error.text);
    return ensureTable(kMovMagTable, movMag);
}

Outcome RepairTarget::ensureTable(int table, const TableLayout &layout)
{
    if (m_made[table])
        return {};
    if (const int rc = m_db.exec(layout.create); rc != SQLITE_OK)
        return writeFailure(rc);
    m_made[table] = true;
    QStringList parameters;
    for (int c = 1; c <= layout.columns.size(); ++c)
        parameters.append(QLatin1Char('?') + QString::number(c));
    const QByteArray insert =
        table == kMovMagTable ? QByteArray(kInsertMovMagRow)
                              : ("INSERT INTO " + layout.name + QStringLiteral(" (") +
                                 layout.columns.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (") +
                                 parameters.join(QStringLiteral(", ")) + QLatin1Char(')'))
                                    .toUtf8();
    m_inserts[table].emplace(m_db, insert.constData());
    if (m_inserts[table]->prepareResult() != SQLITE_OK)
        return writeFailure(m_inserts[table]->prepareResult());
    return {};
}

Outcome RepairTarget::store(int table, const TableLayout &layout, LeafRow &&row, RowOrigin origin)
{
    if (const Outcome error = ensureTable(table, layout))
        return error;
    return table == kMovMagTable ? storeMovMag(layout, std::move(row), origin)
                                 : storeBalance(table, layout, std::move(row));
}

Outcome RepairTarget::storeMovMag(const TableLayout &layout, LeafRow &&row, RowOrigin origin)
{
    const StoredValue number = layout.value(row, 0);
    if (number.type == StoredValue::Null) {
        m_report->unreadable.append(QStringLiteral("la riga con ") + rowPlace(row) +
                                    QStringLiteral(" non ha NUM_MOV"));
        return {};
    }
    if (number.type != StoredValue::Integer) {
        m_report->unreadable.append(QStringLiteral("NUM_MOV \"") + storedText(number, m_encoding) +
                                    QStringLiteral("\" non è un numero intero (") + rowPlace(row) +
                                    QLatin1Char(')'));
        return {};
    }
    // A number out of its page's range may be altered: it does not widen the range reported.
    if (origin != RowOrigin::OutOfPlace)
        m_report->highest = std::max(m_report->highest, number.integer);
    if (m_numbers.count(number.integer)) {
        m_report->duplicates.append(QStringLiteral("NUM_MOV ") + QString::number(number.integer) +
                                    QStringLiteral(" (") + rowPlace(row) + QLatin1Char(')'));
        return {};
    }
    SqliteStatement &insert = *m_inserts[kMovMagTable];
    for (int c = 0; c < layout.columns.size(); ++c)
        bindStoredValue(insert.get(), c + 1, layout.value(row, c), m_encoding);
    const int rc = insert.step();
    insert.reset();
    if (rc != SQLITE_DONE)
        return writeFailure(rc);
    m_numbers.insert(number.integer);
    if (origin == RowOrigin::Orphan)
        m_orphanNumbers.push_back(number.integer);
    else if (origin == RowOrigin::OutOfPlace)
        m_outOfPlaceNumbers.push_back(number.integer);
    return {};
}

Outcome RepairTarget::storeBalance(int table, const TableLayout &layout, LeafRow &&row)
{
    SqliteStatement &insert = *m_inserts[table];
    for (int c = 0; c < layout.columns.size(); ++c)
        bindStoredValue(insert.get(), c + 1, layout.value(row, c), m_encoding);
    const int rc = insert.step();
    const int extended = sqlite3_extended_errcode(m_db.get());
    insert.reset();
    if (rc == SQLITE_DONE)
        return {};
    if ((rc & 0xff) != SQLITE_CONSTRAINT)
        return writeFailure(rc);
    if (extended == SQLITE_CONSTRAINT_NOTNULL)
        m_report->unreadable.append(layout.name + QStringLiteral(": la riga con ") + rowPlace(row) +
                                    QStringLiteral(" ha un valore obbligatorio vuoto"));
    else
        m_report->duplicates.append(layout.name + QLatin1Char(' ') + layout.columns.first() +
                                    QLatin1Char(' ') + storedText(layout.value(row, 0), m_encoding) +
                                    QStringLiteral(" (") + rowPlace(row) + QLatin1Char(')'));
    return {};
}

Outcome RepairTarget::finish()
{
    if (std::find(m_made.begin() + 1, m_made.end(), true) != m_made.end()) {
        const QByteArray version = "PRAGMA user_version = " + QByteArray::number(kArchiveLayoutVersion);
        if (const int rc = m_db.exec(version.constData()); rc != SQLITE_OK)
            return writeFailure(rc);
    }
    for (std::optional<SqliteStatement> &insert : m_inserts)
        insert.reset();
    if (const int rc = m_transaction->commit(); rc != SQLITE_OK)
        return writeFailure(rc);
    m_transaction.reset();
    if (const Outcome error = m_db.close())
        return Outcome::failure(error.code,
                                QStringLiteral("errore nella chiusura del nuovo archivio: ") + error.text);
    return {};
}

Outcome RepairTarget::readBack()
{
    SqliteConnection db;
    const auto failed = [&db](int rc) {
        return Outcome::failure(rc & 0xff,
                                QStringLiteral("il nuovo archivio non si legge: ") + db.failure(rc).text);
    };
    if (const Outcome error = db.open(m_path, SQLITE_OPEN_READONLY, Archive::kBusyTimeoutMs))
        return Outcome::failure(error.code, QStringLiteral("il nuovo archivio non si apre: ") + error.text);
    for (int t = 0; t < kRepairTableCount; ++t) {
        if (!m_made[t])
            continue;
        SqliteStatement count(db, QString::fromLatin1(kCount).arg(repairTableName(t)).toUtf8().constData());
        const int rc = count.prepareResult() == SQLITE_OK ? count.step() : count.prepareResult();
        if (rc != SQLITE_ROW)
            return failed(rc);
        if (t == kMovMagTable)
            m_report->saved = count.columnInt64(0);
        else
            m_report->balanceTables.append({repairTableName(t), count.columnInt64(0)});
    }
    SqliteStatement numbers(db, kNumbers);
    int rc = numbers.prepareResult();
    if (rc == SQLITE_OK)
        rc = numbers.bindInt64(1, m_report->highest);
    qint64 expected = 1;
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        rc = numbers.step();
        const qint64 next = rc == SQLITE_ROW ? numbers.columnInt64(0) : m_report->highest + 1;
        if (next > expected)
            m_report->missing.append(numberRange(expected, next - 1));
        expected = next + 1;
    }
    if (rc != SQLITE_DONE)
        return failed(rc);
    m_report->fromOrphans = numberRanges(m_orphanNumbers);
    m_report->outOfPlace = numberRanges(m_outOfPlaceNumbers);
    return {};
}

} // namespace zelvaro
