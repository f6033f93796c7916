#include "HoursExport.h"

#include "ComputedDays.h"
#include "CsvFile.h"
#include "HoursSummary.h"
#include "Progress.h"

#include <cmath>

namespace zelvaro {

QStringList exportHeader()
{
    return {
        QStringLiteral("Numero"),       QStringLiteral("Giorno"),        QStringLiteral("Mese"),
        QStringLiteral("Anno"),         QStringLiteral("Inizio 1"),      QStringLiteral("Fine 1"),
        QStringLiteral("Inizio 2"),     QStringLiteral("Fine 2"),        QStringLiteral("Inizio 3"),
        QStringLiteral("Fine 3"),       QStringLiteral("Totale 1"),      QStringLiteral("Totale 2"),
        QStringLiteral("Totale 3"),     QStringLiteral("Totale giorno"), QStringLiteral("Totale progressivo"),
        QStringLiteral("Minuti giorno")};
}

Outcome writeHoursCsv(Archive &archive, CsvWriter &csv, qsizetype *rows, Progress *progress)
{
    csv.line(exportHeader());
    qsizetype written = 0;
    bool going = true;
    // The pass cannot be stopped halfway: once cancelled, the rows left are only read past.
    const Outcome error = forEachComputedDay(archive, [&](const ComputedDay &day) {
        if (!going)
            return;
        const HoursRecord &d = day.record;
        for (const QString *text :
             {&d.numMov, &d.giorno, &d.mese, &d.anno, &d.oraInizio1, &d.oraFine1, &d.oraInizio2, &d.oraFine2,
              &d.oraInizio3, &d.oraFine3, &day.boxes.totale1, &day.boxes.totale2, &day.boxes.totale3})
            csv.field(*text);
        csv.field(day.dayTotal());
        csv.field(day.runningTotal());
        if (day.madeDayTotal && std::isfinite(day.dayMinutes))
            csv.field(minutesText(day.dayMinutes));
        else
            csv.field({});
        csv.endLine();
        going = goOn(progress, ++written, 0);
    });
    if (rows)
        *rows = written;
    if (error.failed())
        return error;
    return going ? Outcome() : Outcome::cancelledByUser();
}

} // namespace zelvaro
