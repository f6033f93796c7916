#include "AccessImport.h"

#include "AccessFormat.h"
#include "AccessReader.h"
#include "Archive.h"
#include "ArchiveErrorText.h"
#include "ChildProcess.h"
#include "SafeNewFile.h"
#include "SqliteStatement.h"
#include "StderrCapture.h"

#include <QDataStream>
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
        if (const ArchiveError error = db.open(temporary, SQLITE_OPEN_READONLY, Archive::kBusyTimeoutMs))
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
    ArchiveError openError;
    if (!Archive::open(temporary, &openError, Archive::OpenMode::ReadOnly))
        return QStringLiteral("il nuovo archivio non si apre: ") + openError.text;
    return {};
}

} // namespace

bool accessImportAvailable()
{
    return true;
}

ImportOutcome importAccessArchive(const QString &source, const QString &destination,
                                  const ImportProgress &progress)
{
    ImportOutcome outcome;
    SafeNewFile file(destination);
    if (const ArchiveError error = file.create()) {
        outcome.error = lowerFirst(error.text);
        return outcome;
    }
    const AccessFormat format = checkAccessFile(source);
    if (!format.ok) {
        outcome.error = format.problem;
        return outcome;
    }

    StderrCapture capture; // libmdb's diagnostics become part of the outcome
    const AccessReadResult read = readInChildProcess(source, file.temporaryPath(), progress);
    outcome.libmdbNotes = capture.finish();
    outcome.error = read.error;
    if (outcome.error.isEmpty())
        outcome.error = checkImported(file.temporaryPath(), read);
    if (outcome.error.isEmpty()) {
        if (const ArchiveError error = file.commit())
            outcome.error = lowerFirst(error.text);
    }
    if (!outcome.error.isEmpty())
        return outcome;
    outcome.ok = true;
    outcome.rows = read.rows;
    outcome.unlistedRows = read.unlisted;
    return outcome;
}

} // namespace zelvaro
