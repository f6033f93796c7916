#include "ArchiveCheck.h"

#include "Archive.h"
#include "ArchiveFailure.h"
#include "EntryChecks.h"
#include "FileHead.h"
#include "SqliteStatement.h"

#include <QFileInfo>

namespace zelvaro {

namespace {

constexpr int kIntegrityLines = 20;

constexpr const char *kIntegrityCheck = R"sql(PRAGMA integrity_check(20))sql";
constexpr const char *kPages =
    R"sql(SELECT page_count, page_size FROM pragma_page_count, pragma_page_size)sql";
constexpr const char *kCounts = R"sql(SELECT COUNT(*), COALESCE(SUM(NUM_MOV > 0), 0) FROM MOV_MAG)sql";
// Hand-made archives may declare NUM_MOV without INTEGER PRIMARY KEY: then nothing keeps it a
// unique whole number, and the window could not tell such rows apart.
constexpr const char *kBadNumbers = R"sql(SELECT NUM_MOV, typeof(NUM_MOV) FROM MOV_MAG
 WHERE typeof(NUM_MOV) <> 'integer' ORDER BY rowid LIMIT 20)sql";
constexpr const char *kRepeatedNumbers = R"sql(SELECT NUM_MOV, COUNT(*) FROM MOV_MAG
 WHERE typeof(NUM_MOV) = 'integer' GROUP BY NUM_MOV HAVING COUNT(*) > 1 ORDER BY NUM_MOV LIMIT 20)sql";
constexpr const char *kUnlisted = R"sql(SELECT NUM_MOV, GIORNO, MESE, ANNO FROM MOV_MAG
 WHERE typeof(NUM_MOV) = 'integer' AND NUM_MOV <= 0 ORDER BY NUM_MOV)sql";

QString columnText(const SqliteStatement &statement, int column)
{
    return trimBlanks(statement.columnText(column));
}

QString dateText(const QString &giorno, const QString &mese, const QString &anno)
{
    return giorno + QLatin1Char('/') + mese + QLatin1Char('/') + anno;
}

// Runs `sql` on the open archive and hands each row to `row`. Empty on success.
template <typename RowFunction> QString eachRow(const SqliteConnection &db, const char *sql, RowFunction row)
{
    SqliteStatement statement(db, sql);
    if (statement.prepareResult() != SQLITE_OK)
        return db.failure(statement.prepareResult()).text;
    int rc;
    while ((rc = statement.step()) == SQLITE_ROW)
        row(statement);
    if (rc != SQLITE_DONE)
        return db.failure(rc).text;
    return {};
}

// SQLite's own check of the file's pages and indexes. Empty on success.
QString integrityProblem(const SqliteConnection &db)
{
    QStringList lines;
    const QString failure =
        eachRow(db, kIntegrityCheck, [&](const SqliteStatement &s) { lines.append(s.columnText(0)); });
    if (!failure.isEmpty())
        return failure;
    if (lines != QStringList{QStringLiteral("ok")})
        return lines.mid(0, kIntegrityLines).join(QStringLiteral("; "));
    return {};
}

// The file's length against its pages: SQLite reads only the pages its header counts, so bytes
// appended after them pass its check. Empty on success.
QString lengthProblem(const SqliteConnection &db)
{
    qint64 pages = 0, pageSize = 0;
    const QString failure = eachRow(db, kPages, [&](const SqliteStatement &s) {
        pages = s.columnInt64(0);
        pageSize = s.columnInt64(1);
    });
    if (!failure.isEmpty())
        return failure;
    const QString path = db.path();
    const qint64 size = QFileInfo(path).size();
    // In WAL mode the last pages may still be in the -wal file beside it.
    if (size == pages * pageSize || QFileInfo::exists(path + QStringLiteral("-wal")))
        return {};
    return QStringLiteral("il file è lungo ") + QString::number(size) + QStringLiteral(" byte, ma le sue ") +
           QString::number(pages) + QStringLiteral(" pagine da ") + QString::number(pageSize) +
           QStringLiteral(" byte ne occupano ") + QString::number(pages * pageSize) +
           (size > pages * pageSize ? QStringLiteral(": dopo l'ultima pagina ci sono byte estranei")
                                    : QStringLiteral(": il file è troncato"));
}

} // namespace

