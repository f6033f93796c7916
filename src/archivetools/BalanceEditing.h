#pragma once

#include "Balance.h"
#include "Outcome.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace zelvaro {

class Archive;

// How a change of the contract hours, the absences or the settings ended, as zelvaro-archivio and the
// "Orario e assenze" window report it: done, with the sentence saying what was stored; refused, with
// a sentence naming the value that is not allowed or what is not there to remove; or failed, with the
// archive's error number and cause. Refused and failed changes write nothing.
struct BalanceEdit
{
    enum class Ending { Done, Refused, Failed };
    Ending ending = Ending::Done;
    QString text; // done: a sentence with a capital; else in small case, to follow "zelvaro-archivio: "
    int code = 0; // failed: the archive's error number
};

// The settings as the user types them; each one given is changed, the others stay.
struct SettingsTexts
{
    std::optional<QString> worker;         // any text on one line; empty for none
    std::optional<QString> employer;       // the same
    std::optional<QString> patron;         // GG/MM, or empty for no patron day
    std::optional<QString> openingBalance; // [-]H or [-]H.MM
};

// The changes of the tables of the balance, from the words the user typed: the values are checked
// first (dates GG/MM/AAAA, hour values H or H.MM with MM from 00 to 59 and at most 24.00, a leading '-'
// only for the opening balance), then the change is made in one transaction. `beforeWrite` (may be
// empty) runs just before a write, never before a refusal.
class BalanceEditor
{
public:
    explicit BalanceEditor(Archive &archive, std::function<void()> beforeWrite = {});

    // The contract hours from `from`, Monday to Sunday (seven hour values), replacing an entry with
    // the same from-date.
    BalanceEdit addContractEntry(const QString &from, const QStringList &hours);
    // Removes the entry whose from-date is `from`; refused when there is none.
    BalanceEdit removeContractEntry(const QString &from);
    // An absence of `type` (ferie, malattia, permesso, festivita, recupero) on each day from `from`
    // to `to` (empty: `from` alone) whose expected minutes are above 0, lasting `hours` or else the
    // day's expected minutes, replacing an absence on that day. The sentence names the days skipped
    // and why (a holiday by name, a day off, a day before the contract hours); refused when no day
    // is left.
    BalanceEdit addAbsences(const QString &type, const QString &from, const QString &to,
                            const std::optional<QString> &hours);
    // Removes the absences from `from` to `to` (empty: `from` alone); refused when there is none.
    BalanceEdit removeAbsences(const QString &from, const QString &to);
    BalanceEdit changeSettings(const SettingsTexts &texts);

private:
    BalanceEdit failed(const Outcome &error) const;

    Archive &m_archive;
    std::function<void()> m_beforeWrite;
};

// How zelvaro-archivio lists what is stored.
// "Dal 01/04/2025: lun 8.00, mar 8.00, mer 8.00, gio 8.00, ven 8.00, sab 0.00, dom 0.00"
QString contractEntryText(const ContractEntry &entry);
// "09/04/2025 ferie 8.00"
QString absenceText(QDate date, const Absence &absence);
// "Nome: …", "Datore di lavoro: …", "Santo patrono: GG/MM", "Saldo iniziale: -2.15"
QStringList settingsLines(const BalanceSettings &settings);

// The date as the user writes it: GG/MM/AAAA.
QString userDateText(QDate date);

} // namespace zelvaro
