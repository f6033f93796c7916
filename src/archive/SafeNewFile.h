#pragma once

#include "Outcome.h"

#include <QByteArrayView>
#include <QString>

#include <signal.h>
#include <sys/types.h>

namespace zelvaro {

// A new file written under a hidden temporary name in its destination's folder, which takes the
// destination's name only once it is complete: a failure, or one of the signals below, never leaves
// a half-written file at the destination nor a temporary one beside it.
class SafeNewFile
{
public:
    // Refuse: the destination must not exist, and a file that appears there meanwhile is never
    // replaced. Replace: a complete new file replaces the destination in one step.
    enum class Existing { Refuse, Replace };

    explicit SafeNewFile(const QString &destination, Existing existing = Existing::Refuse);
    // Removes the temporary file, and the journal SQLite may have left beside it, unless committed.
    ~SafeNewFile();
    SafeNewFile(const SafeNewFile &) = delete;
    SafeNewFile &operator=(const SafeNewFile &) = delete;

    // Checks the destination and its folder and creates the empty temporary file.
    Outcome create();
    QString temporaryPath() const { return m_temporary; }
    // Adds `bytes` at the end of the temporary file, which stays open from the first call until
    // commit(): a file of any size is written a piece at a time. Not for a file that SQLite opens
    // (closing another descriptor of it would drop SQLite's locks).
    Outcome append(QByteArrayView bytes);
    // Flushes the temporary file to disk, gives it the mode of the file it replaces (0600, the
    // owner's alone, when there is none) and the destination's name, and makes that name survive a
    // power cut.
    Outcome commit();

private:
    QString m_destination;
    Existing m_existing;
    QString m_temporary;
    int m_slot = -1;
    int m_fd = -1; // open for append() only
    bool m_committed = false;
};

// Installs one handler for SIGINT, SIGTERM and SIGHUP (each unless it is ignored, as under nohup)
// that kills the registered child processes, removes the temporary files of every live SafeNewFile
// with SQLite's files beside them, and then lets the signal act as it did before: the earlier
// handler runs, or the program ends by the signal. The handler is async-signal-safe; a program,
// Qt or not, calls this once at start. Without it the temporary files are removed only on the
// normal ways out.
void installTemporaryFileCleanup();

// A child process that writes into a temporary file, killed (and waited for) before the files are
// removed on those signals. Fork with the signals blocked (CleanupSignalsBlocked) so that no
// signal falls between the fork and the registration.
void registerChildProcess(pid_t pid);
void unregisterChildProcess(pid_t pid);

// Blocks the three signals for as long as it lives (in the calling thread).
class CleanupSignalsBlocked
{
public:
    CleanupSignalsBlocked();
    ~CleanupSignalsBlocked();
    CleanupSignalsBlocked(const CleanupSignalsBlocked &) = delete;
    CleanupSignalsBlocked &operator=(const CleanupSignalsBlocked &) = delete;
    // Unblocks them now (in a forked child, before it does its work).
    void restore();

private:
    sigset_t m_previous;
    bool m_restored = false;
};

} // namespace zelvaro
