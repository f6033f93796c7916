#include "ArchiveRepair.h"

#include "Archive.h"
#include "ArchiveCheck.h"
#include "ArchiveFailure.h"
#include "ArchiveReading.h"
#include "FileHead.h"
#include "PageFile.h"
#include "RepairTables.h"
#include "RepairTarget.h"
#include "SafeNewFile.h"
#include "SqliteStatement.h"
#include "TableScan.h"
#include "Texts.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace zelvaro {

namespace {

constexpr const char *kIntegrityCheck = R"sql(PRAGMA integrity_check(20))sql";
constexpr int kSchemaColumns = 5; // type, name, tbl_name, rootpage, sql

// A damaged page or an unreadable sector; any other failure (a lock, memory) stops the repair.
bool isDamage(int rc)
{
    return (rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB || rc == SQLITE_IOERR_READ ||
           rc == SQLITE_IOERR_SHORT_READ;
}

class Repair
{
public:
    Repair(const QString &source, const QString &temporary)
        : m_sourcePath(source), m_temporary(temporary), m_target(&m_report)
    {
    }
    RepairReport run();

private:
    Outcome read();
    Outcome checkSource();
    Outcome readSchema(TableScan &scan);
    Outcome store(int table, LeafRow &&row, RowOrigin origin)
    {
        return m_target.store(table, *m_layouts[table], std::move(row), origin);
    }
    Outcome readFailure(int rc) const
    {
        return Outcome::failure(rc & 0xff, QStringLiteral("impossibile leggere ") + quoted(m_sourcePath) +
                                               QStringLiteral(": ") + lowerFirst(m_source.failure(rc).text));
    }

    QString m_sourcePath, m_temporary;
    RepairReport m_report;
    SqliteConnection m_source;
    RepairTarget m_target;
    int m_encoding = 1;
    std::array<std::optional<TableLayout>, kRepairTableCount> m_layouts;
    std::array<bool, kRepairTableCount> m_whole{}; // the table's b-tree read without damage
    bool m_tailRead = false;                       // MOV_MAG's way to its highest keys read whole
    std::vector<quint32> m_otherRoots;             // of tables the new archive does not hold
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
    if (m_source.isOpen())
        m_source.exec("COMMIT"); // ends the read transaction
    m_source.close();
    reading.finish();
    if (!error)
        error = m_target.readBack();
    // Rows found off the table's b-tree mean that the b-tree misled its walk: its right edge too.
    m_report.tailUnknown = !m_tailRead || !m_report.fromOrphans.isEmpty();
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
    if (const Outcome error = m_target.begin(m_temporary, *m_layouts[kMovMagTable], m_encoding))
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
            [&](LeafRow &&row) { keep(store(t, std::move(row), RowOrigin::Tree)); });
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
            keep(store(t, std::move(row), RowOrigin::OutOfPlace));
    }
    // Then the leaves that no b-tree reaches and that are not free, by the shape of their rows.
    scan.readFreelist();
    scan.scanOrphans([&](LeafRow &&row) {
        for (int t = 0; t < kRepairTableCount; ++t) {
            if (m_layouts[t] && m_layouts[t]->fits(row.values, false)) {
                keep(store(t, std::move(row), RowOrigin::Orphan));
                return;
            }
        }
    });
    if (failure)
        return failure;
    for (int t = 0; t < kRepairTableCount; ++t) {
        if (!m_layouts[t] || m_layouts[t]->root == 0)
            continue;
        if (const Outcome error = m_target.ensureTable(t, *m_layouts[t])) // kept, rows or not
            return error;
        if (!m_whole[t])
            m_report.damage.append(QStringLiteral("la tabella ") + m_layouts[t]->name +
                                   QStringLiteral(" non si è letta intera"));
    }
    return m_target.finish();
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
