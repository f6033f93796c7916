#pragma once

#include "HoursRecord.h"
#include "MovMagSchema.h"
#include "Outcome.h"

#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

namespace zelvaro {

class SqliteConnection;

// Every listed record ("select * from MOV_MAG  where NUM_MOV > 0"), in increasing number order.
inline constexpr const char *kListQuery =
    "SELECT NUM_MOV, ANNO, MESE, GIORNO, ORA_INIZIO_1, ORA_FINE_1, ORA_INIZIO_2, ORA_FINE_2, "
    "ORA_INIZIO_3, ORA_FINE_3, NOTE FROM MOV_MAG WHERE NUM_MOV > 0 ORDER BY NUM_MOV";

// Field text of one stored value (the database null arrives as an invalid QVariant): the empty
// text for null, else its text form with blanks (spaces) removed at both ends.
QString fieldText(const QVariant &value);

// Removes blanks (spaces only, as the field-text rule says) at both ends.
QString trimBlanks(const QString &text);

// The one connection to the hours archive, a SQLite file holding table MOV_MAG.
// Never shows UI: every operation returns an Outcome.
class Archive
{
public:
    // ReadOnly opens the file as SQLite does by itself for a write-protected file (reads work,
    // writes fail with SQLITE_READONLY); it lets tests show that case even when run as root.
    enum class OpenMode { ReadWrite, ReadOnly };

    // How long, in milliseconds, an operation waits by default for a lock held by another program
    // before it fails with SQLITE_BUSY.
    static constexpr int kBusyTimeoutMs = 1500;

    // Opens an existing archive read-write; never creates a file. Fails (code and Italian text)
    // for an empty path, a missing file, a file that is not SQLite, an Access/Jet file (which must
    // be converted with "zelvaro-archivio importa"), a missing MOV_MAG or column, a file that
    // SQLite's quick check finds damaged (SQLITE_CORRUPT, naming "zelvaro-archivio verifica" and
    // "ripara"), a file from a newer Zelvaro (its layout version above kArchiveLayoutVersion, never
    // written), or a file locked beyond `busyTimeoutMs` (>= 0), the wait of every later operation
    // too. A write-protected file opens for reading only.
    static std::unique_ptr<Archive> open(const QString &path, Outcome *error,
                                         OpenMode mode = OpenMode::ReadWrite,
                                         int busyTimeoutMs = kBusyTimeoutMs);

    // Creates a new empty archive; refuses when anything exists at `path`.
    static Outcome create(const QString &path);

    ~Archive(); // closes the connection if still open

    // CHIUDE_DATABASE: releases the file. Every later operation fails with SQLITE_MISUSE and
    // "Archivio chiuso".
    void close();
    bool isOpen() const;
    // True when writes will fail because the file could only be opened for reading.
    bool isReadOnly() const;
    Archive(const Archive &) = delete;
    Archive &operator=(const Archive &) = delete;

    QString path() const { return m_path; }

    // Whether a pass over the listed records reads NOTE (which the window never shows).
    enum class ListedNote { Read, Skipped };

    // Calls `row` for every record with NUM_MOV > 0, in increasing number order, from one query.
    // The record passed is reused from row to row; with ListedNote::Skipped its note is empty.
    Outcome forEachListed(const std::function<void(const HoursRecord &)> &row,
                          ListedNote note = ListedNote::Read);
    // The same pass read into `record`, which holds the last record read when it returns.
    Outcome forEachListed(HoursRecord &record, const std::function<void(const HoursRecord &)> &row,
                          ListedNote note = ListedNote::Read);

    // The highest NUM_MOV above 0, or nullopt when there is none (CERCA_ULT_MOV).
    Outcome lastNumber(std::optional<qint64> *number);

    // The record with this number, or nullopt when there is none (LEGGE_MOV).
    Outcome readRecord(qint64 number, std::optional<HoursRecord> *record);

    // Writes the record with this number in one transaction: the row is overwritten when it
    // exists (its NOTE is kept), else a new row is added with NOTE "" and the number the
    // archive gives (highest + 1). `storedNumber` receives the number of the row written.
    // A failure is returned only when nothing was stored, and its text says so; when SQLite
    // reports a failed commit that in fact took place, the stored row is read back and the write
    // counts as done.
    Outcome confirmRecord(qint64 number, const RecordValues &values, qint64 *storedNumber);

    // Deletes the row with this number; no row is not an error. As for confirmRecord, a failure
    // means that the row is still there.
    Outcome deleteRecord(qint64 number);

    // Writes a consistent copy of the archive to the new file `destination` with SQLite's online
    // backup (other programs may go on using the archive meanwhile). The copy is written beside
    // its destination under a temporary name and takes that name only when complete and checked;
    // an existing file is never replaced, and nothing is left behind on failure. A lock held by
    // another program is waited for as long as a write waits; a full disk is said to stop the copy.
    Outcome backupTo(const QString &destination);

private:
    friend class BalanceTables; // the tables of the balance beside MOV_MAG, on the same connection
    Archive(std::unique_ptr<SqliteConnection> connection, const QString &path, int busyTimeoutMs);
    Outcome writeFailure(int resultCode, const QString &outcome) const;
    bool journalLeft() const;
    std::unique_ptr<SqliteConnection> m_connection;
    QString m_path;
    int m_busyTimeoutMs;
};

} // namespace zelvaro
