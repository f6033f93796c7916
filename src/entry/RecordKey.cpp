#include "RecordKey.h"

#include "LeadingNumber.h"

#include <cmath>
#include <limits>

namespace zelvaro {

std::optional<qint64> recordNumberFromKey(const QString &key)
{
    if (key.isEmpty())
        return std::nullopt;
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    qint64 value = 0;
    for (const QChar c : key) {
        const char16_t u = c.unicode();
        if (u < u'0' || u > u'9')
            return std::nullopt;
        const int digit = u - u'0';
        if (value > (max - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    if (value <= 0)
        return std::nullopt;
    return value;
}

QString nextNumberText(const QString &key)
{
    if (const std::optional<qint64> n = recordNumberFromKey(key);
        n && *n < std::numeric_limits<qint64>::max())
        return QString::number(*n + 1);
    const double next = leadingNumber(key) + 1;
    if (next == std::floor(next) && std::fabs(next) < 9.0e15)
        return QString::number(qint64(next));
    return QString::number(next, 'g', 15);
}

} // namespace zelvaro
