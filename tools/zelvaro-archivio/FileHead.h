#pragma once

#include "ArchiveErrorText.h"

#include <QString>

namespace zelvaro {

// What the first bytes of a file say it is.
enum class FileKind { Missing, Folder, Unreadable, Sqlite, Access, Other };

struct FileHead
{
    FileKind kind = FileKind::Missing;
    qint64 size = 0;        // bytes
    int accessVersion = -1; // the Jet version byte (0 Jet 3, 1 Jet 4, 2 and above ACE) of an Access file
    QString error;          // why the file could not be read (Unreadable)
};

// Reads at most the first 32 bytes of `path`; never changes the file.
FileHead readFileHead(const QString &path);

// An Access file that libmdb may be given: its page size and a name for its format.
struct AccessFormat
{
    bool ok = false;
    int pageSize = 0;   // bytes
    QString formatName; // "Access 97 (Jet 3)", ...
    QString problem;    // Italian sentence naming why the file is refused (when !ok)
};

// Accepts an Access 97 (Jet 3), Access 2000-2003 (Jet 4) or Access 2007+ (ACE) file whose length is
// a whole number of pages, at least three; refuses anything else with an Italian sentence that
// names the file as «path».
AccessFormat checkAccessFile(const QString &path);

} // namespace zelvaro
