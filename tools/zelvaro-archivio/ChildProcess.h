#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace zelvaro {

// How a child process ended and what it handed back.
struct ChildOutcome
{
    bool completed = false; // it ended by itself with status 0
    QByteArray message;     // the bytes it handed back
    QString ending;         // "segnale 11", "stato 1": how it ended otherwise
    QString error;          // why it could not be started (Italian), else empty
};

// Runs `work` in a forked child process, which hands its result back through a pipe and ends
// without running anything of the parent's (no exit handlers, no destructors). The child is
// registered to be killed first if the tool is interrupted (see installTemporaryFileCleanup), so
// that it never writes on after its parent removed its files, and it is killed by the kernel when
// the thread that called this ends, even by SIGKILL (call it from the main thread).
ChildOutcome runInChildProcess(const std::function<QByteArray()> &work);

} // namespace zelvaro
