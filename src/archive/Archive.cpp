#include "Archive.h"

#include "ArchiveErrorText.h"
#include "SqliteStatement.h"

#include <QFile>
#include <QFileInfo>

#include <array>
#include <iterator>
#include <limits>

namespace zelvaro {

namespace {

// Reading sqlite_master makes SQLite read the file's header: a file that is not a database, or one
// locked by another program, fails here and not at the first real query.
constexpr const char *kTableQuery = R"sql(SELECT COUNT(*) FROM sqlite_master
 WHERE type = 'table' AND name = 'MOV_MAG' COLLATE NOCASE)sql";

constexpr const char *kColumnsQuery = R"sql(SELECT name FROM pragma_table_info('MOV_MAG'))sql";

constexpr const char *kSynchronousFull = R"sql(PRAGMA synchronous = FULL)sql";
// The rollback journal keeps the archive a single file between operations.
constexpr const char *kJournalDelete = R"sql(PRAGMA journal_mode = DELETE)sql";

// "select * from MOV_MAG  where NUM_MOV = <key> "
constexpr const char *kReadQuery = R"sql(SELECT NUM_MOV, ANNO, MESE, GIORNO, ORA_INIZIO_1, ORA_FINE_1,
 ORA_INIZIO_2, ORA_FINE_2, ORA_INIZIO_3, ORA_FINE_3, NOTE FROM MOV_MAG WHERE NUM_MOV = ?1)sql";

// The last row of "select * from MOV_MAG  where NUM_MOV > 0" in number order.
constexpr const char *kLastNumberQuery =
    R"sql(SELECT NUM_MOV FROM MOV_MAG WHERE NUM_MOV > 0 ORDER BY NUM_MOV DESC LIMIT 1)sql";

// The row keeps its number and its NOTE.
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

constexpr const char *kBegin = R"sql(BEGIN IMMEDIATE)sql";
constexpr const char *kCommit = R"sql(COMMIT)sql";
constexpr const char *kRollback = R"sql(ROLLBACK)sql";

constexpr const char *kColumns[] = {"NUM_MOV",      "ANNO",       "MESE",         "GIORNO",
                                    "ORA_INIZIO_1", "ORA_FINE_1", "ORA_INIZIO_2", "ORA_FINE_2",
                                    "ORA_INIZIO_3", "ORA_FINE_3", "NOTE"};
constexpr int kColumnCount = int(std::size(kColumns));

// Bytes 4 to 18 of an Access (Jet 3/4) or Access 2007 (ACE) file.
constexpr char kJetSignature[] = "Standard Jet DB";
constexpr char kAceSignature[] = "Standard ACE DB";
constexpr qsizetype kSignatureOffset = 4;

int exec(sqlite3 *db, const char *sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// Rolls back on every way out that did not commit, so that a failure never leaves half a write.
class WriteTransaction
{
public:
    explicit WriteTransaction(sqlite3 *db) : m_db(db) {}
    ~WriteTransaction()
    {
        if (m_active && sqlite3_get_autocommit(m_db) == 0)
            exec(m_db, kRollback);
    }
    WriteTransaction(const WriteTransaction &) = delete;
    WriteTransaction &operator=(const WriteTransaction &) = delete;

    ArchiveError begin()
    {
        const int rc = exec(m_db, kBegin);
        if (rc != SQLITE_OK)
            return sqliteFailure(m_db, rc);
        m_active = true;
        // SQLite notices a file deleted or renamed under an open connection only on the connection's
        // first write; later writes would go to the unlinked file and be lost without a word.
        int moved = 0;
        if (sqlite3_file_control(m_db, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK && moved != 0)
            return archiveFailure(SQLITE_READONLY, sqliteCauseText(SQLITE_READONLY_DBMOVED));
        return {};
    }
    int commit()
    {
        const int rc = exec(m_db, kCommit);
        if (rc == SQLITE_OK)
            m_active = false;
        return rc;
    }

private:
    sqlite3 *m_db;
    bool m_active = false;
};

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

ArchiveError closedError()
{
    return archiveFailure(SQLITE_MISUSE, QStringLiteral("Archivio chiuso"));
}

// Reads the first bytes of the file to tell an Access archive from a SQLite one.
ArchiveError checkNotAccess(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return archiveFailure(SQLITE_CANTOPEN, QStringLiteral("Impossibile leggere il file dell'archivio (") +
                                                   file.errorString() + QLatin1Char(')'));
    const QByteArray head = file.read(kSignatureOffset + qsizetype(sizeof kJetSignature) - 1);
    const QByteArray signature = head.mid(kSignatureOffset);
    if (signature == kJetSignature || signature == kAceSignature)
        return archiveFailure(SQLITE_NOTADB,
                              QStringLiteral("Il file è un archivio Access: deve essere convertito "
                                             "con \"zelvaro-archivio importa\""));
    return {};
}

// The archive must hold table MOV_MAG with all its columns; their order and any other column
// do not matter.
ArchiveError checkSchema(sqlite3 *db)
{
    {
        SqliteStatement statement(db, kTableQuery);
        if (statement.prepareResult() != SQLITE_OK)
            return sqliteFailure(db, statement.prepareResult());
        const int rc = statement.step();
        if (rc != SQLITE_ROW)
            return sqliteFailure(db, rc);
        if (sqlite3_column_int(statement.get(), 0) == 0)
            return archiveFailure(SQLITE_ERROR, QStringLiteral("L'archivio non contiene la tabella MOV_MAG"));
    }
    SqliteStatement statement(db, kColumnsQuery);
    if (statement.prepareResult() != SQLITE_OK)
        return sqliteFailure(db, statement.prepareResult());
    bool found[kColumnCount] = {};
    int rc;
    while ((rc = statement.step()) == SQLITE_ROW) {
        const QString name =
            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement.get(), 0)));
        for (int c = 0; c < kColumnCount; ++c) {
            if (name.compare(QLatin1String(kColumns[c]), Qt::CaseInsensitive) == 0)
                found[c] = true;
        }
    }
    if (rc != SQLITE_DONE)
        return sqliteFailure(db, rc);
    for (int c = 0; c < kColumnCount; ++c) {
        if (!found[c])
            return archiveFailure(SQLITE_ERROR,
                                  QStringLiteral("Nella tabella MOV_MAG dell'archivio manca la colonna ") +
                                      QLatin1String(kColumns[c]));
    }
    return {};
}

} // namespace

