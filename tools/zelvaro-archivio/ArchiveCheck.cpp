#include "ArchiveCheck.h"

#include "Archive.h"
#include "ArchiveErrorText.h"
#include "EntryChecks.h"
#include "FileHead.h"
#include "SqliteStatement.h"

#include <QFile>

namespace zelvaro {

namespace {

constexpr int kIntegrityLines = 20;

constexpr const char *kIntegrityCheck = R"sql(PRAGMA integrity_check(20))sql";
constexpr const char *kCounts = R"sql(SELECT COUNT(*), COALESCE(SUM(NUM_MOV > 0), 0) FROM MOV_MAG)sql";
// Hand-made archives may declare NUM_MOV without INTEGER PRIMARY KEY: then nothing keeps it a
// unique whole number, and the window could not tell such rows apart.
constexpr const char *kBadNumbers = R"sql(SELECT NUM_MOV, typeof(NUM_MOV) FROM MOV_MAG
 WHERE typeof(NUM_MOV) <> 'integer' ORDER BY rowid LIMIT 20)sql";
constexpr const char *kRepeatedNumbers = R"sql(SELECT NUM_MOV, COUNT(*) FROM MOV_MAG
 WHERE typeof(NUM_MOV) = 'integer' GROUP BY NUM_MOV HAVING COUNT(*) > 1 ORDER BY NUM_MOV LIMIT 20)sql";
constexpr const char *kUnlisted = R"sql(SELECT NUM_MOV, GIORNO, MESE, ANNO FROM MOV_MAG
 WHERE typeof(NUM_MOV) = 'integer' AND NUM_MOV <= 0 ORDER BY NUM_MOV)sql";

QString columnText(sqlite3_stmt *statement, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    return text == nullptr ? QString()
                           : trimBlanks(QString::fromUtf8(text, sqlite3_column_bytes(statement, column)));
}

QString dateText(const QString &giorno, const QString &mese, const QString &anno)
{
    return giorno + QLatin1Char('/') + mese + QLatin1Char('/') + anno;
}

// SQLite's own check of the file's pages and indexes. Empty on success.
QString integrityProblem(const QString &path)
{
    sqlite3 *raw = nullptr;
    const int openResult =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    SqliteHandle db(raw);
    if (openResult != SQLITE_OK)
        return sqliteFailure(db.get(), openResult).text;
    sqlite3_busy_timeout(db.get(), Archive::busyTimeout());
    SqliteStatement statement(db.get(), kIntegrityCheck);
    if (statement.prepareResult() != SQLITE_OK)
        return sqliteFailure(db.get(), statement.prepareResult()).text;
    QStringList lines;
    int rc;
    while ((rc = statement.step()) == SQLITE_ROW)
        lines.append(
            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement.get(), 0))));
    if (rc != SQLITE_DONE)
        return sqliteFailure(db.get(), rc).text;
    if (lines == QStringList{QStringLiteral("ok")})
        return {};
    return lines.mid(0, kIntegrityLines).join(QStringLiteral("; "));
}

// Runs `sql` on the open archive and hands each row to `row`. Empty on success.
template <typename RowFunction> QString eachRow(sqlite3 *db, const char *sql, RowFunction row)
{
    SqliteStatement statement(db, sql);
    if (statement.prepareResult() != SQLITE_OK)
        return sqliteFailure(db, statement.prepareResult()).text;
    int rc;
    while ((rc = statement.step()) == SQLITE_ROW)
        row(statement.get());
    if (rc != SQLITE_DONE)
        return sqliteFailure(db, rc).text;
    return {};
}

} // namespace

CheckReport checkArchive(const QString &path)
{
    CheckReport report;
    const FileHead head = readFileHead(path);
    switch (head.kind) {
    case FileKind::Missing:
        report.problems.append(QStringLiteral("il file non esiste"));
        return report;
    case FileKind::Folder:
        report.problems.append(QStringLiteral("il percorso indica una cartella"));
        return report;
    case FileKind::Unreadable:
        report.problems.append(QStringLiteral("il file non si può leggere (") + head.error +
                               QLatin1Char(')'));
        return report;
    case FileKind::Access:
        report.problems.append(
            QStringLiteral("è un archivio Access: va convertito con \"zelvaro-archivio importa\""));
        return report;
    case FileKind::Other:
        report.problems.append(QStringLiteral("non è un archivio SQLite"));
        return report;
    case FileKind::Sqlite:
        break;
    }

    const QString integrity = integrityProblem(path);
    report.integrity = integrity.isEmpty() ? QStringLiteral("ok") : integrity;
    if (!integrity.isEmpty())
        report.problems.append(QStringLiteral("il controllo di integrità di SQLite ha trovato danni: ") +
                               integrity);

    ArchiveError openError;
    const std::unique_ptr<Archive> archive = Archive::open(path, &openError, Archive::OpenMode::ReadOnly);
    if (!archive) {
        report.structure = openError.text;
        report.problems.append(QStringLiteral("Zelvaro non aprirebbe l'archivio: ") + openError.text);
        return report;
    }
    report.structure = QStringLiteral("ok");
    sqlite3 *db = archive->handle();

    QString failure = eachRow(db, kCounts, [&](sqlite3_stmt *s) {
        report.rows = sqlite3_column_int64(s, 0);
        report.listed = sqlite3_column_int64(s, 1);
    });
    if (failure.isEmpty())
        failure = eachRow(db, kBadNumbers, [&](sqlite3_stmt *s) {
            const QString type = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 1)));
            report.problems.append(type == QLatin1String("null")
                                       ? QStringLiteral("una riga non ha NUM_MOV")
                                       : QStringLiteral("NUM_MOV \"") + columnText(s, 0) +
                                             QStringLiteral("\" non è un numero intero"));
        });
    if (failure.isEmpty())
        failure = eachRow(db, kRepeatedNumbers, [&](sqlite3_stmt *s) {
            report.problems.append(QStringLiteral("NUM_MOV ") + columnText(s, 0) +
                                   QStringLiteral(" compare ") + columnText(s, 1) + QStringLiteral(" volte"));
        });
    if (failure.isEmpty())
        failure = eachRow(db, kUnlisted, [&](sqlite3_stmt *s) {
            report.refused.append(
                {columnText(s, 0), dateText(columnText(s, 1), columnText(s, 2), columnText(s, 3)),
                 QStringLiteral("NUM_MOV non maggiore di 0: la finestra non mostra la riga")});
        });
    if (failure.isEmpty()) {
        // The record as picking its line puts it into the boxes, checked as "Conferma" checks them.
        const ArchiveError listError = archive->forEachListed([&](const HoursRecord &r) {
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
