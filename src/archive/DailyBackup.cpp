#include "DailyBackup.h"

#include "Archive.h"
#include "ArchiveFailure.h"
#include "LeftoverFiles.h"
#include "PrivateFiles.h"
#include "Texts.h"

#include <QCryptographicHash>
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

QString dailyCopySeries(const QString &canonicalPath)
{
    const QByteArray digest =
        QCryptographicHash::hash(QFile::encodeName(canonicalPath), QCryptographicHash::Sha256).toHex();
    return QFileInfo(canonicalPath).completeBaseName() + QLatin1Char('-') +
           QString::fromLatin1(digest.left(8));
}

QString dailyCopyName(const QString &archivePath, const QDate &day)
{
    return QFileInfo(archivePath).completeBaseName() + QLatin1Char('-') +
           day.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".mdb");
}

Outcome makeDailyBackup(Archive &archive, const QString &folder, const QDate &today)
{
    Q_ASSERT(today.isValid());
    const QFileInfo archiveFile(archive.path());
    const QString canonical = archiveFile.canonicalFilePath();
    const QDir series(QDir(folder).filePath(
        dailyCopySeries(canonical.isEmpty() ? archiveFile.absoluteFilePath() : canonical)));
    const QString name = dailyCopyName(archive.path(), today);
    const QString copy = series.filePath(name);
    const auto notMade = [&](int code, const QString &cause) {
        return archiveFailure(code, QStringLiteral("La copia di sicurezza giornaliera ") + quoted(name) +
                                        QStringLiteral(" non è stata fatta nella cartella ") +
                                        quoted(series.path()) + QStringLiteral(": ") + cause);
    };

    const QFileInfo existing(copy);
    if (existing.isSymLink())
        return notMade(SQLITE_CANTOPEN, QStringLiteral("al suo posto c'è un collegamento simbolico, che non "
                                                       "viene toccato: toglierlo perché la copia si faccia"));
    if (existing.isFile())
        return {};
    if (existing.exists())
        return notMade(SQLITE_CANTOPEN,
                       QStringLiteral("al suo posto c'è una cartella o un file speciale, che "
                                      "non viene toccato"));
    if (const int cause = makePrivateFolders(series.path()))
        return notMade(SQLITE_CANTOPEN, QStringLiteral("la cartella non si può creare (") +
                                            systemErrorText(cause) + QLatin1Char(')'));
    if (Outcome error = archive.backupTo(copy))
        return notMade(error.code, lowerFirst(error.text));

    // The copies of this series only, a name, a dash and eight digits, which sort by date. An old
    // copy that cannot be removed is no harm, and the new one was made: nothing to say.
    const QRegularExpression ownCopy(QStringLiteral("^") +
                                     QRegularExpression::escape(archiveFile.completeBaseName()) +
                                     QStringLiteral("-\\d{8}\\.mdb$"));
    QStringList copies = series.entryList(QDir::Files, QDir::Name).filter(ownCopy);
    while (copies.size() > kKeptDailyCopies)
        QFile::remove(series.filePath(copies.takeFirst()));
    return {};
}

void removeDailyCopyLeftovers(const QString &folder, const QDateTime &now)
{
    removeLeftoverTemporaries(folder, now);
    const QDir copies(folder);
    for (const QString &series : copies.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks))
        removeLeftoverTemporaries(copies.filePath(series), now);
}

} // namespace zelvaro
