#include "ArchiveRepair.h"

#include "Archive.h"
#include "ArchiveFailure.h"
#include "FileHead.h"
#include "SafeNewFile.h"
#include "SqliteStatement.h"
#include "Texts.h"

#include <limits>
#include <optional>

namespace zelvaro {

namespace {

constexpr qint64 kFirstKey = std::numeric_limits<qint64>::min();
constexpr qint64 kLastKey = std::numeric_limits<qint64>::max();

constexpr const char *kIntegrityCheck = R"sql(PRAGMA integrity_check(20))sql";
constexpr const char *kKeyColumn = R"sql(SELECT COUNT(*), SUM(pk = 1 AND name = 'NUM_MOV' COLLATE NOCASE
 AND type = 'INTEGER' COLLATE NOCASE) FROM pragma_table_info('MOV_MAG') WHERE pk > 0)sql";
// Column 0 is the key, then the columns of MOV_MAG in their usual order.
constexpr const char *kReadFrom = R"sql(SELECT rowid, NUM_MOV, ANNO, MESE, GIORNO, ORA_INIZIO_1, ORA_FINE_1,
 ORA_INIZIO_2, ORA_FINE_2, ORA_INIZIO_3, ORA_FINE_3, NOTE FROM MOV_MAG WHERE rowid >= ?1 ORDER BY rowid)sql";
constexpr const char *kCount = R"sql(SELECT COUNT(*) FROM MOV_MAG)sql";

