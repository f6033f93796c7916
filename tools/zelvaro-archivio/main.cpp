#include "ArchivioCommands.h"
#include "SafeNewFile.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    // An interrupted import, repair, copy or export leaves no temporary file behind.
    zelvaro::installTemporaryFileCleanup();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(ZELVARO_VERSION)); // for --version
    QFile out;
    QFile err;
    out.open(stdout, QIODevice::WriteOnly);
    err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    const int status = zelvaro::runArchivio(QCoreApplication::arguments().mid(1), out, err);
    out.close();
    err.close();
    return status;
}
