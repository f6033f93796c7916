#include "BalanceMonth.h"

#include "BalanceText.h"
#include "HoursSummary.h"

#include <cmath>

namespace zelvaro {

namespace {

// What the note column says of a day: its holiday, its absence, or that it has no contract hours.
QString dayNote(const BalanceDay &day)
{
    QStringList notes;
    if (!day.holiday.isEmpty())
        notes.append(day.holiday);
    else if (day.contractMinutes == 0)
        notes.append(QStringLiteral("Riposo"));
    if (day.absence)
        notes.append(absenceTypeName(day.absence->type));
    return notes.join(QStringLiteral(", "));
}

void setFigures(QStringList &cells, const BalanceTotals &t, bool withWorked)
{
    if (withWorked) {
        cells[kBmWorked] = hoursText(t.worked);
        cells[kBmDecimal] = decimalHoursText(t.worked);
    }
    cells[kBmAbsence] = balanceFigureText(t.absence);
    cells[kBmExpected] = balanceFigureText(t.expected);
    cells[kBmBalance] = balanceFigureText(t.balance);
    cells[kBmRunning] = balanceFigureText(t.running);
}

BalanceMonthLine dayLine(const Sheet &records, const BalanceDay &day, qsizetype index, qsizetype record,
                         bool first)
{
    BalanceMonthLine line{BalanceMonthLine::Kind::Day,
                          index,
                          record,
                          first,
                          !day.holiday.isEmpty() || day.contractMinutes == 0,
                          QStringList(kBalanceMonthColumns),
                          QString()};
    QStringList &cells = line.cells;
    cells[kBmDay] = dayLabel(day.date);
    if (record >= 0) {
        const SheetRecord &r = records.records.at(record);
        const HoursRecord &d = r.record;
        cells[kBmNumMov] = d.numMov;
        const QString times[] = {d.oraInizio1, d.oraFine1,   d.oraInizio2,
                                 d.oraFine2,   d.oraInizio3, d.oraFine3};
        for (int i = 0; i < 6; ++i)
            cells[kBmTimes + i] = times[i];
        cells[kBmWorked] = dayTotalText(r);
        line.worked = r.complete ? balanceFigureText(r.minutes) : cells[kBmWorked];
        cells[kBmDecimal] = r.complete ? decimalHoursText(r.minutes) : QString();
    }
    if (!first)
        return line;
    cells[kBmNote] = dayNote(day);
    if (day.absence)
        cells[kBmAbsence] = balanceFigureText(day.absence->minutes); // a recupero's too, though it counts 0
    if (day.counted) {
        cells[kBmExpected] = balanceFigureText(day.figures.expected);
        cells[kBmBalance] = balanceFigureText(day.figures.balance);
    }
    return line;
}

} // namespace

QString balanceFigureText(double minutes)
{
    if (!(std::abs(minutes) < 1e15)) // a sum of absurd records: no hours text fits it
        return minutesText(minutes);
    return hourValueText(std::llround(minutes));
}

QStringList balanceMonthHeadings()
{
    return {QStringLiteral("Num. mov."),
            QStringLiteral("Giorno"),
            QStringLiteral("Inizio 1"),
            QStringLiteral("Fine 1"),
            QStringLiteral("Inizio 2"),
            QStringLiteral("Fine 2"),
            QStringLiteral("Inizio 3"),
            QStringLiteral("Fine 3"),
            QStringLiteral("Totale giorno"),
            QStringLiteral("Ore decimali"),
            QStringLiteral("Festività / assenza"),
            QStringLiteral("Ore assenza"),
            QStringLiteral("Ore previste"),
            QStringLiteral("Saldo"),
            QStringLiteral("Saldo progressivo")};
}

QList<BalanceMonthLine> balanceMonthLines(const Sheet &records, const BalanceSheet &balance)
{
    const SheetKey key{balance.year, balance.month};
    QList<BalanceMonthLine> lines;
    lines.reserve(balance.lines.size() + records.records.size());
    qsizetype next = 0; // the first record not laid out yet; records come in date order
    for (const BalanceSheetLine &b : balance.lines) {
        if (b.kind == BalanceSheetLine::Kind::Day) {
            const BalanceDay &day = balance.days.at(b.day);
            while (next < records.records.size() && records.records.at(next).date < day.date)
                ++next;
            bool first = true;
            for (; next < records.records.size() && records.records.at(next).date == day.date; ++next) {
                lines.append(dayLine(records, day, b.day, next, first));
                first = false;
            }
            if (first)
                lines.append(dayLine(records, day, b.day, -1, true));
            continue;
        }
        const bool week = b.kind == BalanceSheetLine::Kind::Week;
        BalanceMonthLine total{week ? BalanceMonthLine::Kind::Week : BalanceMonthLine::Kind::Month,
                               -1,
                               -1,
                               true,
                               false,
                               QStringList(kBalanceMonthColumns),
                               QString()};
        total.cells[kBmDay] =
            week ? weekLabel(b.from, key) : QStringLiteral("Totale ") + sheetPeriodName(key);
        setFigures(total.cells, b.totals, true);
        total.worked = balanceFigureText(b.totals.worked);
        lines.append(total);
    }
    return lines;
}

QStringList balanceMonthClosing(const BalanceSheet &balance)
{
    return {QStringLiteral("Saldo progressivo a inizio mese: ") + balanceFigureText(balance.runningAtStart),
            QStringLiteral("Saldo progressivo a fine mese: ") + balanceFigureText(balance.runningAtEnd())};
}

} // namespace zelvaro
