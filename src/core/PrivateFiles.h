#pragma once

#include <QString>

namespace zelvaro {

// The hours are their user's alone. What Zelvaro creates to hold them (its per-user folders, the
// archive and its copies, the files its tools write) is readable and writable by its owner only,
// whatever the umask, as the XDG base directory rules ask of the per-user folders. What already
// exists keeps its mode.

// Makes `folder` and every missing folder above it, each with mode 0700; folders that exist are not
// touched. 0 when `folder` exists as a folder or was made, else the errno of the step that failed
// (ENOTDIR when a part of the path is a file).
int makePrivateFolders(const QString &folder);

// Gives the file open as `fd`, just created, mode 0600. False, with errno set, when it cannot.
bool makePrivate(int fd);

// The permission bits for a new file that takes the place of `path`: those of the file there, so
// that a replaced file keeps its mode, else 0600.
unsigned modeForNewFile(const QString &path);

} // namespace zelvaro
