#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace zelvaro {

// A row the hours window would refuse to store again as it stands.
struct RefusedRow
{
    QString numero; // NUM_MOV as text
    QString date;   // GIORNO/MESE/ANNO field texts
    QString reason; // the window's own message, or why the window never shows the row
};

// What "verifica" finds. The file is sound when SQLite finds it intact and exactly as long as its
// pages, the program opens it and every row has its own whole NUM_MOV; refused rows are listed but
// do not make it unsound: the program lists, computes and prints them, and an import brings such
// rows over on purpose.
struct CheckReport
{
    bool sound = false;
    QString integrity;         // "ok", or what SQLite's integrity check reported
    QString length;            // "ok", or how the file's length differs from its pages'
    QString structure;         // "ok", or why the program would not open the file
    qint64 rows = -1;          // all rows of MOV_MAG (-1 when not counted)
    qint64 listed = -1;        // rows with NUM_MOV above 0
    QStringList balanceTables; // the balance tables the archive has, each with its rows: "ASSENZE 3 righe"
    QStringList problems;      // what makes the file unsound
    QList<RefusedRow> refused; // in NUM_MOV order
    bool rolledBack = false;   // an interrupted change was rolled back before the check
    QString interrupted;       // why the archive was not checked: a change to roll back first
};

class SqliteConnection;

// The file's length against its pages: SQLite reads only the pages its header counts, so bytes
// appended after them pass its check. Empty when they agree (or the last pages are in a "-wal");
// else what differs, or why it could not be read.
QString fileLengthProblem(const SqliteConnection &db);

// Checks the archive at `path` (read-only, but an interrupted change is rolled back first when the
// archive and its folder may be written, as Zelvaro does; see ArchiveReading).
CheckReport checkArchive(const QString &path);

// The report as text lines for the terminal, in Italian.
QStringList reportLines(const QString &path, const CheckReport &report);

} // namespace zelvaro
