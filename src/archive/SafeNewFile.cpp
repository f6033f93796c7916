#include "SafeNewFile.h"

#include "ArchiveFailure.h"
#include "PrivateFiles.h"
#include "Texts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace zelvaro {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = int(std::size(kSignals));
// What SQLite may create beside a database file.
constexpr const char *kSqliteSuffixes[] = {"", "-journal", "-wal", "-shm"};

// The registry the signal handler reads: fixed slots, each path written before its slot is marked
// in use, so that the handler never reads half a path and never allocates.
constexpr int kSlotCount = 16;
constexpr std::size_t kPathCapacity = 4096;
enum SlotState : int { kFree = 0, kFilling = 1, kInUse = 2 };
struct TemporarySlot
{
    std::atomic<int> state{kFree};
    char path[kPathCapacity];
};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<pid_t>::is_always_lock_free);
TemporarySlot g_temporaries[kSlotCount];
std::atomic<pid_t> g_children[kSlotCount];
struct sigaction g_previous[kSignalCount];

void unlinkWithSuffix(const char *path, const char *suffix)
{
    char buffer[kPathCapacity + 16];
    const std::size_t length = std::strlen(path);
    const std::size_t suffixLength = std::strlen(suffix);
    std::memcpy(buffer, path, length);
    std::memcpy(buffer + length, suffix, suffixLength + 1);
    ::unlink(buffer);
}

void onCleanupSignal(int signal, siginfo_t *info, void *context)
{
    const int savedErrno = errno;
    for (std::atomic<pid_t> &child : g_children) {
        const pid_t pid = child.load();
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
    }
    for (TemporarySlot &slot : g_temporaries) {
        if (slot.state.load(std::memory_order_acquire) == kInUse) {
            for (const char *suffix : kSqliteSuffixes)
                unlinkWithSuffix(slot.path, suffix);
        }
    }
    for (int i = 0; i < kSignalCount; ++i) {
        if (kSignals[i] != signal)
            continue;
        const struct sigaction &previous = g_previous[i];
        if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
            previous.sa_sigaction(signal, info, context);
        } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
            previous.sa_handler(signal);
        } else {
            // The signal is blocked while this handler runs: it ends the program on the way out.
            ::sigaction(signal, &previous, nullptr);
            ::raise(signal);
        }
    }
    errno = savedErrno;
}

sigset_t cleanupSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kSignals)
        sigaddset(&set, signal);
    return set;
}

int registerTemporary(const QByteArray &path)
{
    if (std::size_t(path.size()) >= kPathCapacity)
        return -1; // removed on the normal ways out only
    for (int i = 0; i < kSlotCount; ++i) {
        int expected = kFree;
        if (g_temporaries[i].state.compare_exchange_strong(expected, kFilling)) {
            std::memcpy(g_temporaries[i].path, path.constData(), std::size_t(path.size()) + 1);
            g_temporaries[i].state.store(kInUse, std::memory_order_release);
            return i;
        }
    }
    return -1;
}

QString systemError()
{
    return systemErrorText(errno);
}

// Moves `from` to `to` only when nothing exists at `to`, in one step where the file system allows.
bool renameNoReplace(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the no-replace rename: a hard link fails as well when `to` exists.
    if (::link(from.constData(), to.constData()) != 0)
        return false;
    ::unlink(from.constData());
    return true;
}

bool syncPath(const QByteArray &path, int flags)
{
    const int fd = ::open(path.constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

} // namespace

CleanupSignalsBlocked::CleanupSignalsBlocked()
{
    const sigset_t set = cleanupSignals();
    pthread_sigmask(SIG_BLOCK, &set, &m_previous);
}

CleanupSignalsBlocked::~CleanupSignalsBlocked()
{
    restore();
}

void CleanupSignalsBlocked::restore()
{
    if (!m_restored)
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    m_restored = true;
}

void installTemporaryFileCleanup()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    struct sigaction action = {};
    action.sa_sigaction = onCleanupSignal;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    action.sa_mask = cleanupSignals();
    for (int i = 0; i < kSignalCount; ++i) {
        if (::sigaction(kSignals[i], nullptr, &g_previous[i]) != 0 || g_previous[i].sa_handler == SIG_IGN)
            continue;
        ::sigaction(kSignals[i], &action, nullptr);
    }
}

void registerChildProcess(pid_t pid)
{
    for (std::atomic<pid_t> &child : g_children) {
        pid_t expected = 0;
        if (child.compare_exchange_strong(expected, pid))
            return;
    }
}

void unregisterChildProcess(pid_t pid)
{
    for (std::atomic<pid_t> &child : g_children) {
        pid_t expected = pid;
        child.compare_exchange_strong(expected, 0);
    }
}

SafeNewFile::SafeNewFile(const QString &destination, Existing existing)
    : m_destination(destination), m_existing(existing)
{
}

