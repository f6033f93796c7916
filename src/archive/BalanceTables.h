#pragma once

#include "Balance.h"
#include "Outcome.h"

#include <QDate>
#include <QList>
#include <QMap>
#include <QString>

#include <functional>
#include <optional>

namespace zelvaro {

class Archive;
class SqliteConnection;

// What the tables of the balance hold (BalanceSchema.h): the contract hours in from-date order, the
// absences by date and the settings.
struct StoredBalance
{
    QList<ContractEntry> contract;
    QMap<QDate, Absence> absences;
    BalanceSettings settings;
};

// A change of the settings: each field given is stored, the others stay as they are.
struct SettingsChange
{
    std::optional<QString> worker;
    std::optional<QString> employer;
    std::optional<std::optional<PatronDay>> patron; // a patron day, or none to remove it
    std::optional<int> openingBalance;              // signed minutes
};

// Refuses, by name, a file whose PRAGMA user_version is above kArchiveLayoutVersion: it comes from a
// newer Zelvaro and must not be written. Reads only.
Outcome checkLayoutVersion(const SqliteConnection &connection);

// The contract hours, the absences and the settings of an open archive. Reading never writes: an
// archive without the tables (or without some of them) reads as having no rows in them. Each write
// is one transaction, with the busy wait the archive was opened with; the first one creates the
// missing tables and sets the layout version, so that a failed write leaves the file as it was.
class BalanceTables
{
public:
    explicit BalanceTables(Archive &archive) : m_archive(archive) {}

    // Everything stored. A value the program never writes (a date that is not 'AAAA-MM-GG', minutes
    // outside 0 to 24 hours, an unknown absence type or setting value) fails, naming its table,
    // column and row.
    Outcome read(StoredBalance *stored) const;

    // Stores the entry, replacing one with the same from-date (`replaced` says whether it did).
    Outcome saveContractEntry(const ContractEntry &entry, bool *replaced);
    // Removes the entry with this from-date; `removed` is false when there was none.
    Outcome removeContractEntry(QDate from, bool *removed);
    // Stores each absence on its date, replacing one already there (`replaced` counts those).
    Outcome saveAbsences(const QMap<QDate, Absence> &absences, int *replaced);
    // Removes the absences from `from` to `to` inclusive; `removed` counts them.
    Outcome removeAbsences(QDate from, QDate to, int *removed);
    Outcome saveSettings(const SettingsChange &change);

private:
    // Runs `change` inside one write transaction, once the tables exist. `change` returns SQLite's
    // result code (SQLITE_OK or SQLITE_DONE when it went well).
    Outcome write(const std::function<int(const SqliteConnection &)> &change);

    Archive &m_archive;
};

} // namespace zelvaro
