#include "Balance.h"

#include <algorithm>

namespace zelvaro {

namespace {

int dayExpected(const ContractEntry &entry, int dayOfWeek, const QString &holiday)
{
    return holiday.isEmpty() ? entry.minutes[dayOfWeek - 1] : 0;
}

} // namespace

std::optional<int> expectedMinutes(const QList<ContractEntry> &contract,
                                   const std::optional<PatronDay> &patron, QDate date)
{
    const ContractEntry *applying = nullptr;
    for (const ContractEntry &entry : contract) {
        if (entry.from <= date && (!applying || entry.from > applying->from))
            applying = &entry;
    }
    if (!applying || !date.isValid())
        return std::nullopt;
    return dayExpected(*applying, date.dayOfWeek(), holidayName(date, patron));
}

std::optional<Balance> computeBalance(const BalanceInput &input, QDate rowsFrom, QDate rowsTo)
{
    QList<ContractEntry> contract = input.contract;
    contract.removeIf([](const ContractEntry &entry) { return !entry.from.isValid(); });
    if (contract.isEmpty())
        return std::nullopt;
    std::stable_sort(contract.begin(), contract.end(),
                     [](const ContractEntry &a, const ContractEntry &b) { return a.from < b.from; });

    Balance result;
    result.first = contract.front().from;
    QDate last; // invalid sorts before every date
    if (!input.worked.isEmpty())
        last = input.worked.lastKey();
    if (!input.absences.isEmpty())
        last = std::max(last, input.absences.lastKey());
    result.last = last >= result.first ? last : result.first.addDays(-1);

    const qint64 first = result.first.toJulianDay();
    const qint64 end = result.last.toJulianDay();
    const bool rows = rowsFrom.isValid() && rowsTo.isValid() && rowsFrom <= rowsTo;
    const qint64 rowsStart = rows ? rowsFrom.toJulianDay() : 0;
    const qint64 rowsEnd = rows ? rowsTo.toJulianDay() : -1;
    if (rows)
        result.days.reserve(rowsEnd - rowsStart + 1);
    const qint64 from = rows ? std::min(first, rowsStart) : first;
    const qint64 to = rows ? std::max(end, rowsEnd) : end;

    const std::optional<PatronDay> &patron = input.settings.patron;
    const ContractEntry *applying = nullptr;
    auto nextEntry = contract.cbegin();
    auto worked = input.worked.lowerBound(QDate::fromJulianDay(from));
    auto absence = input.absences.lowerBound(QDate::fromJulianDay(from));
    double running = input.settings.openingBalance;

    for (qint64 jd = from; jd <= to; ++jd) {
        const QDate date = QDate::fromJulianDay(jd);
        while (nextEntry != contract.cend() && nextEntry->from <= date)
            applying = &*nextEntry++;
        double workedMinutes = 0;
        if (worked != input.worked.cend() && worked.key() == date)
            workedMinutes = *worked++;
        const Absence *absent = nullptr;
        if (absence != input.absences.cend() && absence.key() == date)
            absent = &*absence++;

        int year = 0;
        int month = 0;
        int day = 0;
        date.getDate(&year, &month, &day);
        const int dayOfWeek = date.dayOfWeek();
        const QString holiday = holidayName(date, patron); // static texts: no allocation
        const bool counted = jd >= first && jd <= end;
        BalanceTotals figures;
        if (counted) {
            figures.worked = workedMinutes;
            // Time off out of the bank is shown but not credited: the day's balance pays for it.
            if (absent && absent->type != AbsenceType::Recupero)
                figures.absence = absent->minutes;
            figures.expected = dayExpected(*applying, dayOfWeek, holiday);
            figures.balance = figures.worked + figures.absence - figures.expected;
            running += figures.balance;
            figures.running = running;
            if (result.months.isEmpty() || day == 1)
                result.months.append(MonthBalance{year, month, {}});
            if (result.weeks.isEmpty() || dayOfWeek == 1) {
                int isoYear = 0;
                const int week = date.weekNumber(&isoYear);
                const QDate monday = date.addDays(1 - dayOfWeek);
                result.weeks.append(WeekBalance{isoYear, week, monday, monday.addDays(6), {}});
            }
            result.months.back().totals.add(figures);
            result.weeks.back().totals.add(figures);
            result.total.add(figures);
        }
        figures.running = running;
        if (jd >= rowsStart && jd <= rowsEnd) {
            std::optional<int> contractMinutes;
            if (applying)
                contractMinutes = applying->minutes[dayOfWeek - 1];
            result.days.append(BalanceDay{date, dayOfWeek, holiday, contractMinutes,
                                          absent ? std::optional<Absence>(*absent) : std::nullopt, counted,
                                          figures});
        }
    }
    result.total.running = running;
    return result;
}

} // namespace zelvaro
