#pragma once

#include <QRegularExpression>
#include <QString>

// Whether `text` is a duration text whose numbers are plain decimal digits: no exponent, no inf or
// nan, no padding, no leading zero, no "-0".
inline bool isPlainDuration(const QString &text)
{
    static const QString number = QStringLiteral(R"((?:0|-?[1-9][0-9]*(?:\.[0-9]*[1-9])?|-?0\.[0-9]*[1-9]))");
    static const QRegularExpression pattern(QStringLiteral("^%1 h / %1 Min\\.$").arg(number));
    return pattern.match(text).hasMatch();
}
