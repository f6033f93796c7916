#include "Archive.h"

#include "ArchiveFailure.h"
#include "BalanceTables.h"
#include "FileHead.h"
#include "PrivateFiles.h"
#include "SafeNewFile.h"
#include "SqliteConnection.h"
#include "SqliteStatement.h"
#include "Texts.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cerrno>
#include <iterator>
#include <limits>
#include <sys/stat.h>

namespace zelvaro {

namespace {

constexpr const char *kSynchronousFull = R"sql(PRAGMA synchronous = FULL)sql";
// The rollback journal keeps the archive a single file between operations.
constexpr const char *kJournalDelete = R"sql(PRAGMA journal_mode = DELETE)sql";

// "select * from MOV_MAG  where NUM_MOV = <key> "
constexpr const char *kReadQuery = R"sql(SELECT NUM_MOV, ANNO, MESE, GIORNO, ORA_INIZIO_1, ORA_FINE_1,
 ORA_INIZIO_2, ORA_FINE_2, ORA_INIZIO_3, ORA_FINE_3, NOTE FROM MOV_MAG WHERE NUM_MOV = ?1)sql";

// The last row of "select * from MOV_MAG  where NUM_MOV > 0" in number order.
constexpr const char *kLastNumberQuery =
    R"sql(SELECT NUM_MOV FROM MOV_MAG WHERE NUM_MOV > 0 ORDER BY NUM_MOV DESC LIMIT 1)sql";

// The row keeps its number and its NOTE: the window never shows a note, so an overwrite that
// emptied it would lose, unseen, what the old program or another tool wrote there.
constexpr const char *kUpdateRecord = R"sql(UPDATE MOV_MAG SET ANNO = ?1, MESE = ?2, GIORNO = ?3,
 ORA_INIZIO_1 = ?4, ORA_FINE_1 = ?5, ORA_INIZIO_2 = ?6, ORA_FINE_2 = ?7, ORA_INIZIO_3 = ?8, ORA_FINE_3 = ?9
 WHERE NUM_MOV = ?10)sql";

// A new row gets the highest number above 0 plus 1: also when only rows numbered 0 or less exist,
// whose neighbours SQLite's own numbering would pick and the list would never show.
constexpr const char *kHighestNumberQuery = R"sql(SELECT MAX(NUM_MOV) FROM MOV_MAG WHERE NUM_MOV > 0)sql";

constexpr const char *kInsertRecord = R"sql(INSERT INTO MOV_MAG (NUM_MOV, ANNO, MESE, GIORNO,
 ORA_INIZIO_1, ORA_FINE_1, ORA_INIZIO_2, ORA_FINE_2, ORA_INIZIO_3, ORA_FINE_3, NOTE)
 VALUES (?10, ?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ''))sql";

// "delete from MOV_MAG where NUM_MOV = <key> "
constexpr const char *kDeleteRecord = R"sql(DELETE FROM MOV_MAG WHERE NUM_MOV = ?1)sql";

constexpr int kColumnCount = kMovMagColumnCount;

// The field text of `length` UTF-8 bytes, trimmed of blanks, written into `out` so that its buffer
// is reused from row to row. A blank byte is never part of a multi-byte sequence, so trimming
// bytes is trimming characters.
void assignTrimmed(QString &out, const char *text, qsizetype length)
{
    while (length > 0 && *text == ' ') {
        ++text;
        --length;
    }
    while (length > 0 && text[length - 1] == ' ')
        --length;
    if (out.size() != length) // mostly as long as the same field of the row before
        out.resize(length);
    char16_t *target = reinterpret_cast<char16_t *>(out.data());
    for (qsizetype i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x80) {
            out = QString::fromUtf8(text, length);
            return;
        }
        target[i] = byte;
    }
}

