#include "LeadingNumber.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace zelvaro {

namespace {

// Significant digits kept for the conversion. Deciding the nearest double needs at most 767
// significant digits; the digits dropped beyond these only matter through whether any of them is
// non-zero, which a trailing '1' stands for. So any length of text reads exactly, with no heap.
constexpr int kMaxDigits = 800;
// An exponent written with more digits than this is beyond any double anyway.
constexpr std::int64_t kExponentLimit = 1'000'000'000'000;

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// Walks the significant characters of a text: blanks, tabs and line feeds are skipped wherever
// they stand. peek() gives 0 at the end, and a NUL in the text stops reading like any other
// character that does not fit.
class Reader
{
public:
    explicit Reader(QStringView text) : m_p(text.utf16()), m_end(m_p + text.size()) {}

    char16_t peek()
    {
        while (m_p != m_end && (*m_p == u' ' || *m_p == u'\t' || *m_p == u'\n'))
            ++m_p;
        return m_p == m_end ? char16_t(0) : *m_p;
    }
    void next() { ++m_p; }

private:
    const char16_t *m_p;
    const char16_t *m_end;
};

int digitIn(char16_t c, int base)
{
    int d = -1;
    if (isDigit(c))
        d = c - u'0';
    else if (c >= u'a' && c <= u'f')
        d = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        d = c - u'A' + 10;
    return d < base ? d : -1;
}

// The digits after "&H" (bitsPerDigit 4) or "&O" (3) as an unsigned whole number. It is read
// exactly in 64 bits; a number that does not fit there has no value and reads as 0, like a
// decimal number beyond the range of a double.
double readWhole(Reader &reader, int bitsPerDigit)
{
    const int base = 1 << bitsPerDigit;
    std::uint64_t value = 0;
    for (int d; (d = digitIn(reader.peek(), base)) >= 0; reader.next()) {
        if (value >> (64 - bitsPerDigit))
            return 0;
        value = (value << bitsPerDigit) | std::uint64_t(d);
    }
    return double(value);
}

constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// The common case, every time entry and duration text: an optional sign and at most 15 digits
// with an optional point, not followed by an exponent. Both the digits as a whole number and the
// power of ten are exact doubles, so one division gives the correctly rounded value. Returns
// false, having read nothing, for anything else.
bool readShort(QStringView text, double &value)
{
    const char16_t *p = text.utf16();
    const char16_t *const end = p + text.size();
    while (p != end && (*p == u' ' || *p == u'\t' || *p == u'\n'))
        ++p;
    bool negative = false;
    if (p != end && (*p == u'-' || *p == u'+'))
        negative = *p++ == u'-';
    std::uint64_t whole = 0;
    int digits = 0;
    int decimals = 0;
    bool point = false;
    for (; p != end; ++p) {
        const char16_t c = *p;
        if (isDigit(c)) {
            if (++digits > 15)
                return false;
            whole = whole * 10 + (c - u'0');
            decimals += point;
        } else if (c == u'.' && !point) {
            point = true;
        } else if (c != u' ' && c != u'\t' && c != u'\n') {
            if (c == u'E' || c == u'e' || c == u'D' || c == u'd' || c == u'&')
                return false;
            break;
        }
    }
    const double magnitude = double(whole) / kPowersOfTen[decimals];
    value = negative && whole != 0 ? -magnitude : magnitude;
    return true;
}

} // namespace

double leadingNumber(QStringView text)
{
    double value;
    if (readShort(text, value))
        return value;

    Reader reader(text);
    char16_t c = reader.peek();

    if (c == u'&') {
        reader.next();
        c = reader.peek();
        if (c == u'H' || c == u'h' || c == u'O' || c == u'o') {
            reader.next();
            return readWhole(reader, (c == u'H' || c == u'h') ? 4 : 3);
        }
        return 0;
    }

    bool negative = false;
    if (c == u'+' || c == u'-') {
        negative = c == u'-';
        reader.next();
    }

    // The value is digits[0..count) x 10^exponent, leading zeros dropped.
    char digits[kMaxDigits + 32];
    int count = 0;
    std::int64_t exponent = 0;
    bool anyDigit = false;
    bool point = false;
    bool droppedNonZero = false;
    for (;; reader.next()) {
        c = reader.peek();
        if (isDigit(c)) {
            anyDigit = true;
            if (count == 0 && c == u'0') {
                exponent -= point;
            } else if (count < kMaxDigits) {
                digits[count++] = char(c);
                exponent -= point;
            } else {
                droppedNonZero |= c != u'0';
                exponent += !point;
            }
        } else if (c == u'.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!anyDigit)
        return 0;

    if (c == u'E' || c == u'e' || c == u'D' || c == u'd') {
        reader.next();
        bool negativeExponent = false;
        c = reader.peek();
        if (c == u'+' || c == u'-') {
            negativeExponent = c == u'-';
            reader.next();
        }
        // An exponent without digits ("1E", "1E+") ends the reading: the value read so far stands.
        std::int64_t written = 0;
        for (; isDigit(c = reader.peek()); reader.next()) {
            if (written < kExponentLimit)
                written = written * 10 + (c - u'0');
        }
        exponent += negativeExponent ? -written : written;
    }

    if (count == 0)
        return 0;
    if (droppedNonZero) {
        digits[count++] = '1';
        --exponent;
    }
    // Decimal position of the first significant digit: beyond about 309 the number overflows a
    // double, below about -324 it is nearer to 0 than to any double.
    const std::int64_t magnitude = exponent + count - 1;
    if (magnitude > 310 || magnitude < -330)
        return 0;

    char *end = digits + count;
    *end++ = 'e';
    end = std::to_chars(end, digits + sizeof digits, exponent).ptr;
    value = 0;
    const auto [ptr, ec] = std::from_chars(digits, end, value, std::chars_format::general);
    if (ec != std::errc() || ptr != end || !std::isfinite(value) || value == 0)
        return 0;
    return negative ? -value : value;
}

} // namespace zelvaro
