#include "PrintLine.h"

#include <algorithm>

namespace zelvaro {

namespace {

// `text` after `pad` repeated `width` times, keeping its last `width` characters.
void appendCut(QString &line, const QString &text, qsizetype width, QChar pad)
{
    if (text.size() >= width) {
        line.append(QStringView(text).last(width));
        return;
    }
    line.resize(line.size() + width - text.size(), pad);
    line.append(text);
}

// A duration right-aligned in `width`; a longer one whole, since a cut figure would be wrong.
void appendWhole(QString &line, const QString &text, qsizetype width)
{
    if (text.size() < width)
        line.resize(line.size() + width - text.size(), QLatin1Char(' '));
    line.append(text);
}

// True when the text holds something besides blanks.
bool shown(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c != QLatin1Char(' '); });
}

void appendTimePair(QString &line, const QString &start, const QString &end)
{
    line.append(QLatin1Char(' '));
    appendCut(line, start, 6, QLatin1Char(' '));
    line.append(QLatin1Char(' '));
    appendCut(line, end, 6, QLatin1Char(' '));
}

} // namespace

QString printLine(const HoursRecord &record, const BoxTexts &totals)
{
    QString line;
    line.reserve(200);
    line.append(record.numMov);
    if (record.numMov.size() < 5)
        line.resize(line.size() + 5 - record.numMov.size(), QLatin1Char(' '));
    line.append(QLatin1Char(' '));
    appendCut(line, record.giorno, 2, QLatin1Char('0'));
    line.append(QLatin1Char('/'));
    appendCut(line, record.mese, 2, QLatin1Char('0'));
    line.append(QLatin1Char('/'));
    appendCut(line, record.anno, 4, QLatin1Char('0'));
    appendTimePair(line, record.oraInizio1, record.oraFine1);
    if (shown(totals.totale2)) {
        line.append(QLatin1String("  Tot.1: "));
        appendWhole(line, totals.totale1, 14);
        appendTimePair(line, record.oraInizio2, record.oraFine2);
        line.append(QLatin1String("  Tot.2: "));
        appendWhole(line, totals.totale2, 14);
    }
    if (shown(totals.totale3)) {
        appendTimePair(line, record.oraInizio3, record.oraFine3);
        line.append(QLatin1String("  Tot.3: "));
        appendWhole(line, totals.totale3, 15);
    }
    line.append(QLatin1String("  Tot.Giorno: "));
    appendWhole(line, totals.totaleGenerale, 14);
    line.append(QLatin1String("  Tot.Settimana: "));
    appendWhole(line, totals.totaleGenSettimana, 15);
    return line;
}

} // namespace zelvaro