int Archive::s_busyTimeoutMs = Archive::kBusyTimeoutMs;

void Archive::setBusyTimeout(int milliseconds)
{
    Q_ASSERT(milliseconds >= 0);
    s_busyTimeoutMs = milliseconds;
}

int Archive::busyTimeout()
{
    return s_busyTimeoutMs;
}

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

Archive::Archive(sqlite3 *db, const QString &path) : m_db(db), m_path(path) {}

Archive::~Archive()
{
    close();
}

void Archive::close()
{
    if (m_db != nullptr) {
        // Every statement is finalized when its operation returns, so this releases the file now.
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

bool Archive::isReadOnly() const
{
    return m_db != nullptr && sqlite3_db_readonly(m_db, "main") == 1;
}

std::unique_ptr<Archive> Archive::open(const QString &path, ArchiveError *error, OpenMode mode)
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
        *error = archiveFailure(SQLITE_CANTOPEN, QStringLiteral("Il file dell'archivio non esiste"));
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

    sqlite3 *raw = nullptr;
    // The connection is used from the window thread only: no per-call mutex.
    const int flags =
        (mode == OpenMode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    // The absolute path, so that a name beginning with "file:" is never taken for a URI.
    const int openResult =
        sqlite3_open_v2(QFile::encodeName(info.absoluteFilePath()).constData(), &raw, flags, nullptr);
    SqliteHandle db(raw);
    if (openResult != SQLITE_OK) {
        *error = sqliteFailure(db.get(), openResult);
        return nullptr;
    }
    sqlite3_extended_result_codes(db.get(), 1);
    int rc = sqlite3_busy_timeout(db.get(), s_busyTimeoutMs);
    if (rc != SQLITE_OK) {
        *error = sqliteFailure(db.get(), rc);
        return nullptr;
    }
    *error = checkSchema(db.get());
    if (error->failed())
        return nullptr;
    rc = exec(db.get(), kSynchronousFull);
    if (rc == SQLITE_OK && sqlite3_db_readonly(db.get(), "main") == 0)
        rc = exec(db.get(), kJournalDelete);
    if (rc != SQLITE_OK) {
        *error = sqliteFailure(db.get(), rc);
        return nullptr;
    }
    return std::unique_ptr<Archive>(new Archive(db.release(), path));
}

ArchiveError Archive::create(const QString &path)
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
                                      file.errorString() + QLatin1Char(')'));
        }
    }
    ArchiveError error;
    {
        sqlite3 *raw = nullptr;
        int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr);
        SqliteHandle db(raw);
        if (rc == SQLITE_OK) {
            sqlite3_extended_result_codes(db.get(), 1);
            rc = sqlite3_busy_timeout(db.get(), s_busyTimeoutMs);
        }
        if (rc == SQLITE_OK)
            rc = exec(db.get(), kSynchronousFull);
        WriteTransaction transaction(db.get());
        if (rc != SQLITE_OK) {
            error = sqliteFailure(db.get(), rc);
        } else if (error = transaction.begin(); !error.failed()) {
            rc = exec(db.get(), kCreateMovMag);
            if (rc == SQLITE_OK)
                rc = transaction.commit();
            if (rc != SQLITE_OK)
                error = sqliteFailure(db.get(), rc);
        }
    }
    if (error.failed())
        QFile::remove(path); // no half-made archive is left behind
    return error;
}

ArchiveError Archive::forEachListed(const std::function<void(const HoursRecord &)> &row)
{
    if (m_db == nullptr)
        return closedError();
    SqliteStatement statement(m_db, kListQuery);
    if (statement.prepareResult() != SQLITE_OK)
        return sqliteFailure(m_db, statement.prepareResult());
    sqlite3_stmt *const raw = statement.get();
    HoursRecord record;
    const auto fields = fieldsOf(record);
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        for (int c = 0; c < kColumnCount; ++c) {
            if (!readField(raw, c, *fields[c]))
                return sqliteFailure(m_db, SQLITE_NOMEM);
        }
        row(record);
    }
    if (rc != SQLITE_DONE)
        return sqliteFailure(m_db, rc);
    return {};
}

