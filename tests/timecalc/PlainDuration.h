#pragma once

#include <QRegularExpression>
#include <QString>

// A duration text in plain decimal digits: no exponent, inf, nan, padding, leading zero or "-0".
inline bool isPlainDuration(const QString &text)
{
    static const QString number = QStringLiteral(R"((?:0|-?[1-9][0-9]*(?:\.[0-9]*[1-9])?|-?0\.[0-9]*[1-9]))");
    static const QRegularExpression pattern(QStringLiteral("^%1 h / %1 Min\\.$").arg(number));
    return pattern.match(text).hasMatch();
}
