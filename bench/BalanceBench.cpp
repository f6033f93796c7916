#include "BalanceBench.h"

#include "Archive.h"
#include "BalanceCsv.h"
#include "BalanceTables.h"
#include "CsvFile.h"
#include "FakePrinter.h"
#include "FakeSheetPrinter.h"
#include "Fakes.h"
#include "RiepilogoWindow.h"
#include "WorkedMinutes.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTreeWidget>

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

// The last 30 years of the archive's days given contract hours changing halfway, 25 days of ferie a
// year, a patron day and an opening balance.
void addBalanceTables(Archive &archive)
{
    QMap<QDate, double> worked;
    if (const Outcome error = workedMinutesByDate(archive, &worked))
        fail(error.text);
    const QDate last = worked.lastKey();
    const QDate first = last.addYears(-30);
    BalanceTables tables(archive);
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
}

// A copy of the archive at `path` under `name`, beside it, with the balance's tables.
QString copyWithBalance(const QString &path, const QString &name)
{
    const QString copy = QFileInfo(path).absolutePath() + QLatin1Char('/') + name;
    QFile::remove(copy);
    if (!QFile::copy(path, copy))
        fail(QStringLiteral("copia dell'archivio non riuscita"));
    addBalanceTables(*openOrFail(copy));
    return copy;
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

    addBalanceTables(*archive);

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

double riepilogoWindowWithBalanceMs(const QString &path)
{
    const QString copy = copyWithBalance(path, QStringLiteral("saldo-finestra.mdb"));
    double ms = 0;
    {
        const std::unique_ptr<Archive> archive = openOrFail(copy);
        test::FakeServices fakes;
        test::FakePrinter printer;
        test::FakeSheetPrinter sheetPrinter;
        ms = medianMs([&] {
            RiepilogoWindow window(*archive, fakes.services(), printer, sheetPrinter);
            window.show();
            QCoreApplication::processEvents();
            if (window.findChild<QTreeWidget *>(QStringLiteral("tvwPERIODI"))->columnCount() != 8)
                fail(QStringLiteral("riepilogo senza saldo"));
        });
        if (!fakes.messages.unexpected.isEmpty())
            fail(QStringLiteral("messaggi inattesi: ") + fakes.messages.unexpected.join(QLatin1Char('|')));
    }
    QFile::remove(copy);
    return ms;
}

} // namespace zelvaro::bench