SafeNewFile::~SafeNewFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_temporary.isEmpty() || m_committed)
        return;
    const QByteArray path = QFile::encodeName(m_temporary);
    for (const char *suffix : kSqliteSuffixes)
        unlinkWithSuffix(path.constData(), suffix);
    if (m_slot >= 0)
        g_temporaries[m_slot].state.store(kFree, std::memory_order_release);
}

Outcome SafeNewFile::create()
{
    Q_ASSERT(m_temporary.isEmpty());
    if (m_destination.isEmpty())
        return archiveFailure(SQLITE_CANTOPEN, QStringLiteral("Destinazione non indicata"));
    const QFileInfo target(m_destination);
    if (m_existing == Existing::Refuse && (target.exists() || target.isSymLink()))
        return archiveFailure(SQLITE_CANTOPEN, QStringLiteral("La destinazione ") + quoted(m_destination) +
                                                   QStringLiteral(" esiste già e non viene toccata: "
                                                                  "indicare un file nuovo"));
    if (!target.absoluteDir().exists())
        return archiveFailure(SQLITE_CANTOPEN, QStringLiteral("La cartella ") +
                                                   quoted(target.absolutePath()) +
                                                   QStringLiteral(" non esiste"));
    // A hidden name beside the destination, so that the final rename stays on one file system.
    QByteArray pattern = QFile::encodeName(
        target.absoluteDir().filePath(QStringLiteral(".") + target.fileName() + QStringLiteral(".XXXXXX")));
    // No signal between the creation and the registration: the file would stay behind.
    const CleanupSignalsBlocked blocked;
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return archiveFailure(errno == ENOSPC ? SQLITE_FULL : SQLITE_CANTOPEN,
                              QStringLiteral("Impossibile scrivere nella cartella ") +
                                  quoted(target.absolutePath()) + QStringLiteral(" (") + systemError() +
                                  QLatin1Char(')'));
    ::close(fd);
    m_temporary = QFile::decodeName(pattern);
    m_slot = registerTemporary(pattern);
    return {};
}

Outcome SafeNewFile::append(QByteArrayView bytes)
{
    Q_ASSERT(!m_temporary.isEmpty() && !m_committed);
    if (m_fd < 0)
        m_fd = ::open(QFile::encodeName(m_temporary).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    const char *data = bytes.data();
    qsizetype left = m_fd < 0 ? 0 : bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, std::size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        data += written;
        left -= written;
    }
    if (m_fd < 0 || left > 0)
        return archiveFailure(errno == ENOSPC || errno == EDQUOT ? SQLITE_FULL : SQLITE_IOERR,
                              QStringLiteral("Impossibile scrivere il file ") + quoted(m_temporary) +
                                  QStringLiteral(" (") + systemError() + QLatin1Char(')'));
    return {};
}

Outcome SafeNewFile::commit()
{
    Q_ASSERT(!m_temporary.isEmpty() && !m_committed);
    const QByteArray temporary = QFile::encodeName(m_temporary);
    const QByteArray destination = QFile::encodeName(m_destination);
    // A write the file system delays can fail only when the descriptor is closed.
    const bool closed = m_fd < 0 || ::close(std::exchange(m_fd, -1)) == 0;
    if (!closed || !syncPath(temporary, O_RDONLY))
        return archiveFailure(SQLITE_IOERR, QStringLiteral("Impossibile scrivere su disco il file ") +
                                                quoted(m_temporary) + QStringLiteral(" (") + systemError() +
                                                QLatin1Char(')'));
    ::chmod(temporary.constData(), modeForNewFile(m_destination));
    const bool renamed = m_existing == Existing::Refuse
                             ? renameNoReplace(temporary, destination)
                             : ::rename(temporary.constData(), destination.constData()) == 0;
    if (!renamed) {
        const int cause = errno;
        if (m_existing == Existing::Refuse && (cause == EEXIST || QFileInfo(m_destination).isSymLink()))
            return archiveFailure(SQLITE_CANTOPEN, QStringLiteral("La destinazione ") +
                                                       quoted(m_destination) +
                                                       QStringLiteral(" è comparsa durante il lavoro e non "
                                                                      "viene toccata"));
        return archiveFailure(SQLITE_CANTOPEN, QStringLiteral("Impossibile dare al nuovo file il nome ") +
                                                   quoted(m_destination) + QStringLiteral(" (") +
                                                   systemErrorText(cause) + QLatin1Char(')'));
    }
    m_committed = true;
    if (m_slot >= 0)
        g_temporaries[m_slot].state.store(kFree, std::memory_order_release);
    syncPath(QFile::encodeName(QFileInfo(m_destination).absolutePath()), O_RDONLY | O_DIRECTORY);
    return {};
}

} // namespace zelvaro
