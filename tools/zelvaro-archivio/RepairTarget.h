#pragma once

#include "ArchiveRepair.h"
#include "RepairTables.h"
#include "SqliteConnection.h"
#include "SqliteStatement.h"

#include <array>
#include <optional>
#include <unordered_set>
#include <vector>

namespace zelvaro {

// Where a row found by "ripara" lies: on a leaf of its table's b-tree, on one but outside the key
// range its parent page gives (its number may be altered), or on a page no b-tree reaches.
enum class RowOrigin { Tree, OutOfPlace, Orphan };

// The new archive a repair writes, in one transaction: each table made on first use with the
// program's statement, each row stored under its own key; what cannot be stored is listed in the
// report instead.
class RepairTarget
{
public:
    explicit RepairTarget(RepairReport *report) : m_report(report) {}

    // Opens the (empty, temporary) file `path`, begins the transaction and makes MOV_MAG; texts
    // come in the damaged file's `encoding` (1 UTF-8, 2 UTF-16le, 3 UTF-16be).
    Outcome begin(const QString &path, const TableLayout &movMag, int encoding);
    // Makes the table `table` of `layout` when it is not made yet.
    Outcome ensureTable(int table, const TableLayout &layout);
    // Stores a row of table `table` as `layout` reads it. MOV_MAG's rows keep their NUM_MOV: a row
    // without a whole one, or with one stored already, is listed; so is a balance row whose key
    // is taken or whose NOT NULL column is empty. A failure only when writing fails.
    Outcome store(int table, const TableLayout &layout, LeafRow &&row, RowOrigin origin);
    // Marks the layout version when a balance table was made, commits and closes the file.
    Outcome finish();
    // After finish(): the rows of each table, and the NUM_MOV from 1 to the report's highest that
    // the file lacks, read back from the file itself into the report.
    Outcome readBack();

private:
    Outcome storeMovMag(const TableLayout &layout, LeafRow &&row, RowOrigin origin);
    Outcome storeBalance(int table, const TableLayout &layout, LeafRow &&row);
    Outcome writeFailure(int rc) const;

    RepairReport *m_report;
    QString m_path;
    int m_encoding = 1;
    SqliteConnection m_db;
    std::optional<WriteTransaction> m_transaction; // after m_db: it ends first
    std::array<std::optional<SqliteStatement>, kRepairTableCount> m_inserts;
    std::array<bool, kRepairTableCount> m_made{}; // the tables made
    std::unordered_set<qint64> m_numbers;         // NUM_MOV stored
    std::vector<qint64> m_orphanNumbers, m_outOfPlaceNumbers;
};

} // namespace zelvaro
