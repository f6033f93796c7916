#include "Timesheet.h"

#include "HoursSummary.h"

#include <algorithm>

namespace zelvaro {

namespace {

// The figures of some records of the sheet, counted by the summary's own rules.
class Counter
{
public:
    void add(const SheetRecord &r)
    {
        m_builder.add(r.record.anno, r.record.mese, r.record.giorno, r.complete, r.minutes);
    }
    PeriodTotals take() { return m_builder.finish().total; }

private:
    SummaryBuilder m_builder;
};

} // namespace

QString dayLabel(const QDate &date)
{
    return weekdayName(date.dayOfWeek()) + QLatin1Char(' ') + date.toString(QStringLiteral("dd/MM/yyyy"));
}

QString dayLabel(const SheetRecord &r)
{
    if (!r.date.isValid())
        return r.record.giorno + QLatin1Char('/') + r.record.mese + QLatin1Char('/') + r.record.anno;
    return dayLabel(r.date);
}

QString weekLabel(const QDate &day, const SheetKey &key)
{
    int isoYear = 0;
    const int week = day.weekNumber(&isoYear);
    const QDate monday = day.addDays(1 - day.dayOfWeek());
    const QDate first(key.year, key.month, 1);
    const QDate last = first.addMonths(1).addDays(-1);
    if (monday < first)
        return QStringLiteral("Settimana %1 (dal %2/%3)").arg(week).arg(first.day()).arg(first.month());
    if (monday.addDays(6) > last)
        return QStringLiteral("Settimana %1 (fino al %2/%3)").arg(week).arg(last.day()).arg(last.month());
    return QStringLiteral("Settimana %1 del %2").arg(week).arg(isoYear);
}

Sheet makeSheet(const SheetKey &key, QList<SheetRecord> records)
{
    Sheet sheet;
    sheet.key = key;
    std::stable_sort(records.begin(), records.end(),
                     [](const SheetRecord &a, const SheetRecord &b) { return a.date < b.date; });
    sheet.records = std::move(records);

    Counter month, week;
    int weekNumber = 0, isoYear = 0;
    QDate weekDay; // a day of the week being counted
    for (qsizetype i = 0; i < sheet.records.size(); ++i) {
        const SheetRecord &r = sheet.records.at(i);
        if (r.date.isValid()) {
            int year = 0;
            const int number = r.date.weekNumber(&year);
            if (i > 0 && (number != weekNumber || year != isoYear))
                sheet.rows.append({SheetRow::Kind::Week, -1, weekLabel(weekDay, key), week.take()});
            weekNumber = number;
            isoYear = year;
            weekDay = r.date;
        }
        Counter one;
        one.add(r);
        sheet.rows.append({SheetRow::Kind::Day, i, dayLabel(r), one.take()});
        week.add(r);
        month.add(r);
    }
    if (!key.invalidDates() && !sheet.records.isEmpty())
        sheet.rows.append({SheetRow::Kind::Week, -1, weekLabel(weekDay, key), week.take()});
    sheet.rows.append(
        {SheetRow::Kind::Total, -1, QStringLiteral("Totale ") + sheetPeriodName(key), month.take()});
    return sheet;
}

QString sheetPeriodName(const SheetKey &key)
{
    if (key.invalidDates())
        return QStringLiteral("Data non valida");
    return monthName(key.month) + QLatin1Char(' ') + QString::number(key.year);
}

QString dayTotalText(const SheetRecord &record)
{
    return record.complete ? record.dayTotal : QStringLiteral("incompleto");
}

QStringList timesheetLines(const Sheet &sheet)
{
    // Label 22, six times of 8, the total of 16 and the decimal hours of 12, one blank between. A
    // line without times (a subtotal) gives their room to its label.
    const auto line = [](const QString &label, const QStringList &times, const QString &total,
                         const QString &decimal) {
        QString text = label.leftJustified(times.isEmpty() ? 22 + 6 * 9 : 22);
        for (qsizetype i = 0; i < times.size(); ++i)
            text += QLatin1Char(' ') + times.at(i).rightJustified(8);
        text += QLatin1Char(' ') + total.rightJustified(16) + QLatin1Char(' ') + decimal.rightJustified(12);
        return text;
    };
    QStringList lines{QStringLiteral("ZELVARO - Foglio ore ") + sheetPeriodName(sheet.key), QString(),
                      line(QStringLiteral("Giorno"),
                           {QStringLiteral("Inizio 1"), QStringLiteral("Fine 1"), QStringLiteral("Inizio 2"),
                            QStringLiteral("Fine 2"), QStringLiteral("Inizio 3"), QStringLiteral("Fine 3")},
                           QStringLiteral("Totale"), QStringLiteral("Ore decimali"))};
    for (const SheetRow &row : sheet.rows) {
        if (row.kind == SheetRow::Kind::Day) {
            const SheetRecord &r = sheet.records.at(row.record);
            const HoursRecord &d = r.record;
            lines.append(line(row.label,
                              {d.oraInizio1, d.oraFine1, d.oraInizio2, d.oraFine2, d.oraInizio3, d.oraFine3},
                              dayTotalText(r), r.complete ? decimalHoursText(r.minutes) : QString()));
            continue;
        }
        lines.append(
            line(row.label, {}, hoursText(row.totals.minutes), decimalHoursText(row.totals.minutes)));
        if (row.kind == SheetRow::Kind::Week)
            lines.append(QString());
    }
    lines.append(QStringLiteral("Giorni lavorati: ") + QString::number(sheet.rows.constLast().totals.days));
    return lines;
}

} // namespace zelvaro