// A damaged page or an unreadable sector: read around it. Any other failure (a lock, memory) stops.
bool isDamage(int rc)
{
    return (rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB || rc == SQLITE_IOERR_READ ||
           rc == SQLITE_IOERR_SHORT_READ;
}

class Repair
{
public:
    Repair(const QString &source, const QString &temporary) : m_sourcePath(source), m_temporary(temporary) {}
    RepairOutcome run();

private:
    enum class Probe { Readable, Damaged, Failed };
    QString open();
    QString copyAll();
    int copyFrom(qint64 from, std::optional<qint64> *last);
    Probe probe(qint64 key);
    QString storeRow();
    QString rangeText(qint64 from, qint64 to) const;

    QString m_sourcePath, m_temporary;
    SqliteConnection m_source, m_target;
    std::optional<SqliteStatement> m_read, m_insert;
    bool m_numMovIsKey = true;
    QString m_fatal; // a failure that ends the repair
    RepairOutcome m_outcome;
};

RepairOutcome Repair::run()
{
    QString error = open();
    if (error.isEmpty())
        error = copyAll();
    m_read.reset();
    m_insert.reset();
    if (m_source.isOpen())
        m_source.exec("COMMIT"); // ends the read transaction
    if (error.isEmpty()) {
        if (const Outcome closeError = m_target.close())
            error = QStringLiteral("errore nella chiusura del nuovo archivio: ") + closeError.text;
    }
    m_outcome.error = error;
    return m_outcome;
}

QString Repair::open()
{
    if (const Outcome error = m_source.open(m_sourcePath, SQLITE_OPEN_READONLY, Archive::kBusyTimeoutMs))
        return QStringLiteral("impossibile aprire ") + quoted(m_sourcePath) + QStringLiteral(": ") +
               lowerFirst(error.text);
    // One read transaction: the rows come from one state of the file even while the program runs.
    int rc = m_source.exec("BEGIN");
    if (rc != SQLITE_OK)
        return QStringLiteral("impossibile leggere ") + quoted(m_sourcePath) + QStringLiteral(": ") +
               lowerFirst(m_source.failure(rc).text);
    if (const Outcome error = checkMovMagSchema(m_source))
        return QStringLiteral("impossibile leggere la struttura di ") + quoted(m_sourcePath) +
               QStringLiteral(": ") + lowerFirst(error.text);
    {
        SqliteStatement key(m_source, kKeyColumn);
        rc = key.prepareResult() == SQLITE_OK ? key.step() : key.prepareResult();
        if (rc != SQLITE_ROW)
            return QStringLiteral("impossibile leggere la struttura di ") + quoted(m_sourcePath) +
                   QStringLiteral(": ") + lowerFirst(m_source.failure(rc).text);
        m_numMovIsKey = key.columnInt64(0) == 1 && key.columnInt64(1) == 1;
    }
    QStringList damage;
    {
        SqliteStatement check(m_source, kIntegrityCheck);
        rc = check.prepareResult();
        while (rc == SQLITE_OK || rc == SQLITE_ROW) {
            rc = check.step();
            if (rc == SQLITE_ROW)
                damage.append(check.columnText(0).replace(QLatin1Char('\n'), QLatin1Char(' ')));
        }
        if (rc != SQLITE_DONE && !isDamage(rc))
            return QStringLiteral("impossibile leggere ") + quoted(m_sourcePath) + QStringLiteral(": ") +
                   lowerFirst(m_source.failure(rc).text);
        if (rc != SQLITE_DONE)
            damage.append(m_source.failure(rc).text);
    }
    if (damage != QStringList{QStringLiteral("ok")})
        m_outcome.damage = damage.join(QStringLiteral("; "));

    m_read.emplace(m_source, kReadFrom);
    if (m_read->prepareResult() != SQLITE_OK)
        return QStringLiteral("impossibile leggere ") + quoted(m_sourcePath) + QStringLiteral(": ") +
               lowerFirst(m_source.failure(m_read->prepareResult()).text);
    if (const Outcome error = m_target.open(m_temporary, SQLITE_OPEN_READWRITE, Archive::kBusyTimeoutMs))
        return QStringLiteral("errore nella scrittura del nuovo archivio: ") + error.text;
    return {};
}

QString Repair::copyAll()
{
    WriteTransaction transaction(m_target);
    if (const Outcome error = transaction.begin())
        return QStringLiteral("errore nella scrittura del nuovo archivio: ") + error.text;
    int rc = m_target.exec(kCreateMovMag);
    if (rc != SQLITE_OK)
        return QStringLiteral("errore nella scrittura del nuovo archivio: ") + m_target.failure(rc).text;
    m_insert.emplace(m_target, kInsertMovMagRow);
    if (m_insert->prepareResult() != SQLITE_OK)
        return QStringLiteral("errore nella scrittura del nuovo archivio: ") +
               m_target.failure(m_insert->prepareResult()).text;

    qint64 from = kFirstKey;
    for (;;) {
        std::optional<qint64> last;
        rc = copyFrom(from, &last);
        if (!m_fatal.isEmpty())
            return m_fatal;
        if (rc == SQLITE_DONE || (last && *last == kLastKey))
            break;
        if (!isDamage(rc))
            return QStringLiteral("impossibile leggere ") + quoted(m_sourcePath) + QStringLiteral(": ") +
                   lowerFirst(m_source.failure(rc).text);
        // The first key not known to be read; probe it, then at doubling distances, until a key
        // reads again; then halve the step between the last failing probe and the readable one.
        const qint64 gap = last ? *last + 1 : from;
        const quint64 room = quint64(kLastKey) - quint64(gap);
        std::optional<qint64> failed, readable;
        for (quint64 offset = 0;;) {
            const qint64 key = qint64(quint64(gap) + offset);
            const Probe result = probe(key);
            if (result == Probe::Failed)
                return m_fatal;
            if (result == Probe::Readable) {
                readable = key;
                break;
            }
            failed = key;
            if (offset == room)
                break;
            const quint64 next = offset == 0 ? 1 : offset * 2;
            offset = next > room || next < offset ? room : next; // the last probe is the last key
        }
        if (!readable) {
            m_outcome.unread.append(rangeText(gap, kLastKey));
            break;
        }
        if (failed) {
            qint64 low = *failed, high = *readable;
            while (quint64(high) - quint64(low) > 1) {
                const qint64 middle = qint64(quint64(low) + (quint64(high) - quint64(low)) / 2);
                const Probe result = probe(middle);
                if (result == Probe::Failed)
                    return m_fatal;
                (result == Probe::Readable ? high : low) = middle;
            }
            m_outcome.unread.append(rangeText(gap, high - 1));
            readable = high;
        }
        from = *readable;
    }
    {
        SqliteStatement count(m_target, kCount);
        rc = count.prepareResult() == SQLITE_OK ? count.step() : count.prepareResult();
        if (rc != SQLITE_ROW)
            return QStringLiteral("errore nella scrittura del nuovo archivio: ") + m_target.failure(rc).text;
        if (count.columnInt64(0) != m_outcome.saved)
            return QStringLiteral("il nuovo archivio contiene ") + QString::number(count.columnInt64(0)) +
                   QStringLiteral(" righe invece di ") + QString::number(m_outcome.saved);
    }
    m_insert.reset();
    rc = transaction.commit();
    if (rc != SQLITE_OK)
        return QStringLiteral("errore nella scrittura del nuovo archivio: ") + m_target.failure(rc).text;
    return {};
}

// Stores the rows from key `from` on; SQLite's result code of the read that ended it.
int Repair::copyFrom(qint64 from, std::optional<qint64> *last)
{
    m_read->reset();
    m_read->bindInt64(1, from);
    int rc;
    while ((rc = m_read->step()) == SQLITE_ROW) {
        *last = m_read->columnInt64(0);
        m_fatal = storeRow();
        if (!m_fatal.isEmpty())
            break;
    }
    return rc;
}

// Whether the first row from `key` on reads (the step reads every column it returns).
Repair::Probe Repair::probe(qint64 key)
{
    m_read->reset();
    m_read->bindInt64(1, key);
    const int rc = m_read->step();
    if (rc == SQLITE_ROW || rc == SQLITE_DONE)
        return Probe::Readable;
    if (isDamage(rc))
        return Probe::Damaged;
    m_fatal = QStringLiteral("impossibile leggere ") + quoted(m_sourcePath) + QStringLiteral(": ") +
              lowerFirst(m_source.failure(rc).text);
    return Probe::Failed;
}

// Stores the row just read; a row the new archive cannot hold is listed, not stored. Empty unless
// writing failed.
QString Repair::storeRow()
{
    const QString rowid = QString::number(m_read->columnInt64(0));
    const QString number = m_read->columnText(1);
    if (m_read->columnType(1) == SQLITE_NULL) { // the new key would number it by itself
        m_outcome.refused.append(QStringLiteral("la riga con rowid ") + rowid +
                                 QStringLiteral(" non ha NUM_MOV"));
        return {};
    }
    for (int c = 0; c < kMovMagColumnCount; ++c)
        m_insert->bindValue(c + 1, m_read->columnValue(c + 1));
    const int rc = m_insert->step();
    const QString failure = rc == SQLITE_DONE ? QString() : m_target.failure(rc).text;
    m_insert->reset();
    if (rc == SQLITE_DONE) {
        ++m_outcome.saved;
        return {};
    }
    if ((rc & 0xff) == SQLITE_CONSTRAINT)
        m_outcome.refused.append(QStringLiteral("NUM_MOV ") + number + QStringLiteral(" ripetuto (rowid ") +
                                 rowid + QLatin1Char(')'));
    else if ((rc & 0xff) == SQLITE_MISMATCH)
        m_outcome.refused.append(QStringLiteral("NUM_MOV \"") + number +
                                 QStringLiteral("\" non è un numero intero (rowid ") + rowid +
                                 QLatin1Char(')'));
    else
        return QStringLiteral("errore nella scrittura del nuovo archivio: ") + failure;
    return {};
}

QString Repair::rangeText(qint64 from, qint64 to) const
{
    const QString key = m_numMovIsKey ? QStringLiteral("NUM_MOV") : QStringLiteral("rowid");
    if (from == kFirstKey && to == kLastKey)
        return QStringLiteral("tutte le righe");
    if (from == kFirstKey)
        return key + QStringLiteral(" fino a ") + QString::number(to);
    if (to == kLastKey)
        return key + QStringLiteral(" da ") + QString::number(from) + QStringLiteral(" in poi");
    if (from == to)
        return key + QLatin1Char(' ') + QString::number(from);
    return key + QStringLiteral(" da ") + QString::number(from) + QStringLiteral(" a ") + QString::number(to);
}

QString sourceProblem(const QString &source)
{
    const QString problem = fileKindProblem(readFileHead(source), FileKind::Sqlite);
    return problem.isEmpty() ? problem : quoted(source) + QLatin1Char(' ') + problem;
}

} // namespace

RepairOutcome repairArchive(const QString &source, const QString &destination)
{
    RepairOutcome outcome;
    SafeNewFile file(destination);
    if (const Outcome error = file.create()) {
        outcome.error = lowerFirst(error.text);
        return outcome;
    }
    outcome.error = sourceProblem(source);
    if (!outcome.error.isEmpty())
        return outcome;
    outcome = Repair(source, file.temporaryPath()).run();
    if (!outcome.error.isEmpty())
        return outcome;
    Outcome error;
    if (!Archive::open(file.temporaryPath(), &error, Archive::OpenMode::ReadOnly))
        outcome.error = QStringLiteral("il nuovo archivio non si apre: ") + lowerFirst(error.text);
    else if ((error = file.commit()))
        outcome.error = lowerFirst(error.text);
    return outcome;
}

} // namespace zelvaro
