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

[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "zelvaro-bench: saldo: %s\n", qPrintable(what));
    std::exit(2);
}

std::unique_ptr<Archive> openOrFail(const QString &path)
{
    Outcome error;
    std::unique_ptr<Archive> archive = Archive::open(path, &error);
    if (!archive)
        fail(error.text);
    return archive;
}

} // namespace

double saldoMs(const QString &path, const std::function<double(const std::function<void()> &)> &median)
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

    const double ms = median([&] {
        BalanceInput input;
        if (readBalanceInput(*archive, &input))
            fail(QStringLiteral("lettura"));
        const std::optional<Balance> balance = computeBalance(input);
        if (!balance || balance->months.size() < 360)
            fail(QStringLiteral("saldo mancante"));
        QByteArray csv(kUtf8ByteOrderMark);
        forEachBalanceCsvRow(*balance, SummaryRows::Months,
                             [&](const QStringList &fields) { appendCsvLine(csv, fields); });
    });
    QFile::remove(copy);
    return ms;
}

} // namespace zelvaro::bench
