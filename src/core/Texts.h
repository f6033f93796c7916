#pragma once

#include <QString>

namespace zelvaro {

// How every message of the program and its tools names a file and joins its sentences.

// «path», the way every message names a file, a folder or a printer.
QString quoted(const QString &path);

// A sentence with its first letter in small case, to follow a colon ("…: il file non esiste").
QString lowerFirst(const QString &text);

// A sentence with its first letter in capital, to stand alone in a message box.
QString upperFirst(const QString &text);

} // namespace zelvaro
