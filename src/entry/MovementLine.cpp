#include "MovementLine.h"

#include <algorithm>

namespace zelvaro {

namespace {

// `text` left-aligned in `width` characters: blanks after it, or its first `width` characters.
void putLeft(QChar *out, int width, const QString &text)
{
    const int n = std::min<int>(width, text.size());
    std::copy_n(text.constData(), n, out);
    std::fill_n(out + n, width - n, u' ');
}

// `pad` repeated `width` times followed by `text`, cut to the last `width` characters.
void putRight(QChar *out, int width, const QString &text, char16_t pad)
{
    const int n = std::min<int>(width, text.size());
    std::fill_n(out, width - n, pad);
    std::copy_n(text.constData() + (text.size() - n), n, out + (width - n));
}

} // namespace

QString movementLine(const HoursRecord &record)
{
    QString line(kMovementLineLength, u' ');
    QChar *out = line.data();
    putLeft(out, 10, record.numMov);
    putRight(out + 11, 2, record.giorno, u'0');
    out[13] = u'/';
    putRight(out + 14, 2, record.mese, u'0');
    out[16] = u'/';
    putRight(out + 17, 4, record.anno, u'0');
    const QString *times[] = {&record.oraInizio1, &record.oraFine1,   &record.oraInizio2,
                              &record.oraFine2,   &record.oraInizio3, &record.oraFine3};
    int column = 22;
    for (const QString *time : times) {
        putRight(out + column, 10, *time, u' ');
        column += 11;
    }
    return line;
}

} // namespace zelvaro
