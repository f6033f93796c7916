#include "MovementLine.h"

#include <algorithm>

namespace zelvaro {

namespace {

// `text` left-aligned in `width` characters: blanks after it, or its first `width` characters.
template <typename Char> void putLeft(Char *out, int width, const QString &text)
{
    const int n = std::min<int>(width, text.size());
    std::transform(text.constData(), text.constData() + n, out, [](QChar c) { return Char(c.unicode()); });
    std::fill_n(out + n, width - n, Char(' '));
}

// `pad` repeated `width` times followed by `text`, cut to the last `width` characters.
template <typename Char> void putRight(Char *out, int width, const QString &text, char pad)
{
    const int n = std::min<int>(width, text.size());
    std::fill_n(out, width - n, Char(pad));
    const QChar *from = text.constData() + (text.size() - n);
    std::transform(from, from + n, out + (width - n), [](QChar c) { return Char(c.unicode()); });
}

template <typename Char> void writeLine(const HoursRecord &record, Char *out)
{
    std::fill_n(out, kMovementLineLength, Char(' '));
    putLeft(out, 10, record.numMov);
    putRight(out + 11, 2, record.giorno, '0');
    out[13] = Char('/');
    putRight(out + 14, 2, record.mese, '0');
    out[16] = Char('/');
    putRight(out + 17, 4, record.anno, '0');
    const QString *times[] = {&record.oraInizio1, &record.oraFine1,   &record.oraInizio2,
                              &record.oraFine2,   &record.oraInizio3, &record.oraFine3};
    int column = 22;
    for (const QString *time : times) {
        putRight(out + column, 10, *time, ' ');
        column += 11;
    }
}

bool latin1(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
}

} // namespace

QString movementLine(const HoursRecord &record)
{
    QString line(kMovementLineLength, u' ');
    writeLine(record, reinterpret_cast<char16_t *>(line.data()));
    return line;
}

bool movementLineLatin1(const HoursRecord &record, char *out)
{
    for (const QString *field :
         {&record.numMov, &record.giorno, &record.mese, &record.anno, &record.oraInizio1, &record.oraFine1,
          &record.oraInizio2, &record.oraFine2, &record.oraInizio3, &record.oraFine3}) {
        if (!latin1(*field))
            return false;
    }
    writeLine(record, out);
    return true;
}

} // namespace zelvaro
