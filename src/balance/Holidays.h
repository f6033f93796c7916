#pragma once

#include <QDate>
#include <QString>

#include <optional>

namespace zelvaro {

// The local patron-saint day: a day and month that some year has (29/02 included).
struct PatronDay
{
    int day = 0;
    int month = 0;
    friend bool operator==(const PatronDay &, const PatronDay &) = default;
};

// Easter Sunday of a Gregorian year (the Gregorian computus), for any year from 1 on.
QDate easterSunday(int year);

// The Italian name of the national holiday on `date`, else "Santo patrono" when it is the patron
// day, else empty. The same rules for every year, with the dates from which a holiday exists
// (Epifania 1986, Festa della Repubblica 2001, San Francesco d'Assisi 2026).
QString holidayName(QDate date, const std::optional<PatronDay> &patron = std::nullopt);

} // namespace zelvaro
