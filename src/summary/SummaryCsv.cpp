#include "SummaryCsv.h"

#include <QRegularExpression>

namespace zelvaro {

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

void appendCsvLine(QByteArray &csv, const QStringList &fields)
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            csv += ';';
        csv += csvField(fields.at(i));
    }
    csv += "\r\n";
}

namespace {

QStringList figures(const PeriodTotals &t)
{
    return {QString::number(t.days), QString::number(t.incomplete), minutesText(t.minutes),
            hoursText(t.minutes), decimalHoursText(t.minutes)};
}

QString dateText(const QDate &date)
{
    return date.toString(QStringLiteral("dd/MM/yyyy"));
}

} // namespace

QByteArray summaryCsv(const HoursSummary &summary, SummaryRows rows)
{
    const bool weeks = rows == SummaryRows::Weeks;
    // The closing rows name themselves in the first column and leave the period's other columns empty.
    const QStringList blanks(weeks ? 3 : 1, QString());
    QByteArray csv(kUtf8ByteOrderMark);
    const QStringList totalsHeader{QStringLiteral("Giorni"), QStringLiteral("Incompleti"),
                                   QStringLiteral("Minuti"), QStringLiteral("Ore"),
                                   QStringLiteral("Ore decimali")};
    if (weeks) {
        appendCsvLine(csv, QStringList{QStringLiteral("Anno ISO"), QStringLiteral("Settimana"),
                                       QStringLiteral("Dal"), QStringLiteral("Al")} +
                               totalsHeader);
        for (const WeekTotals &w : summary.weeks)
            appendCsvLine(csv, QStringList{QString::number(w.isoYear), QString::number(w.week),
                                           dateText(w.monday), dateText(w.monday.addDays(6))} +
                                   figures(w.totals));
    } else {
        appendCsvLine(csv, QStringList{QStringLiteral("Anno"), QStringLiteral("Mese")} + totalsHeader);
        for (const MonthTotals &m : summary.months)
            appendCsvLine(csv,
                          QStringList{QString::number(m.year), QString::number(m.month)} + figures(m.totals));
    }
    if (summary.invalidDates.records > 0)
        appendCsvLine(csv, QStringList{QStringLiteral("Data non valida")} + blanks +
                               figures(summary.invalidDates));
    appendCsvLine(csv, QStringList{QStringLiteral("Totale")} + blanks + figures(summary.total));
    return csv;
}

} // namespace zelvaro
