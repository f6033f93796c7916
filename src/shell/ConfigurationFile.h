#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace zelvaro {

// The first line of a file as bytes: everything up to the first carriage return or line feed,
// without it. nullopt when the file cannot be opened or read, or holds no line at all (0 bytes).
std::optional<QByteArray> readFirstLineBytes(const QString &path);

// Text of a line from a configuration file: UTF-8 when the bytes are valid UTF-8 (an initial
// byte-order mark dropped), else Windows-1252, the single-byte set such files were written in.
QString decodeConfigurationLine(const QByteArray &bytes);

// readFirstLineBytes() decoded with decodeConfigurationLine().
std::optional<QString> readConfigurationLine(const QString &path);

} // namespace zelvaro
