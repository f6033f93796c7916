#include "PrintLine.h"

#include "Archive.h"

namespace zelvaro {

namespace {

// `width` blanks followed by the text, keeping its last `width` characters.
QString rightCut(const QString &text, qsizetype width)
{
    return (QString(width, QLatin1Char(' ')) + text).right(width);
}

// A duration right-aligned in `width`; a longer one whole, since a cut figure would be wrong.
QString rightWhole(const QString &text, qsizetype width)
{
    return text.rightJustified(width, QLatin1Char(' '), false);
}

// "00" (or "0000") followed by the text, keeping its last `width` characters.
QString zeroCut(const QString &text, qsizetype width)
{
    return (QString(width, QLatin1Char('0')) + text).right(width);
}

QString timePair(const QString &start, const QString &end)
{
    return QLatin1Char(' ') + rightCut(start, 6) + QLatin1Char(' ') + rightCut(end, 6);
}

} // namespace

QString printLine(const HoursRecord &record, const BoxTexts &totals)
{
    QString line = record.numMov.leftJustified(5, QLatin1Char(' '), false);
    line += QLatin1Char(' ') + zeroCut(record.giorno, 2) + QLatin1Char('/') + zeroCut(record.mese, 2) +
            QLatin1Char('/') + zeroCut(record.anno, 4);
    line += timePair(record.oraInizio1, record.oraFine1);
    if (!trimBlanks(totals.totale2).isEmpty()) {
        line += QStringLiteral("  Tot.1: ") + rightWhole(totals.totale1, 14);
        line += timePair(record.oraInizio2, record.oraFine2);
        line += QStringLiteral("  Tot.2: ") + rightWhole(totals.totale2, 14);
    }
    if (!trimBlanks(totals.totale3).isEmpty()) {
        line += timePair(record.oraInizio3, record.oraFine3);
        line += QStringLiteral("  Tot.3: ") + rightWhole(totals.totale3, 15);
    }
    line += QStringLiteral("  Tot.Giorno: ") + rightWhole(totals.totaleGenerale, 14);
    line += QStringLiteral("  Tot.Settimana: ") + rightWhole(totals.totaleGenSettimana, 15);
    return line;
}

} // namespace zelvaro
