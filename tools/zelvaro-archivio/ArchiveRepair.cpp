#include "ArchiveRepair.h"

#include "Archive.h"
#include "ArchiveCheck.h"
#include "ArchiveFailure.h"
#include "ArchiveReading.h"
#include "BalanceSchema.h"
#include "FileHead.h"
#include "PageFile.h"
#include "RepairTables.h"
#include "SafeNewFile.h"
#include "SqliteStatement.h"
#include "TableScan.h"
#include "Texts.h"

#include <algorithm>
#include <array>
#include <optional>
#include <unordered_set>
#include <vector>

namespace zelvaro {

namespace {

constexpr const char *kIntegrityCheck = R"sql(PRAGMA integrity_check(20))sql";
constexpr const char *kCount = R"sql(SELECT COUNT(*) FROM %1)sql";
constexpr const char *kNumbers =
    R"sql(SELECT NUM_MOV FROM MOV_MAG WHERE NUM_MOV BETWEEN 1 AND ?1 ORDER BY NUM_MOV)sql";
constexpr int kSchemaColumns = 5; // type, name, tbl_name, rootpage, sql

// A damaged page or an unreadable sector; any other failure (a lock, memory) stops the repair.
bool isDamage(int rc)
{
    return (rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB || rc == SQLITE_IOERR_READ ||
           rc == SQLITE_IOERR_SHORT_READ;
}

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

enum class Origin { Tree, OutOfPlace, Orphan };

class Repair
{
public:
    Repair(const QString &source, const QString &temporary) : m_sourcePath(source), m_temporary(temporary) {}
    RepairReport run();

private:
    Outcome read();
    Outcome checkSource();
    Outcome readSchema(TableScan &scan);
    Outcome ensureTable(int table);
    Outcome store(int table, LeafRow &&row, Origin origin);
    Outcome storeMovMag(LeafRow &&row, Origin origin);
    Outcome storeBalance(int table, LeafRow &&row);
    Outcome readBack();
    Outcome writeFailure(int rc) const
    {
        return Outcome::failure(rc & 0xff, QStringLiteral("errore nella scrittura del nuovo archivio: ") +
                                               m_target.failure(rc).text);
    }
    Outcome readFailure(int rc) const
    {
        return Outcome::failure(rc & 0xff, QStringLiteral("impossibile leggere ") + quoted(m_sourcePath) +
                                               QStringLiteral(": ") + lowerFirst(m_source.failure(rc).text));
    }

    QString m_sourcePath, m_temporary;
    SqliteConnection m_source, m_target;
    int m_encoding = 1;
    std::array<std::optional<TableLayout>, kRepairTableCount> m_layouts;
    std::array<bool, kRepairTableCount> m_whole{}; // the table's b-tree read without damage
    bool m_tailRead = false;                       // MOV_MAG's way to its highest keys read whole
    std::array<std::optional<SqliteStatement>, kRepairTableCount> m_inserts;
    std::array<bool, kRepairTableCount> m_created{};
    std::vector<quint32> m_otherRoots;    // of tables the new archive does not hold
    std::unordered_set<qint64> m_numbers; // NUM_MOV stored
    std::vector<qint64> m_orphanNumbers, m_outOfPlaceNumbers;
    RepairReport m_report;
};

RepairReport Repair::run()
{
    ArchiveReading reading(m_sourcePath);
    Outcome error = reading.prepare(true);
    if (!error) {
        m_report.rolledBack = reading.rolledBack();
        if (reading.walPending())
            m_report.damage.append(QStringLiteral("le ultime modifiche sono ancora nel file ") +
                                   quoted(m_sourcePath + QStringLiteral("-wal")) +
                                   QStringLiteral(", che non è stato letto"));
        error = read();
    }
    for (std::optional<SqliteStatement> &insert : m_inserts)
        insert.reset();
    if (m_source.isOpen())
        m_source.exec("COMMIT"); // ends the read transaction
    m_source.close();
    reading.finish();
    if (!error) {
        if (const Outcome closeError = m_target.close())
            error = Outcome::failure(closeError.code,
                                     QStringLiteral("errore nella chiusura del nuovo archivio: ") +
                                         closeError.text);
    }
    if (!error)
        error = readBack();
    m_report.outcome = error;
    return m_report;
}

Outcome Repair::read()
{
    if (const Outcome error = checkSource())
        return error;
    PageFile file;
    if (const Outcome error = file.open(m_sourcePath))
        return error;
    m_encoding = file.textEncoding();
    if (!file.headerSound())
        m_report.damage.append(QStringLiteral("l'intestazione del file è danneggiata: le pagine sono state "
                                              "lette come pagine di ") +
                               QString::number(file.pageSize()) + QStringLiteral(" byte"));
    TableScan scan(file);
    if (const Outcome error = readSchema(scan))
        return error;
    if (const Outcome error = m_target.open(m_temporary, SQLITE_OPEN_READWRITE, Archive::kBusyTimeoutMs))
        return Outcome::failure(error.code,
                                QStringLiteral("errore nella scrittura del nuovo archivio: ") + error.text);
    WriteTransaction transaction(m_target);
    if (const Outcome error = transaction.begin())
        return Outcome::failure(error.code,
                                QStringLiteral("errore nella scrittura del nuovo archivio: ") + error.text);
    if (const Outcome error = ensureTable(kMovMagTable))
        return error;

    // The b-trees from their roots first: the pages they reach are the tables' own.
    Outcome failure;
    const auto keep = [&failure](Outcome outcome) {
        if (!failure)
            failure = outcome;
    };
    QList<LeafRow> outOfPlace[kRepairTableCount];
    for (int t = 0; t < kRepairTableCount; ++t) {
        if (!m_layouts[t] || m_layouts[t]->root == 0)
            continue;
        const TableLayout &layout = *m_layouts[t];
        const TableScan::Walk walk = scan.walk(
            layout.root, [&layout](const LeafRow &row) { return layout.fits(row.values, true); },
            [&](LeafRow &&row) { keep(store(t, std::move(row), Origin::Tree)); });
        m_whole[t] = !walk.damaged;
        if (t == kMovMagTable)
            m_tailRead = !walk.tailLost;
        outOfPlace[t] = walk.outOfPlace;
        if (t == kMovMagTable && layout.keyColumn >= 0)
            m_report.highest = std::max(m_report.highest, walk.highestKey);
    }
    for (const quint32 root : m_otherRoots)
        scan.walk(
            root, [](const LeafRow &) { return true; }, [](LeafRow &&) {});
    for (int t = 0; t < kRepairTableCount; ++t) {
        for (LeafRow &row : outOfPlace[t])
            keep(store(t, std::move(row), Origin::OutOfPlace));
    }
    // Then the leaves that no b-tree reaches and that are not free, by the shape of their rows.
    scan.readFreelist();
    scan.scanOrphans([&](LeafRow &&row) {
        for (int t = 0; t < kRepairTableCount; ++t) {
            if (m_layouts[t] && m_layouts[t]->fits(row.values, false)) {
                keep(store(t, std::move(row), Origin::Orphan));
                return;
            }
        }
    });
    if (failure)
        return failure;
    // Rows found off the table's b-tree mean that the b-tree misled its walk: its right edge too.
    m_report.tailUnknown = !m_tailRead || !m_orphanNumbers.empty();
    for (int t = 0; t < kRepairTableCount; ++t) {
        if (!m_layouts[t] || m_layouts[t]->root == 0)
            continue;
        if (const Outcome error = ensureTable(t)) // kept, rows or not
            return error;
        if (!m_whole[t])
            m_report.damage.append(QStringLiteral("la tabella ") + m_layouts[t]->name +
                                   QStringLiteral(" non si è letta intera"));
    }
    if (m_created[1] || m_created[2] || m_created[3]) {
        const QByteArray version = "PRAGMA user_version = " + QByteArray::number(kArchiveLayoutVersion);
        if (const int rc = m_target.exec(version.constData()); rc != SQLITE_OK)
            return writeFailure(rc);
    }
    for (std::optional<SqliteStatement> &insert : m_inserts)
        insert.reset();
    if (const int rc = transaction.commit(); rc != SQLITE_OK)
        return writeFailure(rc);
    return {};
}

// SQLite's own check of the damaged file, inside a read transaction that lasts until the pages
// are read: the program cannot change the file meanwhile.
Outcome Repair::checkSource()
{
    if (const Outcome error = m_source.open(m_sourcePath, SQLITE_OPEN_READONLY, Archive::kBusyTimeoutMs))
        return Outcome::failure(error.code, QStringLiteral("impossibile aprire ") + quoted(m_sourcePath) +
                                                QStringLiteral(": ") + lowerFirst(error.text));
    int rc = m_source.exec("BEGIN");
    if (rc != SQLITE_OK)
        return readFailure(rc);
    QStringList lines;
    SqliteStatement check(m_source, kIntegrityCheck);
    rc = check.prepareResult();
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        rc = check.step();
        if (rc == SQLITE_ROW)
            lines.append(check.columnText(0).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    }
    if (rc != SQLITE_DONE && !isDamage(rc))
        return readFailure(rc);
    if (rc != SQLITE_DONE)
        m_report.damage.append(QStringLiteral("SQLite non riesce a controllarlo: ") +
                               lowerFirst(m_source.failure(rc).text));
    else if (lines != QStringList{QStringLiteral("ok")})
        m_report.damage.append(QStringLiteral("il controllo di integrità di SQLite ha trovato danni: ") +
                               lines.join(QStringLiteral("; ")));
    else if (const QString length = fileLengthProblem(m_source); !length.isEmpty())
        m_report.damage.append(length);
    return {};
}

// The tables of the damaged file, from its schema (the b-tree of page 1). When the schema does not
// read whole, the tables it does not name are looked for by the shape of their rows.
Outcome Repair::readSchema(TableScan &scan)
{
    struct Entry
    {
        QString type, name, sql;
        qint64 root;
    };
    QList<Entry> entries;
    const TableScan::Walk walk = scan.walk(
        1,
        [](const LeafRow &row) {
            return row.values.size() == kSchemaColumns && row.values.at(3).type != StoredValue::Text;
        },
        [&](LeafRow &&row) {
            entries.append({storedText(row.values.at(0), m_encoding),
                            storedText(row.values.at(1), m_encoding),
                            storedText(row.values.at(4), m_encoding), row.values.at(3).integer});
        });
    if (walk.damaged)
        m_report.damage.append(QStringLiteral("l'elenco delle tabelle (pagina 1) non si è letto intero"));
    for (const Entry &entry : entries) {
        if (entry.type != QLatin1String("table") || entry.root <= 1 || entry.root > qint64(UINT32_MAX))
            continue;
        int table = 0;
        while (table < kRepairTableCount &&
               entry.name.compare(repairTableName(table), Qt::CaseInsensitive) != 0)
            ++table;
        if (table == kRepairTableCount || m_layouts[table]) {
            m_otherRoots.push_back(quint32(entry.root));
            continue;
        }
        TableLayout layout;
        if (const Outcome error = tableLayout(table, entry.sql, &layout))
            return Outcome::failure(error.code, QStringLiteral("impossibile leggere la struttura di ") +
                                                    quoted(m_sourcePath) + QStringLiteral(": ") +
                                                    lowerFirst(error.text));
        layout.root = quint32(entry.root);
        m_layouts[table] = layout;
    }
    if (!walk.damaged && !m_layouts[kMovMagTable])
        return Outcome::failure(
            SQLITE_ERROR, QStringLiteral("impossibile leggere la struttura di ") + quoted(m_sourcePath) +
                              QStringLiteral(": l'archivio non contiene la tabella MOV_MAG"));
    for (int t = 0; t < kRepairTableCount && walk.damaged; ++t) {
        if (!m_layouts[t]) {
            TableLayout layout;
            tableLayout(t, QString(), &layout);
            m_layouts[t] = layout;
        }
    }
    return {};
}

Outcome Repair::ensureTable(int table)
{
    if (m_inserts[table])
        return {};
    const TableLayout &layout = *m_layouts[table];
    if (const int rc = m_target.exec(layout.create); rc != SQLITE_OK)
        return writeFailure(rc);
    QStringList parameters;
    for (int c = 1; c <= layout.columns.size(); ++c)
        parameters.append(QLatin1Char('?') + QString::number(c));
    const QByteArray insert =
        table == kMovMagTable ? QByteArray(kInsertMovMagRow)
                              : ("INSERT INTO " + layout.name + QStringLiteral(" (") +
                                 layout.columns.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (") +
                                 parameters.join(QStringLiteral(", ")) + QLatin1Char(')'))
                                    .toUtf8();
    m_inserts[table].emplace(m_target, insert.constData());
    m_created[table] = true;
    if (m_inserts[table]->prepareResult() != SQLITE_OK)
        return writeFailure(m_inserts[table]->prepareResult());
    return {};
}

Outcome Repair::store(int table, LeafRow &&row, Origin origin)
{
    return table == kMovMagTable ? storeMovMag(std::move(row), origin) : storeBalance(table, std::move(row));
}

// Stores a row of MOV_MAG under its own NUM_MOV; a row without a whole NUM_MOV, or whose NUM_MOV
// is stored already, is listed instead. A failure only when writing fails.
Outcome Repair::storeMovMag(LeafRow &&row, Origin origin)
{
    const TableLayout &layout = *m_layouts[kMovMagTable];
    const StoredValue number = layout.value(row, 0);
    if (number.type == StoredValue::Null) {
        m_report.unreadable.append(QStringLiteral("la riga con ") + rowPlace(row) +
                                   QStringLiteral(" non ha NUM_MOV"));
        return {};
    }
    if (number.type != StoredValue::Integer) {
        m_report.unreadable.append(QStringLiteral("NUM_MOV \"") + storedText(number, m_encoding) +
                                   QStringLiteral("\" non è un numero intero (") + rowPlace(row) +
                                   QLatin1Char(')'));
        return {};
    }
    // A number out of its page's range may be altered: it does not widen the range reported.
    if (origin != Origin::OutOfPlace)
        m_report.highest = std::max(m_report.highest, number.integer);
    if (m_numbers.count(number.integer)) {
        m_report.duplicates.append(QStringLiteral("NUM_MOV ") + QString::number(number.integer) +
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
    if (origin == Origin::Orphan)
        m_orphanNumbers.push_back(number.integer);
    else if (origin == Origin::OutOfPlace)
        m_outOfPlaceNumbers.push_back(number.integer);
    return {};
}

// Stores a row of a balance table; one its keys or NOT NULL columns refuse is listed instead.
Outcome Repair::storeBalance(int table, LeafRow &&row)
{
    if (const Outcome error = ensureTable(table))
        return error;
    const TableLayout &layout = *m_layouts[table];
    SqliteStatement &insert = *m_inserts[table];
    for (int c = 0; c < layout.columns.size(); ++c)
        bindStoredValue(insert.get(), c + 1, layout.value(row, c), m_encoding);
    const int rc = insert.step();
    const int extended = sqlite3_extended_errcode(m_target.get());
    insert.reset();
    if (rc == SQLITE_DONE)
        return {};
    if ((rc & 0xff) != SQLITE_CONSTRAINT)
        return writeFailure(rc);
    const QString key =
        layout.columns.first() + QLatin1Char(' ') + storedText(layout.value(row, 0), m_encoding);
    if (extended == SQLITE_CONSTRAINT_NOTNULL)
        m_report.unreadable.append(layout.name + QStringLiteral(": la riga con ") + rowPlace(row) +
                                   QStringLiteral(" ha un valore obbligatorio vuoto"));
    else
        m_report.duplicates.append(layout.name + QLatin1Char(' ') + key + QStringLiteral(" (") +
                                   rowPlace(row) + QLatin1Char(')'));
    return {};
}

// The report's counts and missing numbers, read from the new archive itself.
Outcome Repair::readBack()
{
    SqliteConnection db;
    const auto failed = [&db](int rc) {
        return Outcome::failure(rc & 0xff,
                                QStringLiteral("il nuovo archivio non si legge: ") + db.failure(rc).text);
    };
    if (const Outcome error = db.open(m_temporary, SQLITE_OPEN_READONLY, Archive::kBusyTimeoutMs))
        return Outcome::failure(error.code, QStringLiteral("il nuovo archivio non si apre: ") + error.text);
    for (int t = 0; t < kRepairTableCount; ++t) {
        if (!m_created[t])
            continue;
        SqliteStatement count(db, QString::fromLatin1(kCount).arg(repairTableName(t)).toUtf8().constData());
        const int rc = count.prepareResult() == SQLITE_OK ? count.step() : count.prepareResult();
        if (rc != SQLITE_ROW)
            return failed(rc);
        if (t == kMovMagTable)
            m_report.saved = count.columnInt64(0);
        else
            m_report.balanceTables.append({repairTableName(t), count.columnInt64(0)});
    }
    SqliteStatement numbers(db, kNumbers);
    int rc = numbers.prepareResult();
    if (rc == SQLITE_OK)
        rc = numbers.bindInt64(1, m_report.highest);
    qint64 expected = 1;
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        rc = numbers.step();
        const qint64 next = rc == SQLITE_ROW ? numbers.columnInt64(0) : m_report.highest + 1;
        if (next > expected)
            m_report.missing.append(numberRange(expected, next - 1));
        expected = next + 1;
    }
    if (rc != SQLITE_DONE)
        return failed(rc);
    m_report.fromOrphans = numberRanges(m_orphanNumbers);
    m_report.outOfPlace = numberRanges(m_outOfPlaceNumbers);
    return {};
}

} // namespace

RepairReport repairArchive(const QString &source, const QString &destination)
{
    RepairReport report;
    const auto refuse = [&report](Outcome error) { // a copy: it may be the report's own
        report = RepairReport();
        report.outcome = error;
        return report;
    };
    SafeNewFile file(destination);
    if (const Outcome error = file.create())
        return refuse(Outcome::failure(error.code, lowerFirst(error.text)));
    const FileHead head = readFileHead(source);
    // A file whose first bytes are damaged is read all the same; an Access archive never.
    if (head.kind != FileKind::Sqlite && head.kind != FileKind::Other)
        return refuse(Outcome::failure(SQLITE_CANTOPEN, quoted(source) + QLatin1Char(' ') +
                                                            fileKindProblem(head, FileKind::Sqlite)));
    report = Repair(source, file.temporaryPath()).run();
    if (report.outcome)
        return refuse(report.outcome);
    Outcome error;
    if (!Archive::open(file.temporaryPath(), &error, Archive::OpenMode::ReadOnly))
        return refuse(Outcome::failure(error.code, QStringLiteral("il nuovo archivio non si apre: ") +
                                                       lowerFirst(error.text)));
    if ((error = file.commit()))
        return refuse(Outcome::failure(error.code, lowerFirst(error.text)));
    return report;
}

} // namespace zelvaro
