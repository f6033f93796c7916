#pragma once

#include "Holidays.h"

#include <QDate>
#include <QList>
#include <QMap>
#include <QString>

#include <array>
#include <optional>

namespace zelvaro {

// Contract hours valid from a date on, until a later entry's from-date.
struct ContractEntry
{
    QDate from;
    std::array<int, 7> minutes{}; // Monday to Sunday, whole minutes
};

enum class AbsenceType { Ferie, Malattia, Permesso, Festivita, Recupero };

struct Absence
{
    AbsenceType type = AbsenceType::Ferie;
    int minutes = 0; // as recorded; a recupero counts 0 toward the day
};

struct BalanceSettings
{
    QString worker;
    QString employer;
    std::optional<PatronDay> patron;
    int openingBalance = 0; // signed minutes: the bank at the first from-date
};

// What the balance is made of. `worked` holds, for each date with listed records, the sum of their
// day totals in whole minutes (as the summary counts them); a date in it counts as having records
// even at 0. Contract entries may come in any order; their from-dates are distinct.
struct BalanceInput
{
    QList<ContractEntry> contract;
    QMap<QDate, Absence> absences;
    QMap<QDate, double> worked;
    BalanceSettings settings;
};

// The five figures of a day or a period, in whole minutes. `absence` leaves out recupero; `balance`
// is worked + absence - expected; `running` is the opening balance plus every balance up to the
// end of the day or period.
struct BalanceTotals
{
    double worked = 0;
    double absence = 0;
    double expected = 0;
    double balance = 0;
    double running = 0;

    // Adds the sums of a later day or period and takes its running balance.
    void add(const BalanceTotals &later)
    {
        worked += later.worked;
        absence += later.absence;
        expected += later.expected;
        balance += later.balance;
        running = later.running;
    }
};

struct BalanceDay
{
    QDate date;
    int dayOfWeek = 0; // 1 (Monday) to 7
    QString holiday;   // the holiday's name, empty on a working day
    std::optional<int>
        contractMinutes; // the applying entry's minutes for the weekday; none before the first from-date
    std::optional<Absence> absence;
    bool counted = false; // inside the days of the balance; a day outside has all figures 0 but `running`
    BalanceTotals figures;
};

struct MonthBalance
{
    int year = 0;
    int month = 0; // 1 to 12
    BalanceTotals totals;
};

struct WeekBalance
{
    int isoYear = 0; // the ISO 8601 week-based year
    int week = 0;    // 1 to 53
    QDate monday;    // the whole week's Monday and Sunday, even where the range starts or ends inside it
    QDate sunday;
    BalanceTotals totals;
};

// The balance over the days counted: from the first from-date to the latest date with records or an
// absence (none when that date is earlier). Every month and ISO week of those days, in date order;
// the grand total, whose `running` is the final running balance; and a row for each day asked for.
struct Balance
{
    QDate first;
    QDate last; // before `first` when no day is counted
    QList<MonthBalance> months;
    QList<WeekBalance> weeks;
    BalanceTotals total;
    QList<BalanceDay> days;
};

// The minutes expected on `date`: the weekday's minutes of the entry with the latest from-date not
// after it, 0 on a holiday; none before the first from-date (also when there is no entry).
std::optional<int> expectedMinutes(const QList<ContractEntry> &contract,
                                   const std::optional<PatronDay> &patron, QDate date);

// The balance in one pass over the days, with a row for every day from `rowsFrom` to `rowsTo`
// (inclusive; none when either is invalid), inside the counted days or not. None without contract
// hours.
std::optional<Balance> computeBalance(const BalanceInput &input, QDate rowsFrom = {}, QDate rowsTo = {});

} // namespace zelvaro
