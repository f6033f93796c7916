#include "EntryChecks.h"

#include "LeadingNumber.h"

namespace zelvaro {

bool timeGiven(const QString &text)
{
    return leadingNumber(text) != 0;
}

Refusal checkEntries(const QString &numberKey, const QString &oraInizio1, const QString &oraFine1,
                     const QString &oraInizio2, const QString &oraFine2, const QString &oraInizio3,
                     const QString &oraFine3)
{
    if (numberKey.isEmpty())
        return Refusal::Numero;
    if (!timeGiven(oraInizio1))
        return Refusal::Inizio1;
    if (!timeGiven(oraFine1))
        return Refusal::Fine1;
    const bool i2 = timeGiven(oraInizio2), f2 = timeGiven(oraFine2);
    if (!i2 && f2)
        return Refusal::Inizio2;
    if (i2 && !f2)
        return Refusal::Fine2;
    const bool i3 = timeGiven(oraInizio3), f3 = timeGiven(oraFine3);
    if (!i3 && f3)
        return Refusal::Inizio3;
    if (i3 && !f3)
        return Refusal::Fine3;
    return Refusal::None;
}

QString refusalMessage(Refusal refusal)
{
    switch (refusal) {
    case Refusal::None:
        return {};
    case Refusal::Numero:
        return QStringLiteral("Indicare il numero del movimento !!!");
    case Refusal::Inizio1:
        return QStringLiteral("Indicare l'ora di inizio 1.Periodo !!!");
    case Refusal::Fine1:
        return QStringLiteral("Indicare l'ora di fine 1.Periodo !!!");
    case Refusal::Inizio2:
        return QStringLiteral("Indicare l'ora di inizio 2.Periodo !!!");
    case Refusal::Fine2:
        return QStringLiteral("Indicare l'ora di fine 2.Periodo !!!");
    case Refusal::Inizio3:
        return QStringLiteral("Indicare l'ora di inizio 3.Periodo !!!");
    case Refusal::Fine3:
        return QStringLiteral("Indicare l'ora di fine 3.Periodo !!!");
    }
    return {};
}

} // namespace zelvaro