CheckReport checkArchive(const QString &path)
{
    CheckReport report;
    const FileHead head = readFileHead(path);
    if (const QString problem = fileKindProblem(head, FileKind::Sqlite); !problem.isEmpty()) {
        report.problems.append(QStringLiteral("il file ") + problem);
        return report;
    }

    SqliteConnection db;
    if (const Outcome error = db.open(path, SQLITE_OPEN_READONLY, Archive::kBusyTimeoutMs)) {
        report.problems.append(error.text);
        return report;
    }
    const QString integrity = integrityProblem(db);
    report.integrity = integrity.isEmpty() ? QStringLiteral("ok") : integrity;
    if (!integrity.isEmpty())
        report.problems.append(QStringLiteral("il controllo di integrità di SQLite ha trovato danni: ") +
                               integrity);
    const QString length = lengthProblem(db);
    report.length = length.isEmpty() ? QStringLiteral("ok") : length;
    if (!length.isEmpty())
        report.problems.append(length);

    Outcome openError;
    const std::unique_ptr<Archive> archive = Archive::open(path, &openError, Archive::OpenMode::ReadOnly);
    if (!archive) {
        report.structure = openError.text;
        report.problems.append(QStringLiteral("Zelvaro non aprirebbe l'archivio: ") + openError.text);
        return report;
    }
    report.structure = QStringLiteral("ok");

    QString failure = eachRow(db, kCounts, [&](const SqliteStatement &s) {
        report.rows = s.columnInt64(0);
        report.listed = s.columnInt64(1);
    });
    if (failure.isEmpty())
        failure = eachRow(db, kBadNumbers, [&](const SqliteStatement &s) {
            const QString type = s.columnText(1);
            report.problems.append(type == QLatin1String("null")
                                       ? QStringLiteral("una riga non ha NUM_MOV")
                                       : QStringLiteral("NUM_MOV \"") + columnText(s, 0) +
                                             QStringLiteral("\" non è un numero intero"));
        });
    if (failure.isEmpty())
        failure = eachRow(db, kRepeatedNumbers, [&](const SqliteStatement &s) {
            report.problems.append(QStringLiteral("NUM_MOV ") + columnText(s, 0) +
                                   QStringLiteral(" compare ") + columnText(s, 1) + QStringLiteral(" volte"));
        });
    if (failure.isEmpty())
        failure = eachRow(db, kUnlisted, [&](const SqliteStatement &s) {
            report.refused.append(
                {columnText(s, 0), dateText(columnText(s, 1), columnText(s, 2), columnText(s, 3)),
                 QStringLiteral("NUM_MOV non maggiore di 0: la finestra non mostra la riga")});
        });
    if (failure.isEmpty()) {
        // The record as picking its line puts it into the boxes, checked as "Conferma" checks them.
        const Outcome listError = archive->forEachListed([&](const HoursRecord &r) {
            const Refusal refusal = checkEntries(r.numMov, r.oraInizio1, r.oraFine1, r.oraInizio2, r.oraFine2,
                                                 r.oraInizio3, r.oraFine3);
            if (refusal != Refusal::None)
                report.refused.append(
                    {r.numMov, dateText(r.giorno, r.mese, r.anno), refusalMessage(refusal)});
        });
        failure = listError.text;
    }
    if (!failure.isEmpty())
        report.problems.append(QStringLiteral("errore nella lettura delle righe: ") + failure);
    report.sound = report.problems.isEmpty();
    return report;
}

QStringList reportLines(const QString &path, const CheckReport &report)
{
    QStringList lines;
    lines.append(QStringLiteral("Archivio: ") + path);
    if (!report.integrity.isEmpty())
        lines.append(QStringLiteral("Controllo di integrità di SQLite: ") + report.integrity);
    if (!report.length.isEmpty())
        lines.append(QStringLiteral("Lunghezza del file rispetto alle sue pagine: ") + report.length);
    if (!report.structure.isEmpty())
        lines.append(QStringLiteral("Tabella MOV_MAG e sue colonne: ") + report.structure);
    if (report.rows >= 0)
        lines.append(QStringLiteral("Righe: ") + QString::number(report.rows) + QStringLiteral(", di cui ") +
                     QString::number(report.listed) +
                     QStringLiteral(" elencate dalla finestra (NUM_MOV maggiore di 0)"));
    if (report.rows >= 0) {
        lines.append(QStringLiteral("Righe che \"Conferma\" rifiuterebbe così come sono: ") +
                     QString::number(report.refused.size()));
        for (const RefusedRow &row : report.refused)
            lines.append(QStringLiteral("  NUM_MOV ") + row.numero + QStringLiteral(" del ") + row.date +
                         QStringLiteral(": ") + row.reason);
    }
    for (const QString &problem : report.problems)
        lines.append(QStringLiteral("Problema: ") + problem);
    lines.append(report.sound ? QStringLiteral("L'archivio è integro.")
                              : QStringLiteral("L'archivio NON è integro."));
    return lines;
}

} // namespace zelvaro
