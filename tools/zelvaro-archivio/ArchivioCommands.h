#pragma once

#include <QStringList>

class QIODevice;

namespace zelvaro {

// Exit statuses of zelvaro-archivio.
enum ExitStatus : int {
    kExitOk = 0,      // done (for "verifica": the archive is sound)
    kExitFailure = 1, // the command failed, or "verifica" found the archive unsound
    kExitUsage = 2,   // unknown command or wrong arguments
};

// Runs one command of zelvaro-archivio. `arguments` are the words after the program name; results
// and help go to `out` (UTF-8), messages to `err`. Returns the exit status.
int runArchivio(const QStringList &arguments, QIODevice &out, QIODevice &err);

} // namespace zelvaro
