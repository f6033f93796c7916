#pragma once

#include <QString>
#include <QStringList>

namespace zelvaro::bench {

// The floors the program's operations are measured against: the least work that gives the same
// result, written with bare SQLite, POSIX and Qt calls in this process. Each fails the benchmark
// (exit 2) when it cannot run.

// The list query stepped through, every column read as text.
void floorScan(const QString &archive);

// The list query stepped through, every column read as text and written out, then padded to
// `bytes` in all: a new file beside `target` written through a 64 KiB buffer, flushed to disk and
// renamed to `target`, as a CSV file is.
void floorExport(const QString &archive, const QString &target, qint64 bytes);

// `lines` drawn one below the other with QPdfWriter on A4 with 10 mm margins, in the printout's
// fixed-pitch font at `pointSize`, into a QSaveFile at `target`.
void floorPrint(const QStringList &lines, bool landscape, double pointSize, const QString &target);

// A bare window: a list view shown with one line per listed record, its columns as text made when
// the view asks for the line.
void floorStartup(const QString &archive);

// A consistent copy of the archive into the new file `target`, made in one step with SQLite's
// online backup.
void floorCopy(const QString &archive, const QString &target);

// One row updated in one transaction with synchronous FULL and a rollback journal, then the list
// query scanned: the least a confirmed day costs.
void floorConfirm(const QString &archive);

} // namespace zelvaro::bench