// The digits of a whole number written into `out`, reusing its buffer.
void assignWhole(QString &out, qint64 value)
{
    char16_t digits[20];
    char16_t *first = std::end(digits);
    quint64 magnitude = value < 0 ? 0 - quint64(value) : quint64(value);
    do {
        *--first = char16_t(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    const qsizetype length = std::end(digits) - first + (value < 0 ? 1 : 0);
    out.resize(length);
    char16_t *target = reinterpret_cast<char16_t *>(out.data());
    if (value < 0)
        *target++ = u'-';
    std::copy(first, std::end(digits), target);
}

// False only when SQLite ran out of memory converting the value.
bool readField(sqlite3_stmt *statement, int column, QString &out)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    if (text == nullptr) {
        out.resize(0);
        return sqlite3_column_type(statement, column) == SQLITE_NULL;
    }
    assignTrimmed(out, text, sqlite3_column_bytes(statement, column));
    return true;
}

// The fields of a record in the column order of the queries.
std::array<QString *, kColumnCount> fieldsOf(HoursRecord &r)
{
    return {&r.numMov,     &r.anno,     &r.mese,       &r.giorno,   &r.oraInizio1, &r.oraFine1,
            &r.oraInizio2, &r.oraFine2, &r.oraInizio3, &r.oraFine3, &r.note};
}

// Binds the nine values as ?1 to ?9, trimmed of blanks.
int bindValues(SqliteStatement &statement, const RecordValues &v)
{
    const QString *values[] = {&v.anno,       &v.mese,     &v.giorno,     &v.oraInizio1, &v.oraFine1,
                               &v.oraInizio2, &v.oraFine2, &v.oraInizio3, &v.oraFine3};
    int index = 1;
    for (const QString *value : values) {
        const int rc = statement.bindText(index++, trimBlanks(*value));
        if (rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

Outcome closedError()
{
    return archiveFailure(SQLITE_MISUSE, QStringLiteral("Archivio chiuso"));
}

// What a failed write adds to its cause: the window shows it after the cause, with its own words.
const QString kNotStored = QStringLiteral("il movimento non è stato registrato");
const QString kNotDeleted = QStringLiteral("il movimento non è stato cancellato");
const QString kStoredUnknown =
    QStringLiteral("non si è potuto verificare se il movimento è stato registrato");
const QString kDeletedUnknown =
    QStringLiteral("non si è potuto verificare se il movimento è stato cancellato");

Outcome withOutcome(Outcome error, const QString &outcome)
{
    error.text += QStringLiteral(": ") + outcome;
    return error;
}

Outcome damagedError()
{
    return archiveFailure(SQLITE_CORRUPT,
                          sqliteCauseText(SQLITE_CORRUPT) +
                              QStringLiteral(": controllarlo con \"zelvaro-archivio verifica\" e salvarne le "
                                             "righe leggibili in un archivio nuovo con \"zelvaro-archivio "
                                             "ripara\""));
}

// Why a path that names nothing fails: "does not exist" would be wrong for a loop of links.
Outcome missingFileError(const QString &path)
{
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 && errno == ELOOP)
        return archiveFailure(SQLITE_CANTOPEN,
                              QStringLiteral("Il percorso dell'archivio contiene un ciclo di collegamenti "
                                             "simbolici: non porta a nessun file"));
    return archiveFailure(SQLITE_CANTOPEN, QStringLiteral("Il file dell'archivio non esiste"));
}

// An Access archive is refused by name: SQLite would only call it "not a database".
Outcome checkNotAccess(const QString &path)
{
    const FileHead head = readFileHead(path);
    if (head.kind == FileKind::Unreadable)
        return archiveFailure(SQLITE_CANTOPEN, QStringLiteral("Impossibile leggere il file dell'archivio (") +
                                                   head.error + QLatin1Char(')'));
    if (head.kind == FileKind::Access)
        return archiveFailure(SQLITE_NOTADB,
                              QStringLiteral("Il file ") + fileKindProblem(head, FileKind::Sqlite));
    return {};
}

// True when the row holds exactly what confirmRecord writes from `v`.
bool holds(const HoursRecord &r, const RecordValues &v)
{
    return r.anno == trimBlanks(v.anno) && r.mese == trimBlanks(v.mese) && r.giorno == trimBlanks(v.giorno) &&
           r.oraInizio1 == trimBlanks(v.oraInizio1) && r.oraFine1 == trimBlanks(v.oraFine1) &&
           r.oraInizio2 == trimBlanks(v.oraInizio2) && r.oraFine2 == trimBlanks(v.oraFine2) &&
           r.oraInizio3 == trimBlanks(v.oraInizio3) && r.oraFine3 == trimBlanks(v.oraFine3);
}

} // namespace

QString trimBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

QString fieldText(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QString();
    return trimBlanks(value.toString());
}

Archive::Archive(std::unique_ptr<SqliteConnection> connection, const QString &path, int busyTimeoutMs)
    : m_connection(std::move(connection)), m_path(path), m_busyTimeoutMs(busyTimeoutMs)
{
}

Archive::~Archive()
{
    close();
}

void Archive::close()
{
    // Every statement is finalized when its operation returns, so this releases the file now.
    m_connection.reset();
}

bool Archive::isOpen() const
{
    return m_connection != nullptr;
}

bool Archive::isReadOnly() const
{
    return m_connection && sqlite3_db_readonly(m_connection->get(), "main") == 1;
}

std::unique_ptr<Archive> Archive::open(const QString &path, Outcome *error, OpenMode mode, int busyTimeoutMs)
{
    Q_ASSERT(error != nullptr);
    *error = {};
    if (path.isEmpty()) {
        *error = archiveFailure(SQLITE_CANTOPEN, QStringLiteral("Percorso dell'archivio non indicato"));
        return nullptr;
    }
    if (path.contains(QChar(u'\0'))) { // the file system would see the path cut short at the NUL
        *error = archiveFailure(SQLITE_CANTOPEN, QStringLiteral("Il percorso dell'archivio non è valido"));
        return nullptr;
    }
    const QFileInfo info(path);
    if (!info.exists()) {
        *error = missingFileError(path);
        return nullptr;
    }
    if (info.isDir()) {
        *error =
            archiveFailure(SQLITE_CANTOPEN, QStringLiteral("Il percorso dell'archivio indica una cartella"));
        return nullptr;
    }
    if (!info.isFile()) {
        *error =
            archiveFailure(SQLITE_CANTOPEN, QStringLiteral("Il percorso dell'archivio non indica un file"));
        return nullptr;
    }
    *error = checkNotAccess(path);
    if (error->failed())
        return nullptr;

    auto connection = std::make_unique<SqliteConnection>();
    *error = connection->open(path, mode == OpenMode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE,
                              busyTimeoutMs);
    if (!error->failed())
        *error = checkMovMagSchema(*connection);
    if (!error->failed())
        *error = checkLayoutVersion(*connection);
    // A damaged file takes writes that later reads cannot find, and a retry doubles them: it is
    // refused before any window works on it.
    if (!error->failed())
        *error = connection->quickCheck();
    if (error->code == SQLITE_CORRUPT)
        *error = damagedError();
    if (error->failed())
        return nullptr;
    int rc = connection->exec(kSynchronousFull);
    if (rc == SQLITE_OK && sqlite3_db_readonly(connection->get(), "main") == 0)
        rc = connection->exec(kJournalDelete);
    if (rc != SQLITE_OK) {
        *error = connection->failure(rc);
        return nullptr;
    }
    return std::unique_ptr<Archive>(new Archive(std::move(connection), path, busyTimeoutMs));
}

Outcome Archive::create(const QString &path)
{
    if (path.isEmpty())
        return archiveFailure(SQLITE_CANTOPEN, QStringLiteral("Percorso dell'archivio non indicato"));
    if (path.contains(QChar(u'\0')))
        return archiveFailure(SQLITE_CANTOPEN, QStringLiteral("Il percorso dell'archivio non è valido"));
    const QFileInfo info(path);
    const auto existsError = [] {
        return archiveFailure(
            SQLITE_CANTOPEN,
            QStringLiteral("Esiste già un file con questo nome: l'archivio non viene creato"));
    };
    if (info.exists() || info.isSymLink())
        return existsError();
    {
        // NewOnly refuses a file that appeared since the check above.
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (QFileInfo::exists(path))
                return existsError();
            return archiveFailure(SQLITE_CANTOPEN,
                                  QStringLiteral("Impossibile creare il file dell'archivio (") +
                                      italianSystemText(file.errorString()) + QLatin1Char(')'));
        }
        makePrivate(file.handle()); // SQLite gives its journal the archive's mode
    }
    Outcome error;
    {
        SqliteConnection db;
        error = db.open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, kBusyTimeoutMs);
        if (!error.failed()) {
            int rc = db.exec(kSynchronousFull);
            WriteTransaction transaction(db);
            if (rc != SQLITE_OK) {
                error = db.failure(rc);
            } else if (error = transaction.begin(); !error.failed()) {
                rc = db.exec(kCreateMovMag);
                if (rc == SQLITE_OK)
                    rc = transaction.commit();
                if (rc != SQLITE_OK)
                    error = db.writeFailure(rc);
            }
        }
    }
    if (error.failed())
        QFile::remove(path); // no half-made archive is left behind
    return error;
}

