#include "AccessImport.h"

#include "AccessFormat.h"
#include "AccessReader.h"
#include "Archive.h"
#include "ArchiveFailure.h"
#include "ChildProcess.h"
#include "LeftoverFiles.h"
#include "SafeNewFile.h"
#include "SqliteStatement.h"
#include "StderrCapture.h"
#include "Texts.h"

#include <QDataStream>
#include <QDateTime>
#include <QFileInfo>
#include <QIODevice>

namespace zelvaro {

namespace {

constexpr const char *kCount = R"sql(SELECT COUNT(*), COALESCE(SUM(NUM_MOV <= 0), 0) FROM MOV_MAG)sql";

// libmdb trusts the pages it reads: a damaged file can make it read out of bounds and crash. It
// therefore runs in a child process, which writes the rows into `temporary` and reports through a
// pipe; a child that dies leaves a refusal, never a crash of the tool.
AccessReadResult readInChildProcess(const QString &source, const QString &temporary,
                                    const ImportProgress &progress)
{
    const ChildOutcome child = runInChildProcess([&] {
        const AccessReadResult read = readAccessTable(source, temporary, progress);
        QByteArray message;
        QDataStream stream(&message, QIODevice::WriteOnly);
        stream << read.error << read.rows << read.unlisted << read.declared;
        return message;
    });
    AccessReadResult result;
    if (!child.error.isEmpty()) {
        result.error = child.error;
        return result;
    }
    QDataStream stream(child.message);
    stream >> result.error >> result.rows >> result.unlisted >> result.declared;
    if (stream.status() != QDataStream::Ok || !child.completed) {
        result = AccessReadResult();
        result.error = QStringLiteral("la lettura di ") + quoted(source) +
                       QStringLiteral(" si è interrotta (") + child.ending +
                       QStringLiteral("): il file è danneggiato");
    }
    return result;
}

// Counts the rows of the written file on a connection of its own and checks that the program
// opens it. Empty on success.
QString checkImported(const QString &temporary, const AccessReadResult &read)
{
    {
        SqliteConnection db;
        if (const Outcome error = db.open(temporary, SQLITE_OPEN_READONLY, Archive::kBusyTimeoutMs))
            return QStringLiteral("il nuovo archivio non si apre: ") + error.text;
        SqliteStatement count(db, kCount);
        const int rc = count.prepareResult() == SQLITE_OK ? count.step() : count.prepareResult();
        if (rc != SQLITE_ROW)
            return QStringLiteral("il nuovo archivio non si legge: ") + db.failure(rc).text;
        const qint64 stored = count.columnInt64(0);
        if (stored != read.rows || stored != read.declared || count.columnInt64(1) != read.unlisted)
            return QStringLiteral("il nuovo archivio contiene ") + QString::number(stored) +
                   QStringLiteral(" righe invece delle ") + QString::number(read.declared) +
                   QStringLiteral(" della tabella MOV_MAG");
    }
    Outcome openError;
    if (!Archive::open(temporary, &openError, Archive::OpenMode::ReadOnly))
        return QStringLiteral("il nuovo archivio non si apre: ") + openError.text;
    return {};
}

} // namespace

bool accessImportAvailable()
{
    return true;
}

ImportReport importAccessArchive(const QString &source, const QString &destination,
                                 const ImportProgress &progress)
{
    ImportReport report;
    const auto refuse = [&report](const QString &cause) {
        report.outcome = Outcome::failure(SQLITE_ERROR, cause);
        return report;
    };
    // What an import killed with SIGKILL left beside its destination, its reader now gone too.
    removeLeftoverTemporaries(QFileInfo(destination).absolutePath(), QDateTime::currentDateTime());
    SafeNewFile file(destination);
    if (const Outcome error = file.create())
        return refuse(lowerFirst(error.text));
    const AccessFormat format = checkAccessFile(source);
    if (format.check.failed())
        return refuse(format.check.text);

    StderrCapture capture; // libmdb's diagnostics become part of the report
    const AccessReadResult read = readInChildProcess(source, file.temporaryPath(), progress);
    report.libmdbNotes = capture.finish();
    QString error = read.error;
    if (error.isEmpty())
        error = checkImported(file.temporaryPath(), read);
    if (error.isEmpty()) {
        if (const Outcome committed = file.commit())
            error = lowerFirst(committed.text);
    }
    if (!error.isEmpty())
        return refuse(error);
    report.rows = read.rows;
    report.unlistedRows = read.unlisted;
    return report;
}

} // namespace zelvaro
