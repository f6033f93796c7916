#include "HoursExport.h"

#include "ComputedDays.h"
#include "CsvFile.h"
#include "HoursSummary.h"
#include "Progress.h"

#include <cmath>
#include <iterator>

namespace zelvaro {

namespace {

// minutesText() of every day, the usual whole figures written without a string of their own.
class MinutesText
{
public:
    QStringView text(double minutes)
    {
        if (!(minutes >= -1e15 && minutes <= 1e15) || double(static_cast<qint64>(minutes)) != minutes) {
            m_other = minutesText(minutes);
            return m_other;
        }
        const qint64 whole = static_cast<qint64>(minutes);
        quint64 magnitude = whole < 0 ? 0 - quint64(whole) : quint64(whole);
        char16_t *first = std::end(m_digits);
        do {
            *--first = char16_t(u'0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (whole < 0)
            *--first = u'-';
        return QStringView(first, std::end(m_digits));
    }

private:
    char16_t m_digits[24];
    QString m_other;
};

} // namespace

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
    MinutesText minutes;
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
            csv.field(minutes.text(day.dayMinutes));
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