Outcome Archive::forEachListed(const std::function<void(const HoursRecord &)> &row, ListedNote note)
{
    HoursRecord record;
    return forEachListed(record, row, note);
}

Outcome Archive::forEachListed(HoursRecord &record, const std::function<void(const HoursRecord &)> &row,
                               ListedNote note)
{
    if (!m_connection)
        return closedError();
    SqliteStatement statement(*m_connection, kListQuery);
    if (statement.prepareResult() != SQLITE_OK)
        return m_connection->failure(statement.prepareResult());
    sqlite3_stmt *const raw = statement.get();
    const auto fields = fieldsOf(record);
    int rc;
    const int columns = note == ListedNote::Read ? kColumnCount : kColumnCount - 1;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        // The number is nearly always stored as an integer: its digits are written here, without
        // SQLite's text of it.
        const int first = sqlite3_column_type(raw, 0) == SQLITE_INTEGER ? 1 : 0;
        if (first == 1)
            assignWhole(record.numMov, sqlite3_column_int64(raw, 0));
        for (int c = first; c < columns; ++c) {
            if (!readField(raw, c, *fields[c]))
                return m_connection->failure(SQLITE_NOMEM);
        }
        row(record);
    }
    if (rc != SQLITE_DONE)
        return m_connection->failure(rc);
    return {};
}

