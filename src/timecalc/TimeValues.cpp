#include "TimeValues.h"

#include "LeadingNumber.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace zelvaro {

namespace {

// Room for any double in plain digits: at most 309 integer digits, or "-0." and about 325 decimals.
constexpr int kNumberRoom = 360;

char16_t *writeWhole(char16_t *out, long long value)
{
    unsigned long long magnitude = static_cast<unsigned long long>(value);
    if (value < 0) {
        *out++ = u'-';
        magnitude = 0 - magnitude;
    }
    char16_t reversed[20];
    int count = 0;
    do {
        reversed[count++] = char16_t(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    while (count > 0)
        *out++ = reversed[--count];
    return out;
}

char16_t *writeNumber(char16_t *out, double value)
{
    if (value >= -1e15 && value <= 1e15) {
        const auto whole = static_cast<long long>(value);
        if (double(whole) == value) // -0 becomes 0 here
            return writeWhole(out, whole);
    } else if (!std::isfinite(value)) {
        *out = u'0';
        return out + 1;
    }
    char digits[kNumberRoom];
    const auto [end, ec] = std::to_chars(digits, digits + kNumberRoom, value, std::chars_format::fixed);
    if (ec != std::errc()) {
        *out = u'0';
        return out + 1;
    }
    for (const char *p = digits; p != end; ++p)
        *out++ = char16_t(*p);
    return out;
}

template <std::size_t N> char16_t *writeText(char16_t *out, const char16_t (&text)[N])
{
    return std::copy(text, text + N - 1, out);
}

} // namespace

HoursMinutes splitTime(double t)
{
    if (!std::isfinite(t))
        return {};
    const double hours = std::floor(t);
    const double minutes = std::floor((t - hours) * 100 + 0.5);
    return {hours + 0.0, minutes + 0.0}; // + 0.0 turns -0 into 0
}

namespace {

// The digits of a whole number of at most 15 digits, or -1 for any other value.
int wholeDigits(double value)
{
    if (!(value >= -1e15 && value <= 1e15) || double(static_cast<long long>(value)) != value)
        return -1;
    unsigned long long magnitude = static_cast<unsigned long long>(std::abs(static_cast<long long>(value)));
    int digits = 1;
    while (magnitude >= 10) {
        magnitude /= 10;
        ++digits;
    }
    return digits + (value < 0 ? 1 : 0);
}

// Writes a whole number of `width` characters (wholeDigits) backwards from its last character.
void writeWholeAt(char16_t *out, int width, double value)
{
    unsigned long long magnitude = static_cast<unsigned long long>(std::abs(static_cast<long long>(value)));
    char16_t *p = out + width;
    do {
        *--p = char16_t(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (p != out)
        *--p = u'-';
}

} // namespace

void writeDurationText(QString &box, double hours, double minutes)
{
    // The usual whole figures go straight into the box. Staged on the stack and then copied, they
    // made the list fill up to half again slower whenever the heap happened to place the box at the
    // same offset within a 4 KB page as the stage (measured; the stores and loads then collide).
    const int hoursWidth = wholeDigits(hours);
    const int minutesWidth = wholeDigits(minutes);
    if (hoursWidth > 0 && minutesWidth > 0) {
        static constexpr char16_t kMiddle[] = u" h / ";
        static constexpr char16_t kEnd[] = u" Min.";
        if (box.size() != hoursWidth + 5 + minutesWidth + 5) // mostly as long as the text before
            box.resize(hoursWidth + 5 + minutesWidth + 5);
        char16_t *out = reinterpret_cast<char16_t *>(box.data());
        writeWholeAt(out, hoursWidth, hours);
        out += hoursWidth;
        for (int i = 0; i < 5; ++i)
            *out++ = kMiddle[i];
        writeWholeAt(out, minutesWidth, minutes);
        out += minutesWidth;
        for (int i = 0; i < 5; ++i)
            *out++ = kEnd[i];
        return;
    }
    char16_t text[2 * kNumberRoom + 16];
    char16_t *end = writeNumber(text, hours);
    end = writeText(end, u" h / ");
    end = writeNumber(end, minutes);
    end = writeText(end, u" Min.");

    const qsizetype size = end - text;
    box.resize(size);
    std::copy(text, end, reinterpret_cast<char16_t *>(box.data()));
}

QString durationText(double hours, double minutes)
{
    QString text;
    writeDurationText(text, hours, minutes);
    return text;
}

HoursMinutes readDuration(QStringView text)
{
    HoursMinutes result;
    result.hours = std::floor(leadingNumber(text));
    const char16_t *const end = text.utf16() + text.size();
    const char16_t *const slash = std::find(text.utf16(), end, u'/');
    if (slash != end)
        result.minutes = leadingNumber(QStringView(slash + 1, end));
    return result;
}

} // namespace zelvaro
