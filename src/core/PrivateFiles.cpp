#include "PrivateFiles.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <sys/stat.h>

namespace zelvaro {

namespace {

constexpr mode_t kPrivateFolderMode = 0700;
constexpr mode_t kPrivateFileMode = 0600;

// 0 when `path` is a folder (made now if missing, with mode 0700), else the errno.
int makeOneFolder(const QByteArray &path)
{
    struct stat info = {};
    if (::stat(path.constData(), &info) == 0)
        return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT)
        return errno;
    if (::mkdir(path.constData(), kPrivateFolderMode) != 0)
        return errno == EEXIST ? makeOneFolder(path) : errno; // made meanwhile by someone else
    // The umask may have taken bits away, the owner's own among them.
    return ::chmod(path.constData(), kPrivateFolderMode) == 0 ? 0 : errno;
}

} // namespace

int makePrivateFolders(const QString &folder)
{
    const QByteArray path = QFile::encodeName(QDir::cleanPath(QDir(folder).absolutePath()));
    for (qsizetype end = path.indexOf('/', 1); end != -1; end = path.indexOf('/', end + 1)) {
        if (const int error = makeOneFolder(path.left(end)))
            return error;
    }
    return makeOneFolder(path);
}

bool makePrivate(int fd)
{
    return ::fchmod(fd, kPrivateFileMode) == 0;
}

unsigned modeForNewFile(const QString &path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode))
        return info.st_mode & 07777;
    return kPrivateFileMode;
}

} // namespace zelvaro