Outcome Archive::lastNumber(std::optional<qint64> *number)
{
    Q_ASSERT(number != nullptr);
    if (!m_connection)
        return closedError();
    SqliteStatement statement(*m_connection, kLastNumberQuery);
    if (statement.prepareResult() != SQLITE_OK)
        return m_connection->failure(statement.prepareResult());
    const int rc = statement.step();
    if (rc == SQLITE_ROW)
        *number = statement.columnInt64(0);
    else if (rc == SQLITE_DONE)
        number->reset();
    else
        return m_connection->failure(rc);
    return {};
}

Outcome Archive::readRecord(qint64 number, std::optional<HoursRecord> *record)
{
    Q_ASSERT(record != nullptr);
    if (!m_connection)
        return closedError();
    SqliteStatement statement(*m_connection, kReadQuery);
    if (statement.prepareResult() != SQLITE_OK)
        return m_connection->failure(statement.prepareResult());
    int rc = statement.bindInt64(1, number);
    if (rc != SQLITE_OK)
        return m_connection->failure(rc);
    rc = statement.step();
    if (rc == SQLITE_DONE) {
        record->reset();
        return {};
    }
    if (rc != SQLITE_ROW)
        return m_connection->failure(rc);
    HoursRecord read;
    const auto fields = fieldsOf(read);
    for (int c = 0; c < kColumnCount; ++c) {
        if (!readField(statement.get(), c, *fields[c]))
            return m_connection->failure(SQLITE_NOMEM);
    }
    *record = std::move(read);
    return {};
}

// The journal is deleted when a write commits: while it is there, the next reader undoes the write.
bool Archive::journalLeft() const
{
    const char *file = sqlite3_db_filename(m_connection->get(), "main");
    return file != nullptr && QFileInfo::exists(QFile::decodeName(file) + QStringLiteral("-journal"));
}

Outcome Archive::writeFailure(int resultCode, const QString &outcome) const
{
    return withOutcome(m_connection->writeFailure(resultCode), outcome);
}

