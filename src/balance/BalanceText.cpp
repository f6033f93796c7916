#include "BalanceText.h"

#include <limits>

namespace zelvaro {

namespace {

// The value of a text made only of ASCII digits (at most 9 of them), -1 otherwise.
int digitsValue(QStringView text)
{
    if (text.isEmpty() || text.size() > 9)
        return -1;
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

std::optional<int> parseMinutes(QStringView text, int limit)
{
    const qsizetype point = text.indexOf(u'.');
    const QStringView whole = point < 0 ? text : text.first(point);
    if (whole.isEmpty())
        return std::nullopt;
    qint64 hours = 0;
    for (const QChar c : whole) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        hours = hours * 10 + (c.unicode() - u'0');
        if (hours > limit / 60) // stops long digit runs before they overflow
            return std::nullopt;
    }
    int minutes = 0;
    if (point >= 0) {
        const QStringView mm = text.sliced(point + 1);
        minutes = mm.size() == 2 ? digitsValue(mm) : -1;
        if (minutes < 0 || minutes > 59)
            return std::nullopt;
    }
    const qint64 total = hours * 60 + minutes;
    if (total > limit)
        return std::nullopt;
    return int(total);
}

} // namespace

std::optional<int> parseDayMinutes(QStringView text)
{
    return parseMinutes(text, kMinutesPerDay);
}

std::optional<int> parseSignedMinutes(QStringView text)
{
    const bool negative = text.startsWith(u'-');
    const std::optional<int> minutes =
        parseMinutes(negative ? text.sliced(1) : text, std::numeric_limits<int>::max());
    if (!minutes)
        return std::nullopt;
    return negative ? -*minutes : *minutes;
}

QString hourValueText(qint64 minutes)
{
    const quint64 magnitude = minutes < 0 ? 0 - quint64(minutes) : quint64(minutes);
    return QLatin1String(minutes < 0 ? "-" : "") + QString::number(magnitude / 60) + QLatin1Char('.') +
           QStringLiteral("%1").arg(magnitude % 60, 2, 10, QLatin1Char('0'));
}

QDate parseDate(QStringView text)
{
    if (text.size() != 10 || text[2] != u'/' || text[5] != u'/')
        return {};
    const int day = digitsValue(text.first(2));
    const int month = digitsValue(text.sliced(3, 2));
    const int year = digitsValue(text.sliced(6));
    if (year < 1000 || !QDate::isValid(year, month, day))
        return {};
    return QDate(year, month, day);
}

std::optional<PatronDay> parsePatronDay(QStringView text)
{
    if (text.size() != 5 || text[2] != u'/')
        return std::nullopt;
    const int day = digitsValue(text.first(2));
    const int month = digitsValue(text.sliced(3));
    if (!QDate::isValid(2000, month, day)) // a leap year: every day some year has
        return std::nullopt;
    return PatronDay{day, month};
}

QString patronDayText(PatronDay patron)
{
    return QStringLiteral("%1/%2")
        .arg(patron.day, 2, 10, QLatin1Char('0'))
        .arg(patron.month, 2, 10, QLatin1Char('0'));
}

namespace {

struct AbsenceWords
{
    AbsenceType type;
    QStringView word;
    QStringView name;
};

constexpr AbsenceWords kAbsenceWords[] = {
    {AbsenceType::Ferie, u"ferie", u"Ferie"},
    {AbsenceType::Malattia, u"malattia", u"Malattia"},
    {AbsenceType::Permesso, u"permesso", u"Permesso"},
    {AbsenceType::Festivita, u"festivita", u"Festività aziendale"},
    {AbsenceType::Recupero, u"recupero", u"Recupero"},
};

const AbsenceWords &wordsOf(AbsenceType type)
{
    for (const AbsenceWords &words : kAbsenceWords) {
        if (words.type == type)
            return words;
    }
    Q_UNREACHABLE();
}

} // namespace

std::optional<AbsenceType> absenceTypeFromWord(QStringView word)
{
    for (const AbsenceWords &words : kAbsenceWords) {
        if (words.word == word)
            return words.type;
    }
    return std::nullopt;
}

QString absenceTypeWord(AbsenceType type)
{
    return wordsOf(type).word.toString();
}

QString absenceTypeName(AbsenceType type)
{
    return wordsOf(type).name.toString();
}

} // namespace zelvaro
