#pragma once

#include <QStringView>

namespace zelvaro {

// Reads the number at the start of a text: the one rule by which every text of the program
// becomes a number. Blanks, tabs and line feeds are skipped wherever they stand; then an
// optional sign, digits with at most one '.', an optional exponent (E or D, either case, optional
// sign, digits); "&H" / "&O" read hexadecimal / octal whole numbers. Reading stops at the first
// character that does not fit. ',' is never a decimal point. Never depends on the locale.
// Returns 0 for a text without a leading number and for a value beyond the range of a double;
// never returns inf, nan or -0.
double leadingNumber(QStringView text);

} // namespace zelvaro
