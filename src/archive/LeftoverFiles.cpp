#include "LeftoverFiles.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace zelvaro {

namespace {

constexpr qint64 kDaySeconds = 24 * 60 * 60;

// The name SafeNewFile gives a file it is writing (mkostemp's six letters or digits after the
// destination's name), and what SQLite adds beside it.
const QRegularExpression kTemporaryName(QStringLiteral("^\\..+\\.[A-Za-z0-9]{6}(-journal|-wal|-shm)?$"));

// Every file that a process of this machine has open, as the kernel names it; nullopt when the
// processes cannot be read (no /proc). The processes of other users are not seen: only this
// user's files are ever removed.
std::optional<QSet<QByteArray>> openFiles()
{
    DIR *processes = ::opendir("/proc");
    if (processes == nullptr)
        return std::nullopt;
    QSet<QByteArray> files;
    bool readAny = false;
    while (const dirent *process = ::readdir(processes)) {
        if (!std::isdigit(static_cast<unsigned char>(process->d_name[0])))
            continue;
        DIR *descriptors = ::opendir((QByteArray("/proc/") + process->d_name + "/fd").constData());
        if (descriptors == nullptr)
            continue;
        readAny = true;
        // The link is read, never followed: a file on a hung network disk cannot stall the start.
        while (const dirent *descriptor = ::readdir(descriptors)) {
            char target[PATH_MAX];
            const ssize_t length =
                ::readlinkat(::dirfd(descriptors), descriptor->d_name, target, sizeof target);
            if (length > 0 && target[0] == '/')
                files.insert(QByteArray(target, length));
        }
        ::closedir(descriptors);
    }
    ::closedir(processes);
    if (!readAny) // this very process is always readable where /proc works
        return std::nullopt;
    return files;
}

// A file a SafeNewFile may have left: an archive being written, or one not yet begun.
bool holdsArchiveOrNothing(const QByteArray &path)
{
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(16);
    return head.isEmpty() || head == QByteArray("SQLite format 3", 16);
}

} // namespace

void removeLeftoverTemporaries(const QString &folder, const QDateTime &now)
{
    char real[PATH_MAX];
    if (!::realpath(QFile::encodeName(folder).constData(), real))
        return;
    const QByteArray folderPath = QByteArray(real) + '/';
    std::optional<std::optional<QSet<QByteArray>>> open; // read once, when a candidate needs it
    const QStringList names =
        QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name).filter(kTemporaryName);
    for (const QString &name : names) {
        const QByteArray path = folderPath + QFile::encodeName(name);
        struct stat status;
        if (::lstat(path.constData(), &status) != 0 || !S_ISREG(status.st_mode) ||
            status.st_uid != ::geteuid())
            continue;
        const qint64 quiet = now.toSecsSinceEpoch() - qint64(status.st_mtim.tv_sec);
        if (quiet < kLeftoverQuietSeconds)
            continue;
        const bool companion = kTemporaryName.match(name).capturedLength(1) > 0;
        if (!companion && !holdsArchiveOrNothing(path))
            continue;
        if (!open)
            open = openFiles();
        const bool writerGone = *open ? !(*open)->contains(path) : quiet >= kDaySeconds;
        if (writerGone)
            ::unlink(path.constData());
    }
}

} // namespace zelvaro
