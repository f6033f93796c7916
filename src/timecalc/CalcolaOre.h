#pragma once

#include "TimeValues.h"

#include <QString>
#include <QStringView>

namespace zelvaro {

// The eleven box texts that the period, day and week computation reads and writes: six time
// entries in, five duration texts out. The window copies its boxes into one of these and back;
// the list fill and the printout keep one of their own.
struct BoxTexts
{
    QString oraInizio1, oraFine1;
    QString oraInizio2, oraFine2;
    QString oraInizio3, oraFine3;
    QString totale1, totale2, totale3; // period durations
    QString totaleGenerale;            // day total
    QString totaleGenSettimana;        // running ("week") total
};

// Puts a day's six time entries into `boxes`. The texts are copied into the boxes' own buffers,
// never shared, so a caller that reuses its source strings row after row (the archive's reader
// does) allocates nothing.
void setTimes(BoxTexts &boxes, QStringView oraInizio1, QStringView oraFine1, QStringView oraInizio2,
              QStringView oraFine2, QStringView oraInizio3, QStringView oraFine3);

// Copies `from` into `to`'s own buffer (no implicit sharing).
void copyText(QString &to, QStringView from);

// The running total that CALCOLA_ORE adds each day total to; callers reset it.
struct WeekAccumulators
{
    double hours = 0;
    double minutes = 0;
    void reset() { hours = minutes = 0; }
};

// Computes the three period durations, the day total and the running total from the six time
// entries of `boxes`. A period whose start or end reads as 0 is incomplete: its duration text is
// emptied. When period 1 is complete the day total is written and added to `week`, and the
// running total is written; otherwise day total, running total and `week` keep what they held.
// Returns whether the day made a total (period 1 complete); when it did, `dayTotal` (if given)
// receives it as the text shows it.
bool CALCOLA_ORE(BoxTexts &boxes, WeekAccumulators &week, HoursMinutes *dayTotal = nullptr);

// Six time entries held elsewhere (a record read from the archive).
struct TimeEntries
{
    QStringView oraInizio1, oraFine1;
    QStringView oraInizio2, oraFine2;
    QStringView oraInizio3, oraFine3;
};

// The same computation on `times`: the boxes' own six entries are neither read nor written.
bool CALCOLA_ORE(const TimeEntries &times, BoxTexts &boxes, WeekAccumulators &week,
                 HoursMinutes *dayTotal = nullptr);

} // namespace zelvaro
