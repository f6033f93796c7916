#pragma once

#include <QString>

namespace zelvaro {

// One row of MOV_MAG as field texts: a null becomes the empty text, a number its plain text form,
// and blanks are removed at both ends.
struct HoursRecord
{
    QString numMov;
    QString anno, mese, giorno;
    QString oraInizio1, oraFine1;
    QString oraInizio2, oraFine2;
    QString oraInizio3, oraFine3;
    QString note;
};

// What "Conferma" writes into a row (NUM_MOV and NOTE are never written from the window).
// Each text is stored trimmed of blanks at both ends.
struct RecordValues
{
    QString anno, mese, giorno;
    QString oraInizio1, oraFine1;
    QString oraInizio2, oraFine2;
    QString oraInizio3, oraFine3;
};

} // namespace zelvaro
