#pragma once

#include "Outcome.h"

#include <QString>

namespace zelvaro {

// An Access file that libmdb may be given: its page size and a name for its format, or why it is
// refused (a sentence to follow a colon, naming the file as «path»).
struct AccessFormat
{
    Outcome check;
    int pageSize = 0;   // bytes
    QString formatName; // "Access 97 (Jet 3)", ...
};

// Accepts an Access 97 (Jet 3), Access 2000-2003 (Jet 4) or Access 2007+ (ACE) file whose length is
// a whole number of pages, at least three; refuses anything else with an Italian sentence that
// names the file as «path».
AccessFormat checkAccessFile(const QString &path);

} // namespace zelvaro