Outcome Archive::confirmRecord(qint64 number, const RecordValues &values, qint64 *storedNumber)
{
    Q_ASSERT(storedNumber != nullptr);
    if (!m_connection)
        return withOutcome(closedError(), kNotStored);
    if (number <= 0)
        return archiveFailure(
            SQLITE_MISUSE, QStringLiteral("Numero di movimento non valido (%1): ").arg(number) + kNotStored);
    qint64 written = number;
    Outcome commitError;
    {
        WriteTransaction transaction(*m_connection);
        if (Outcome error = transaction.begin())
            return withOutcome(error, kNotStored);
        int rc;
        {
            SqliteStatement update(*m_connection, kUpdateRecord);
            rc = update.prepareResult();
            if (rc == SQLITE_OK)
                rc = bindValues(update, values);
            if (rc == SQLITE_OK)
                rc = update.bindInt64(10, number);
            if (rc == SQLITE_OK)
                rc = update.step();
            if (rc != SQLITE_DONE)
                return writeFailure(rc, kNotStored);
        }
        if (sqlite3_changes(m_connection->get()) == 0) {
            SqliteStatement highest(*m_connection, kHighestNumberQuery);
            rc = highest.prepareResult();
            if (rc == SQLITE_OK)
                rc = highest.step();
            if (rc != SQLITE_ROW)
                return writeFailure(rc, kNotStored);
            switch (highest.columnType(0)) {
            case SQLITE_NULL:
                written = 1;
                break;
            case SQLITE_INTEGER:
                written = highest.columnInt64(0);
                if (written == std::numeric_limits<qint64>::max())
                    return archiveFailure(SQLITE_FULL,
                                          QStringLiteral("Numeri di movimento esauriti: ") + kNotStored);
                ++written;
                break;
            default:
                return archiveFailure(SQLITE_MISMATCH,
                                      QStringLiteral("La colonna NUM_MOV contiene un valore che non è un "
                                                     "numero intero: ") +
                                          kNotStored);
            }
            SqliteStatement insert(*m_connection, kInsertRecord);
            rc = insert.prepareResult();
            if (rc == SQLITE_OK)
                rc = bindValues(insert, values);
            if (rc == SQLITE_OK)
                rc = insert.bindInt64(10, written);
            if (rc == SQLITE_OK)
                rc = insert.step();
            if (rc != SQLITE_DONE)
                return writeFailure(rc, kNotStored);
        }
        rc = transaction.commit();
        if (rc != SQLITE_OK)
            commitError = m_connection->writeFailure(rc);
    }
    if (commitError.failed()) {
        // SQLite may report a failure after the commit took place (releasing the lock, say): the
        // row read back decides, so that a retry never stores the day twice.
        std::optional<HoursRecord> stored;
        if (readRecord(written, &stored).failed())
            return withOutcome(commitError, journalLeft() ? kNotStored : kStoredUnknown);
        if (!stored || !holds(*stored, values))
            return withOutcome(commitError, kNotStored);
    }
    *storedNumber = written;
    return {};
}

Outcome Archive::deleteRecord(qint64 number)
{
    if (!m_connection)
        return withOutcome(closedError(), kNotDeleted);
    Outcome commitError;
    {
        WriteTransaction transaction(*m_connection);
        if (Outcome error = transaction.begin())
            return withOutcome(error, kNotDeleted);
        int rc;
        {
            SqliteStatement statement(*m_connection, kDeleteRecord);
            rc = statement.prepareResult();
            if (rc == SQLITE_OK)
                rc = statement.bindInt64(1, number);
            if (rc == SQLITE_OK)
                rc = statement.step();
            if (rc != SQLITE_DONE)
                return writeFailure(rc, kNotDeleted);
        }
        rc = transaction.commit();
        if (rc != SQLITE_OK)
            commitError = m_connection->writeFailure(rc);
    }
    if (commitError.failed()) {
        std::optional<HoursRecord> stored;
        if (readRecord(number, &stored).failed())
            return withOutcome(commitError, journalLeft() ? kNotDeleted : kDeletedUnknown);
        if (stored)
            return withOutcome(commitError, kNotDeleted);
    }
    return {};
}

Outcome Archive::backupTo(const QString &destination)
{
    if (!m_connection)
        return closedError();
    SafeNewFile file(destination);
    if (Outcome error = file.create())
        return error;
    {
        SqliteConnection copy;
        if (Outcome error = copy.open(file.temporaryPath(), SQLITE_OPEN_READWRITE, m_busyTimeoutMs))
            return error;
        // A full disk stops the copy only: the archive itself was just read.
        const auto copyFailure = [&copy](int rc) {
            Outcome error = copy.writeFailure(rc);
            error.text.replace(sqliteCauseText(SQLITE_FULL),
                               QStringLiteral("Disco pieno: non è possibile scrivere la copia"));
            return error;
        };
        sqlite3_backup *backup = sqlite3_backup_init(copy.get(), "main", m_connection->get(), "main");
        if (backup == nullptr)
            return copyFailure(sqlite3_errcode(copy.get()));
        // One step: the whole archive is read under one read lock, hence consistent. A lock held by
        // another program is waited for as a write waits (the archive's busy timeout).
        const int stepResult = sqlite3_backup_step(backup, -1);
        const int finishResult = sqlite3_backup_finish(backup);
        if (stepResult != SQLITE_DONE || finishResult != SQLITE_OK)
            return copyFailure(finishResult != SQLITE_OK ? finishResult : stepResult);
        // The copy of an archive left in WAL mode would need files of its own beside it.
        const int rc = copy.exec(kJournalDelete);
        if (rc != SQLITE_OK)
            return copyFailure(rc);
        if (Outcome error = copy.close())
            return error;
    }
    Outcome error;
    if (!Archive::open(file.temporaryPath(), &error, OpenMode::ReadOnly, m_busyTimeoutMs))
        return error;
    return file.commit();
}

} // namespace zelvaro
