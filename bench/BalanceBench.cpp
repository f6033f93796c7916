#include "BalanceBench.h"

#include "Archive.h"
#include "BalanceCsv.h"
#include "BalanceTables.h"
#include "CsvFile.h"
#include "WorkedMinutes.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>

namespace zelvaro::bench {

namespace {

std::unique_ptr<Archive> openOrFail(const QString &path)
{
    Outcome error;
    std::unique_ptr<Archive> archive = Archive::open(path, &error);
    if (!archive)
        fail(error.text);
    return archive;
}

} // namespace

Paired
saldoPaired(const QString &path, const std::function<void(Archive &)> &floor,
            const std::function<Paired(const std::function<void()> &, const std::function<void()> &)> &pair)
{
    const QString copy = QFileInfo(path).absolutePath() + QStringLiteral("/saldo.mdb");
    QFile::remove(copy);
    if (!QFile::copy(path, copy))
        fail(QStringLiteral("copia dell'archivio non riuscita"));
    const std::unique_ptr<Archive> archive = openOrFail(copy);

    QMap<QDate, double> worked;
    if (const Outcome error = workedMinutesByDate(*archive, &worked))
        fail(error.text);
    const QDate last = worked.lastKey();
    const QDate first = last.addYears(-30);
    BalanceTables tables(*archive);
    bool replaced = false;
    QMap<QDate, Absence> absences;
    for (QDate day = first; day <= last; day = day.addDays(1)) {
        if (day.dayOfYear() % 14 == 0 && day.dayOfWeek() <= 5) // about 25 a year
            absences.insert(day, Absence{AbsenceType::Ferie, 480});
    }
    int replacedAbsences = 0;
    SettingsChange settings;
    settings.patron = PatronDay{4, 10};
    settings.openingBalance = -135;
    if (tables.saveContractEntry({first, {480, 480, 480, 480, 480, 0, 0}}, &replaced) ||
        tables.saveContractEntry({first.addYears(15), {456, 456, 456, 456, 456, 240, 0}}, &replaced) ||
        tables.saveAbsences(absences, &replacedAbsences) || tables.saveSettings(settings))
        fail(QStringLiteral("tabelle del saldo non scritte"));

    const Paired timed = pair([&] { floor(*archive); },
                              [&] {
                                  BalanceInput input;
                                  if (readBalanceInput(*archive, &input))
                                      fail(QStringLiteral("lettura"));
                                  const std::optional<Balance> balance = computeBalance(input);
                                  if (!balance || balance->months.size() < 360)
                                      fail(QStringLiteral("saldo mancante"));
                                  qsizetype bytes = 0;
                                  CsvWriter csv([&bytes](QByteArrayView part) {
                                      bytes += part.size();
                                      return Outcome();
                                  });
                                  writeBalanceCsv(*balance, SummaryRows::Months, csv);
                                  if (csv.finish() || bytes == 0)
                                      fail(QStringLiteral("CSV del saldo"));
                              });
    QFile::remove(copy);
    return timed;
}

} // namespace zelvaro::bench
