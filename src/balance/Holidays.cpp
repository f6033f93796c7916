#include "Holidays.h"

namespace zelvaro {

QDate easterSunday(int year)
{
    // The anonymous Gregorian algorithm (Meeus, Jones, Butcher).
    const int a = year % 19;
    const int b = year / 100;
    const int c = year % 100;
    const int f = (b + 8) / 25;
    const int g = (b - f + 1) / 3;
    const int h = (19 * a + b - b / 4 - g + 15) % 30;
    const int l = (32 + 2 * (b % 4) + 2 * (c / 4) - h - c % 4) % 7;
    const int m = (a + 11 * h + 22 * l) / 451;
    const int n = h + l - 7 * m + 114;
    return QDate(year, n / 31, n % 31 + 1);
}

QString holidayName(QDate date, const std::optional<PatronDay> &patron)
{
    struct Fixed
    {
        int month;
        int day;
        int fromYear;
        QStringView name;
    };
    static const Fixed fixed[] = {
        {1, 1, 0, u"Capodanno"},
        {1, 6, 1986, u"Epifania"},
        {4, 25, 0, u"Festa della Liberazione"},
        {5, 1, 0, u"Festa del Lavoro"},
        {6, 2, 2001, u"Festa della Repubblica"},
        {8, 15, 0, u"Ferragosto"},
        {10, 4, 2026, u"San Francesco d'Assisi"},
        {11, 1, 0, u"Ognissanti"},
        {12, 8, 0, u"Immacolata Concezione"},
        {12, 25, 0, u"Natale"},
        {12, 26, 0, u"Santo Stefano"},
    };
    int year = 0;
    int month = 0;
    int day = 0;
    date.getDate(&year, &month, &day);
    if (!date.isValid())
        return {};
    // The fixed date wins when Easter Monday falls on 25 April (2011): one holiday either way.
    for (const Fixed &f : fixed) {
        if (f.month == month && f.day == day && year >= f.fromYear)
            return QString::fromRawData(f.name.data(), f.name.size()); // static text, not copied
    }
    if (month == 3 || month == 4) {
        const qint64 easter = easterSunday(year).toJulianDay();
        if (date.toJulianDay() == easter)
            return QStringLiteral("Pasqua");
        if (date.toJulianDay() == easter + 1)
            return QStringLiteral("Lunedì dell'Angelo");
    }
    if (patron && patron->day == day && patron->month == month)
        return QStringLiteral("Santo patrono");
    return {};
}

} // namespace zelvaro
