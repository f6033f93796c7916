#pragma once

#include <QString>

namespace zelvaro {

// The checks that "Conferma" makes before a record is stored, in their order. The first that
// fails names the refusal; Refusal::None means the entries may be stored.
enum class Refusal { None, Numero, Inizio1, Fine1, Inizio2, Fine2, Inizio3, Fine3 };

// A time counts as given when its text reads as a number other than 0.
bool timeGiven(const QString &text);

// `numberKey` is the number box text trimmed of blanks; the six texts are the time boxes as typed.
Refusal checkEntries(const QString &numberKey, const QString &oraInizio1, const QString &oraFine1,
                     const QString &oraInizio2, const QString &oraFine2, const QString &oraInizio3,
                     const QString &oraFine3);

// The message shown for a refusal ("Indicare ... !!!"); empty for Refusal::None.
QString refusalMessage(Refusal refusal);

} // namespace zelvaro
