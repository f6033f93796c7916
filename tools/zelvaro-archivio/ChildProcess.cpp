#include "ChildProcess.h"

#include "SafeNewFile.h"
#include "Texts.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zelvaro {

namespace {

// Writes all of `data` to the descriptor.
bool writeAll(int fd, const QByteArray &data)
{
    const char *p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

QString startError()
{
    return QStringLiteral("impossibile avviare la lettura (") + systemErrorText(errno) + QLatin1Char(')');
}

} // namespace

ChildOutcome runInChildProcess(const std::function<QByteArray()> &work)
{
    ChildOutcome outcome;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        outcome.error = startError();
        return outcome;
    }
    std::fflush(nullptr);
    const pid_t parent = ::getpid();
    CleanupSignalsBlocked blocked; // no signal between the fork and the registration
    const pid_t child = ::fork();
    if (child < 0) {
        outcome.error = startError();
        ::close(fds[0]);
        ::close(fds[1]);
        return outcome;
    }
    if (child == 0) {
        // A tool killed with SIGKILL cannot kill its child: the kernel does. A parent that died
        // before the request was made is seen by the parent having changed.
        if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent)
            ::_exit(1);
        blocked.restore();
        ::close(fds[0]);
        const QByteArray message = work();
        std::fflush(nullptr);
        ::_exit(writeAll(fds[1], message) ? 0 : 1);
    }
    registerChildProcess(child);
    blocked.restore();
    ::close(fds[1]);
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        outcome.message.append(buffer, n);
    }
    ::close(fds[0]);
    int status = 0;
    pid_t waited;
    while ((waited = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
    }
    unregisterChildProcess(child);
    if (waited != child)
        outcome.ending = QStringLiteral("interrotto");
    else if (WIFSIGNALED(status))
        outcome.ending = QStringLiteral("segnale ") + QString::number(WTERMSIG(status));
    else if (WEXITSTATUS(status) != 0)
        outcome.ending = QStringLiteral("stato ") + QString::number(WEXITSTATUS(status));
    outcome.completed = outcome.ending.isEmpty();
    return outcome;
}

} // namespace zelvaro
