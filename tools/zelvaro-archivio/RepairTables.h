#pragma once

#include "Outcome.h"
#include "TableScan.h"

#include <QList>
#include <QString>
#include <QStringList>


namespace zelvaro {

// The tables "ripara" carries into the new archive: MOV_MAG, then those of the balance.
inline constexpr int kRepairTableCount = 4;
inline constexpr int kMovMagTable = 0;

// How the rows of one table of the damaged file become rows of the new archive.
struct TableLayout
{
    QString name;                 // MOV_MAG, ORARIO_CONTRATTUALE, ASSENZE or IMPOSTAZIONI
    const char *create = nullptr; // the program's statement that makes it in the new archive
    QStringList columns;          // the new table's columns, in the order of `create`
    int recordColumns = 0;        // the columns of the table in the damaged file, in record order
    QList<int> source;            // for each column of `columns`, its place in the record (-1: none)
    int keyColumn = -1;   // the record column that is the INTEGER PRIMARY KEY, whose value is the rowid
    QList<bool> textOnly; // per record column: TEXT affinity, so never a number
    QList<bool> notNull;  // per record column
    quint32 root = 0;     // its root page in the damaged file, 0 when unknown

    // Whether `record` has the table's shape: as read from a leaf of the table's own b-tree
    // (`fromTree`: up to its column count, as a column added later leaves older records shorter),
    // or as found on a page no b-tree reaches (exactly its columns, NULL for the INTEGER PRIMARY
    // KEY, its NOT NULL columns filled). A TEXT column never holds a number.
    bool fits(const StoredRecord &record, bool fromTree) const;
    // The record's value for column `column` of `columns` (the rowid for the INTEGER PRIMARY KEY).
    StoredValue value(const LeafRow &row, int column) const;
};

// The name of table `table` (0 to kRepairTableCount - 1), and its columns as the program makes it.
QString repairTableName(int table);
QStringList repairTableColumns(int table);

// The layout of table `table` as `sql`, the statement the damaged file keeps for it, declares it;
// the program's own statement when `sql` is empty or is not one CREATE TABLE that SQLite accepts.
// Fails only for MOV_MAG without one of its columns, as the program would not open it.
Outcome tableLayout(int table, const QString &sql, TableLayout *layout);

// The value as text for a report: a text decoded from the file's `encoding` (1 UTF-8, 2 UTF-16le,
// 3 UTF-16be), a number in its usual form, a blob in hexadecimal, the null QString for null.
QString storedText(const StoredValue &value, int encoding);

} // namespace zelvaro
