#pragma once

#include <QString>

#include <optional>

namespace zelvaro {

// The record number that a record key text names: a whole number greater than 0 written in
// decimal digits only (leading zeros allowed, no sign, no blanks, no decimal point) that fits in
// 64 bits; nullopt for anything else. The key is bound to the archive's statements as this number,
// never pasted into their text: a number box holding "1 or 1=1" names no record rather than all.
std::optional<qint64> recordNumberFromKey(const QString &key);

// The number that follows a record key: the key read as a leading number, plus 1, in plain
// decimal digits; "1" for an empty key. A whole-number key is counted exactly.
QString nextNumberText(const QString &key);

} // namespace zelvaro
