#include "DailyBackup.h"

#include "Archive.h"
#include "ArchiveFailure.h"
#include "PrivateFiles.h"
#include "Texts.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <sqlite3.h>

namespace zelvaro {

QString defaultBackupFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/zelvaro/copie");
}

QString dailyCopyName(const QString &archivePath, const QDate &day)
{
    return QFileInfo(archivePath).completeBaseName() + QLatin1Char('-') +
           day.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".mdb");
}

Outcome makeDailyBackup(Archive &archive, const QString &folder, const QDate &today)
{
    Q_ASSERT(today.isValid());
    const QDir dir(folder);
    const QString copy = dir.filePath(dailyCopyName(archive.path(), today));
    if (QFileInfo::exists(copy))
        return {};
    if (const int cause = makePrivateFolders(folder))
        return archiveFailure(SQLITE_CANTOPEN, QStringLiteral("Impossibile creare la cartella delle copie ") +
                                                   quoted(folder) + QStringLiteral(" (") +
                                                   systemErrorText(cause) + QLatin1Char(')'));
    if (Outcome error = archive.backupTo(copy))
        return error;

    // Only this archive's copies: a name, a dash and eight digits, which sort by date.
    const QRegularExpression ownCopy(
        QStringLiteral("^") + QRegularExpression::escape(QFileInfo(archive.path()).completeBaseName()) +
        QStringLiteral("-\\d{8}\\.mdb$"));
    QStringList copies = dir.entryList(QDir::Files, QDir::Name).filter(ownCopy);
    while (copies.size() > kKeptDailyCopies) {
        const QString oldest = dir.filePath(copies.takeFirst());
        if (!QFile::remove(oldest))
            return archiveFailure(SQLITE_IOERR, QStringLiteral("Impossibile cancellare la copia vecchia ") +
                                                    quoted(oldest));
    }
    return {};
}

} // namespace zelvaro
