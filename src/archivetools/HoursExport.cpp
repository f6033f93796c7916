#include "HoursExport.h"

#include "ComputedDays.h"
#include "CsvFile.h"
#include "HoursSummary.h"
#include "Progress.h"

#include <cmath>

namespace zelvaro {

Outcome collectExportRows(Archive &archive, QList<ExportRow> *rows, Progress *progress)
{
    rows->clear();
    bool going = true;
    // The pass cannot be stopped halfway: once cancelled, the rows left are only read past.
    const Outcome error = forEachComputedDay(archive, [&](const ComputedDay &day) {
        if (!going)
            return;
        ExportRow row;
        row.record = day.record;
        row.totale1 = day.boxes.totale1;
        row.totale2 = day.boxes.totale2;
        row.totale3 = day.boxes.totale3;
        row.totaleGiorno = day.dayTotal();
        if (day.madeDayTotal && std::isfinite(day.dayMinutes))
            row.minutiGiorno = minutesText(day.dayMinutes);
        row.totaleProgressivo = day.runningTotal();
        rows->append(row);
        going = goOn(progress, rows->size(), 0);
    });
    if (error.failed() || going)
        return error;
    rows->clear();
    return Outcome::cancelledByUser();
}

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

QByteArray exportCsv(const QList<ExportRow> &rows)
{
    QByteArray csv(kUtf8ByteOrderMark);
    csv.reserve(csv.size() + (rows.size() + 1) * 160);
    appendCsvLine(csv, exportHeader());
    for (const ExportRow &r : rows) {
        const HoursRecord &d = r.record;
        appendCsvLine(csv, {d.numMov, d.giorno, d.mese, d.anno, d.oraInizio1, d.oraFine1, d.oraInizio2,
                            d.oraFine2, d.oraInizio3, d.oraFine3, r.totale1, r.totale2, r.totale3,
                            r.totaleGiorno, r.totaleProgressivo, r.minutiGiorno});
    }
    return csv;
}

} // namespace zelvaro
