#pragma once

#include "PlatformServices.h"

#include <QLockFile>
#include <QString>

namespace zelvaro {

// The lock file that marks a running copy for the current user: zelvaro-<user>.lock in the
// user's runtime folder, or in the temporary folder when there is none.
QString defaultInstanceLockPath();

// Another-copy check through a lock file. The first copy takes the lock and holds it until this
// object is destroyed. A running copy's lock is never taken as stale because of its age; the lock
// of a copy that died (its process no longer runs) is removed and taken over.
class LockFileInstanceGuard : public InstanceGuard
{
public:
    explicit LockFileInstanceGuard(const QString &lockPath = defaultInstanceLockPath());
    ~LockFileInstanceGuard() override;

    // True only when another live process holds the lock. A lock that cannot be made at all
    // (no permission, no folder) does not keep the program from running.
    bool anotherCopyRunning() override;
    bool holdsLock() const { return m_lock.isLocked(); }
    QString lockPath() const { return m_path; }

private:
    QString m_path;
    QLockFile m_lock;
};

} // namespace zelvaro
