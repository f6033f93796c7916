#include "LockFileInstanceGuard.h"

#include <QDir>
#include <QStandardPaths>

namespace zelvaro {

namespace {

QString userNameForFile()
{
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("USERNAME");
    if (user.isEmpty())
        user = QDir::home().dirName();
    QString safe;
    for (const QChar c : user)
        safe.append(
            c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('-') ? c : QLatin1Char('_'));
    return safe.isEmpty() ? QStringLiteral("utente") : safe;
}

} // namespace

QString defaultInstanceLockPath()
{
    QString folder;
#if defined(Q_OS_LINUX)
    // Without XDG_RUNTIME_DIR Qt makes up a folder and warns: the temporary folder serves as well.
    if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
#else
    folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
#endif
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::tempPath();
    return QDir(folder).filePath(QStringLiteral("zelvaro-") + userNameForFile() + QStringLiteral(".lock"));
}

LockFileInstanceGuard::LockFileInstanceGuard(const QString &lockPath) : m_path(lockPath), m_lock(lockPath)
{
    m_lock.setStaleLockTime(0);
}

LockFileInstanceGuard::~LockFileInstanceGuard() = default;

bool LockFileInstanceGuard::anotherCopyRunning()
{
    if (m_lock.isLocked())
        return false;
    if (m_lock.tryLock(0))
        return false;
    return m_lock.error() == QLockFile::LockFailedError;
}

} // namespace zelvaro
