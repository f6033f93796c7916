#pragma once

#include "Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace zelvaro::test {

inline QString sbin(const QString &tool)
{
    return QStandardPaths::findExecutable(tool, {"/usr/sbin", "/sbin", "/usr/bin"});
}

// Runs a CUPS tool ("lpadmin -d zelvaro"), which finds the service through CUPS_SERVER.
inline bool cupsTool(const QString &command)
{
    QStringList words = command.split(u' ');
    QProcess process; // its warnings kept out of the test's output
    process.start(sbin(words.takeFirst()), words);
    return process.waitForFinished() && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// A print service of the test's own: cupsd with its configuration, spool and logs in `folder`,
// listening only on `socket`. Its queues hold every job, so none reaches the cups-pdf backend,
// which would write into the real home of the job's owner.
class PrivateCups
{
public:
    ~PrivateCups()
    {
        m_cupsd.terminate();
        m_cupsd.waitForFinished();
    }
    bool start(const QString &folder, const QString &socket)
    {
        QFile::remove(socket); // left by the service of an earlier case
        const QString files =
            QString("ServerRoot %1/root\nRequestRoot %1/spool\nTempDir %1/spool/tmp\n"
                    "CacheDir %1/cache\nStateDir %1/state\nErrorLog %1/log\nAccessLog %1/log\n"
                    "PageLog %1/log\nPrintcap %1/printcap\n")
                .arg(folder);
        const QString policy = "<Policy default>\n<Limit All>\n</Limit>\n</Policy>\n"; // no authentication
        if (!QDir(folder).mkpath("spool/tmp") ||
            !writeBytes(folder + "/root/cups-files.conf", files.toUtf8()) ||
            !writeBytes(folder + "/root/cupsd.conf",
                        ("Listen " + socket + "\nBrowsing No\n" + policy).toUtf8()))
            return false;
        m_cupsd.start(sbin("cupsd"),
                      {"-f", "-c", folder + "/root/cupsd.conf", "-s", folder + "/root/cups-files.conf"});
        for (int i = 0; i < 250 && m_cupsd.waitForStarted(5000) && !QFileInfo::exists(socket); ++i)
            QTest::qWait(20);
        return QFileInfo::exists(socket);
    }

private:
    QProcess m_cupsd;
};

} // namespace zelvaro::test
