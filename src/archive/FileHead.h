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

// Why the file `head` describes cannot be read as an archive of the kind `wanted` (Sqlite or
// Access), in words that follow the file's name: "non esiste", "è una cartella", "è un archivio
// Access: deve essere convertito con …". Empty when it is one.
QString fileKindProblem(const FileHead &head, FileKind wanted);

} // namespace zelvaro
