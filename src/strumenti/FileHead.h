#pragma once

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

} // namespace zelvaro
