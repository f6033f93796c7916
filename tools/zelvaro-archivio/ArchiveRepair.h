#pragma once

#include "Outcome.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace zelvaro {

// What "ripara" did. A failure's text is a sentence to follow a colon; then no archive was written.
struct RepairReport
{
    Outcome outcome;
    qint64 saved = 0;   // rows of MOV_MAG in the new archive, counted there
    qint64 highest = 0; // the highest NUM_MOV found in the damaged file, 0 when none was
    // The NUM_MOV from 1 to `highest` that the new archive, read back, does not hold, as ranges
    // ("NUM_MOV da 926 a 1055", "NUM_MOV 1200"): rows lost, or deleted before the damage.
    QStringList missing;
    bool tailUnknown = false; // parts of MOV_MAG did not read: rows above `highest` may be lost too
    QStringList unreadable;   // rows read but not stored, each with its reason
    QStringList duplicates;   // further copies of a key already stored, where they lie
    QStringList fromOrphans;  // NUM_MOV ranges stored from pages that no b-tree reaches any more
    QStringList outOfPlace;   // NUM_MOV stored from outside their page's key range: maybe altered
    QList<QPair<QString, qint64>> balanceTables; // the balance tables carried over, with their rows
    bool rolledBack = false;                     // an interrupted change was rolled back before reading
    QStringList damage; // what SQLite's check and the reading found wrong with the damaged file
    // Nothing was lost only when SQLite finds the damaged file sound, every page of its tables read
    // whole and every row was stored.
    bool lossless() const
    {
        return !outcome.failed() && damage.isEmpty() && unreadable.isEmpty() && duplicates.isEmpty() &&
               fromOrphans.isEmpty() && outOfPlace.isEmpty() && !tailUnknown;
    }
};

// Copies every row of MOV_MAG, and of the balance tables when the damaged archive has them, that
// can still be read from the archive `source` into the new archive `destination`, which must not
// exist; it is written under a temporary name and named only when complete, and nothing is left on
// failure. The rows are read straight from the file's pages (see TableScan), so a file whose header
// or end is damaged still gives every row whose cell is whole; each row keeps its own NUM_MOV. The
// damaged file is only read, except that an interrupted change is rolled back, and the changes of
// a WAL are moved into the file, by SQLite, when the file and its folder may be written.
RepairReport repairArchive(const QString &source, const QString &destination);

// The report for the terminal: the lines for standard output, then those for standard error
// (without the program's name).
QPair<QStringList, QStringList> repairReportLines(const RepairReport &report, const QString &source,
                                                  const QString &destination, qint64 elapsedMs);

} // namespace zelvaro
