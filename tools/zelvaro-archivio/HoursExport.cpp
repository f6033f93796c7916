#include "HoursExport.h"

#include "Archive.h"
#include "CalcolaOre.h"
#include "TimeValues.h"

#include <QRegularExpression>

#include <cmath>

namespace zelvaro {

namespace {

QString minutesText(const QString &duration)
{
    const HoursMinutes total = readDuration(duration);
    const double minutes = total.hours * 60 + total.minutes;
    if (!std::isfinite(minutes))
        return {};
    // Whole numbers only: the durations hold whole hours and minutes. 0.0 + keeps "-0" out.
    return QString::number(0.0 + minutes, 'f', 0);
}

} // namespace

ArchiveError collectExportRows(Archive &archive, QList<ExportRow> *rows)
{
    rows->clear();
    BoxTexts boxes;
    WeekAccumulators week;
    week.reset();
    return archive.forEachListed([&](const HoursRecord &record) {
        setTimes(boxes, record.oraInizio1, record.oraFine1, record.oraInizio2, record.oraFine2,
                 record.oraInizio3, record.oraFine3);
        // The day total box is written only for a day that makes a total; emptied first, it tells
        // whether this record made one, and gets its earlier text back when it did not.
        const QString earlierDayTotal = boxes.totaleGenerale;
        boxes.totaleGenerale.clear();
        CALCOLA_ORE(boxes, week);
        const bool dayTotal = !boxes.totaleGenerale.isEmpty();

        ExportRow row;
        row.record = record;
        row.totale1 = boxes.totale1;
        row.totale2 = boxes.totale2;
        row.totale3 = boxes.totale3;
        if (dayTotal) {
            row.totaleGiorno = boxes.totaleGenerale;
            row.minutiGiorno = minutesText(boxes.totaleGenerale);
        } else {
            boxes.totaleGenerale = earlierDayTotal;
        }
        row.totaleProgressivo = boxes.totaleGenSettimana;
        rows->append(row);
    });
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

QByteArray csvField(const QString &text)
{
    // A spreadsheet evaluates a cell that begins like a formula: an apostrophe keeps it text.
    static const QRegularExpression plainNumber(QStringLiteral("^[+-]?[0-9]+([.,][0-9]+)?$"));
    const bool formulaLike = !text.isEmpty() && QStringLiteral("=+-@\t\r").contains(text.front()) &&
                             !plainNumber.match(text).hasMatch();
    QByteArray bytes = formulaLike ? "'" + text.toUtf8() : text.toUtf8();
    if (!bytes.contains(';') && !bytes.contains('"') && !bytes.contains('\r') && !bytes.contains('\n'))
        return bytes;
    bytes.replace('"', "\"\"");
    return '"' + bytes + '"';
}

namespace {

void appendLine(QByteArray &csv, const QStringList &fields)
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            csv += ';';
        csv += csvField(fields.at(i));
    }
    csv += "\r\n";
}

} // namespace

QByteArray exportCsv(const QList<ExportRow> &rows)
{
    QByteArray csv("\xEF\xBB\xBF");
    csv.reserve(csv.size() + (rows.size() + 1) * 160);
    appendLine(csv, exportHeader());
    for (const ExportRow &r : rows) {
        const HoursRecord &d = r.record;
        appendLine(csv, {d.numMov, d.giorno, d.mese, d.anno, d.oraInizio1, d.oraFine1, d.oraInizio2,
                         d.oraFine2, d.oraInizio3, d.oraFine3, r.totale1, r.totale2, r.totale3,
                         r.totaleGiorno, r.totaleProgressivo, r.minutiGiorno});
    }
    return csv;
}

} // namespace zelvaro
