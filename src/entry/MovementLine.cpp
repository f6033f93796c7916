#include "MovementLine.h"

#include <algorithm>

namespace zelvaro {

namespace {

// Places characters into the line, remembering every bit any of them set.
template <typename Char> struct Writer
{
    Char *out;
    char16_t bits = 0;

    void copy(const QChar *from, int n, int at)
    {
        for (int i = 0; i < n; ++i) {
            const char16_t c = from[i].unicode();
            bits |= c;
            out[at + i] = Char(c);
        }
    }
    // `text` left-aligned in `width` characters: blanks after it, or its first `width` characters.
    void left(int at, int width, const QString &text)
    {
        const int n = std::min<int>(width, text.size());
        copy(text.constData(), n, at);
        std::fill_n(out + at + n, width - n, Char(' '));
    }
    // `pad` repeated `width` times followed by `text`, cut to the last `width` characters.
    void right(int at, int width, const QString &text, char pad)
    {
        const int n = std::min<int>(width, text.size());
        std::fill_n(out + at, width - n, Char(pad));
        copy(text.constData() + (text.size() - n), n, at + width - n);
    }
};

// Writes the line at `out`; returns every bit set by a character of it.
template <typename Char> char16_t writeLine(const HoursRecord &record, Char *out)
{
    Writer<Char> line{out};
    line.left(0, 10, record.numMov);
    out[10] = Char(' ');
    line.right(11, 2, record.giorno, '0');
    out[13] = Char('/');
    line.right(14, 2, record.mese, '0');
    out[16] = Char('/');
    line.right(17, 4, record.anno, '0');
    const QString *times[] = {&record.oraInizio1, &record.oraFine1,   &record.oraInizio2,
                              &record.oraFine2,   &record.oraInizio3, &record.oraFine3};
    int column = 21;
    for (const QString *time : times) {
        out[column] = Char(' ');
        line.right(column + 1, 10, *time, ' ');
        column += 11;
    }
    return line.bits;
}

} // namespace

QString movementLine(const HoursRecord &record)
{
    QString line(kMovementLineLength, Qt::Uninitialized);
    writeLine(record, reinterpret_cast<char16_t *>(line.data()));
    return line;
}

bool movementLineLatin1(const HoursRecord &record, char *out)
{
    return writeLine(record, out) <= 0xFF;
}

} // namespace zelvaro