ArchiveError Archive::lastNumber(std::optional<qint64> *number)
{
    Q_ASSERT(number != nullptr);
    if (m_db == nullptr)
        return closedError();
    SqliteStatement statement(m_db, kLastNumberQuery);
    if (statement.prepareResult() != SQLITE_OK)
        return sqliteFailure(m_db, statement.prepareResult());
    const int rc = statement.step();
    if (rc == SQLITE_ROW)
        *number = sqlite3_column_int64(statement.get(), 0);
    else if (rc == SQLITE_DONE)
        number->reset();
    else
        return sqliteFailure(m_db, rc);
    return {};
}

ArchiveError Archive::readRecord(qint64 number, std::optional<HoursRecord> *record)
{
    Q_ASSERT(record != nullptr);
    if (m_db == nullptr)
        return closedError();
    SqliteStatement statement(m_db, kReadQuery);
    if (statement.prepareResult() != SQLITE_OK)
        return sqliteFailure(m_db, statement.prepareResult());
    int rc = statement.bindInt64(1, number);
    if (rc != SQLITE_OK)
        return sqliteFailure(m_db, rc);
    rc = statement.step();
    if (rc == SQLITE_DONE) {
        record->reset();
        return {};
    }
    if (rc != SQLITE_ROW)
        return sqliteFailure(m_db, rc);
    HoursRecord read;
    const auto fields = fieldsOf(read);
    for (int c = 0; c < kColumnCount; ++c) {
        if (!readField(statement.get(), c, *fields[c]))
            return sqliteFailure(m_db, SQLITE_NOMEM);
    }
    *record = std::move(read);
    return {};
}

ArchiveError Archive::confirmRecord(qint64 number, const RecordValues &values, qint64 *storedNumber)
{
    Q_ASSERT(storedNumber != nullptr);
    if (m_db == nullptr)
        return closedError();
    if (number <= 0)
        return archiveFailure(SQLITE_MISUSE,
                              QStringLiteral("Numero di movimento non valido: %1").arg(number));
    WriteTransaction transaction(m_db);
    if (ArchiveError error = transaction.begin())
        return error;
    int rc;
    qint64 written = number;
    {
        SqliteStatement update(m_db, kUpdateRecord);
        rc = update.prepareResult();
        if (rc == SQLITE_OK)
            rc = bindValues(update, values);
        if (rc == SQLITE_OK)
            rc = update.bindInt64(10, number);
        if (rc == SQLITE_OK)
            rc = update.step();
        if (rc != SQLITE_DONE)
            return sqliteFailure(m_db, rc);
    }
    if (sqlite3_changes(m_db) == 0) {
        SqliteStatement highest(m_db, kHighestNumberQuery);
        rc = highest.prepareResult();
        if (rc == SQLITE_OK)
            rc = highest.step();
        if (rc != SQLITE_ROW)
            return sqliteFailure(m_db, rc);
        switch (sqlite3_column_type(highest.get(), 0)) {
        case SQLITE_NULL:
            written = 1;
            break;
        case SQLITE_INTEGER:
            written = sqlite3_column_int64(highest.get(), 0);
            if (written == std::numeric_limits<qint64>::max())
                return archiveFailure(SQLITE_FULL, QStringLiteral("Numeri di movimento esauriti"));
            ++written;
            break;
        default:
            return archiveFailure(
                SQLITE_MISMATCH,
                QStringLiteral("La colonna NUM_MOV contiene un valore che non è un numero intero"));
        }
        SqliteStatement insert(m_db, kInsertRecord);
        rc = insert.prepareResult();
        if (rc == SQLITE_OK)
            rc = bindValues(insert, values);
        if (rc == SQLITE_OK)
            rc = insert.bindInt64(10, written);
        if (rc == SQLITE_OK)
            rc = insert.step();
        if (rc != SQLITE_DONE)
            return sqliteFailure(m_db, rc);
    }
    rc = transaction.commit();
    if (rc != SQLITE_OK)
        return sqliteFailure(m_db, rc);
    *storedNumber = written;
    return {};
}

ArchiveError Archive::deleteRecord(qint64 number)
{
    if (m_db == nullptr)
        return closedError();
    WriteTransaction transaction(m_db);
    if (ArchiveError error = transaction.begin())
        return error;
    int rc;
    {
        SqliteStatement statement(m_db, kDeleteRecord);
        rc = statement.prepareResult();
        if (rc == SQLITE_OK)
            rc = statement.bindInt64(1, number);
        if (rc == SQLITE_OK)
            rc = statement.step();
        if (rc != SQLITE_DONE)
            return sqliteFailure(m_db, rc);
    }
    rc = transaction.commit();
    if (rc != SQLITE_OK)
        return sqliteFailure(m_db, rc);
    return {};
}

} // namespace zelvaro
