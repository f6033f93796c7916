#include "ArchiveCheck.h"

#include "Archive.h"
#include "ArchiveFailure.h"
#include "ArchiveReading.h"
#include "EntryChecks.h"
#include "FileHead.h"
#include "RepairTables.h"
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

constexpr const char *kTableName = R"sql(SELECT name FROM sqlite_master WHERE type = 'table' AND name = ?1
 COLLATE NOCASE)sql";
constexpr const char *kTableColumns = R"sql(SELECT name FROM pragma_table_info(?1))sql";

QString columnText(const SqliteStatement &statement, int column)
{
    return trimBlanks(statement.columnText(column));
}

QString dateText(const QString &giorno, const QString &mese, const QString &anno)
{
    return giorno + QLatin1Char('/') + mese + QLatin1Char('/') + anno;
}

// Runs `sql` on the open archive, with `name` bound as ?1 when given, and hands each row to `row`.
// Empty on success.
template <typename RowFunction>
QString eachRow(const SqliteConnection &db, const char *sql, RowFunction row, const QString &name = QString())
{
    SqliteStatement statement(db, sql);
    if (statement.prepareResult() != SQLITE_OK)
        return db.failure(statement.prepareResult()).text;
    if (!name.isEmpty() && statement.bindText(1, name) != SQLITE_OK)
        return db.failure(SQLITE_RANGE).text;
    int rc;
    while ((rc = statement.step()) == SQLITE_ROW)
        row(statement);
    if (rc != SQLITE_DONE)
        return db.failure(rc).text;
    return {};
}

// SQLite's own check of the file's pages and indexes (`sql`: of one table). Empty on success.
QString integrityProblem(const SqliteConnection &db, const QByteArray &sql = kIntegrityCheck)
{
    QStringList lines;
    const QString failure =
        eachRow(db, sql.constData(), [&](const SqliteStatement &s) { lines.append(s.columnText(0)); });
    if (!failure.isEmpty())
        return failure;
    if (lines != QStringList{QStringLiteral("ok")})
        return lines.mid(0, kIntegrityLines).join(QStringLiteral("; "));
    return {};
}

// The first value of the query `sql` with `name` bound as ?1, and how it went.
int firstText(const SqliteConnection &db, const char *sql, const QString &name, QString *value)
{
    SqliteStatement statement(db, sql);
    int rc = statement.prepareResult();
    if (rc == SQLITE_OK)
        rc = statement.bindText(1, name);
    if (rc == SQLITE_OK)
        rc = statement.step();
    if (rc == SQLITE_ROW)
        *value = statement.columnText(0);
    return rc;
}

// The tables the program keeps (MOV_MAG, then the balance's): the balance tables the archive has
// with their rows, a column missing from one, and, when SQLite found damage, the tables it is in.
void checkTables(const SqliteConnection &db, bool damaged, CheckReport *report)
{
    for (int t = 0; t < kRepairTableCount; ++t) {
        QString name;
        int rc = firstText(db, kTableName, repairTableName(t), &name);
        if (rc == SQLITE_DONE)
            continue; // the archive has no contract hours yet
        if (rc != SQLITE_ROW) {
            report->problems.append(QStringLiteral("errore nella lettura della tabella ") +
                                    repairTableName(t) + QStringLiteral(": ") + db.failure(rc).text);
            continue;
        }
        if (damaged) {
            const QString check = integrityProblem(db, "PRAGMA integrity_check(\"" + name.toUtf8() + "\")");
            if (!check.isEmpty())
                report->problems.append(QStringLiteral("la tabella ") + name +
                                        QStringLiteral(" è danneggiata: ") + check);
        }
        if (t == kMovMagTable)
            continue; // its columns are the program's own check
        QStringList columns;
        const QString failure = eachRow(
            db, kTableColumns, [&](const SqliteStatement &s) { columns.append(s.columnText(0).toUpper()); },
            name);
        for (const QString &column : repairTableColumns(t)) {
            if (failure.isEmpty() && !columns.contains(column.toUpper()))
                report->problems.append(QStringLiteral("nella tabella ") + name +
                                        QStringLiteral(" manca la colonna ") + column);
        }
        QString rows;
        const QByteArray count = "SELECT COUNT(*) FROM \"" + name.toUtf8() + '"';
        const QString countFailure =
            eachRow(db, count.constData(), [&](const SqliteStatement &s) { rows = s.columnText(0); });
        if (!failure.isEmpty() || !countFailure.isEmpty())
            report->problems.append(QStringLiteral("errore nella lettura della tabella ") + name +
                                    QStringLiteral(": ") + failure + countFailure);
        else
            report->balanceTables.append(
                name + QLatin1Char(' ') + rows +
                (rows == QLatin1String("1") ? QStringLiteral(" riga") : QStringLiteral(" righe")));
    }
}

} // namespace

QString fileLengthProblem(const SqliteConnection &db)
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

CheckReport checkArchive(const QString &path)
{
    CheckReport report;
    const FileHead head = readFileHead(path);
    if (const QString problem = fileKindProblem(head, FileKind::Sqlite); !problem.isEmpty()) {
        report.problems.append(QStringLiteral("il file ") + problem);
        return report;
    }

    // Ends after the connections below: it removes the "-wal" and "-shm" files they created.
    ArchiveReading reading(path);
    const Outcome prepared = reading.prepare();
    report.rolledBack = reading.rolledBack();
    if (prepared) { // not damage: SQLite cannot read the archive until the change is rolled back
        report.interrupted = prepared.text;
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
    const QString length = fileLengthProblem(db);
    report.length = length.isEmpty() ? QStringLiteral("ok") : length;
    if (!length.isEmpty())
        report.problems.append(length);
    checkTables(db, !integrity.isEmpty(), &report);

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
    if (report.rolledBack)
        lines.append(QStringLiteral("Modifica interrotta: annullata da SQLite prima del controllo, come fa "
                                    "Zelvaro all'apertura"));
    if (!report.interrupted.isEmpty()) {
        lines.append(QStringLiteral("Modifica interrotta: ") + report.interrupted);
        lines.append(QStringLiteral("L'archivio non è stato controllato."));
        return lines;
    }
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
    if (report.rows >= 0)
        lines.append(QStringLiteral("Tabelle del saldo ore: ") +
                     (report.balanceTables.isEmpty() ? QStringLiteral("nessuna")
                                                     : report.balanceTables.join(QStringLiteral(", "))));
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
