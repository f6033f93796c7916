#include "AccessImport.h"

#include "Archive.h"
#include "ArchiveErrorText.h"
#include "FileHead.h"
#include "SqliteStatement.h"
#include "StderrCapture.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>
#include <QTemporaryFile>

#include <mdbtools.h>

#include <array>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace zelvaro {

namespace {

// The columns of MOV_MAG in the order of the insert below; NUM_MOV comes first.
constexpr const char *kColumns[] = {"NUM_MOV",      "ANNO",       "MESE",         "GIORNO",
                                    "ORA_INIZIO_1", "ORA_FINE_1", "ORA_INIZIO_2", "ORA_FINE_2",
                                    "ORA_INIZIO_3", "ORA_FINE_3", "NOTE"};
constexpr int kColumnCount = int(std::size(kColumns));
constexpr int kAnno = 1, kMese = 2, kGiorno = 3;

constexpr const char *kInsert = R"sql(INSERT INTO MOV_MAG (NUM_MOV, ANNO, MESE, GIORNO, ORA_INIZIO_1,
 ORA_FINE_1, ORA_INIZIO_2, ORA_FINE_2, ORA_INIZIO_3, ORA_FINE_3, NOTE) VALUES (?,?,?,?,?,?,?,?,?,?,?))sql";
constexpr const char *kCount = R"sql(SELECT COUNT(*), COALESCE(SUM(NUM_MOV <= 0), 0) FROM MOV_MAG)sql";

// Room for one value as libmdb writes it. A Text column holds at most 255 characters; a memo of
// 65,535 characters takes at most three bytes each in UTF-8. libmdb works through a buffer of this
// size for every value it reads, so the large one is taken only when a memo column is read. A value
// that fills the buffer may have been cut, and is refused.
constexpr size_t kBindSize = 16 * 1024;
constexpr size_t kMemoBindSize = 256 * 1024;

struct MdbCloser
{
    void operator()(MdbHandle *mdb) const { mdb_close(mdb); }
};
struct TableFreer
{
    void operator()(MdbTableDef *table) const { mdb_free_tabledef(table); }
};

// libmdb writes numbers with printf and dates with strftime: the C locale keeps the decimal point
// and the date text the same whatever the user's settings.
class CLocaleScope
{
public:
    CLocaleScope() : m_c(newlocale(LC_ALL_MASK, "C", locale_t(nullptr)))
    {
        if (m_c != locale_t(nullptr))
            m_previous = uselocale(m_c);
    }
    ~CLocaleScope()
    {
        if (m_c != locale_t(nullptr)) {
            uselocale(m_previous);
            freelocale(m_c);
        }
    }
    CLocaleScope(const CLocaleScope &) = delete;
    CLocaleScope &operator=(const CLocaleScope &) = delete;

private:
    locale_t m_c;
    locale_t m_previous = LC_GLOBAL_LOCALE;
};

// libmdb converts texts to the character set named by MDBICONV (UTF-8 when unset) when it opens a
// file; the archive holds UTF-8 whatever the environment says.
class Utf8TargetScope
{
public:
    Utf8TargetScope() : m_had(qEnvironmentVariableIsSet(kName)), m_previous(qgetenv(kName))
    {
        qputenv(kName, "UTF-8");
    }
    ~Utf8TargetScope()
    {
        if (m_had)
            qputenv(kName, m_previous);
        else
            qunsetenv(kName);
    }
    Utf8TargetScope(const Utf8TargetScope &) = delete;
    Utf8TargetScope &operator=(const Utf8TargetScope &) = delete;

private:
    static constexpr const char *kName = "MDBICONV";
    bool m_had;
    QByteArray m_previous;
};

// Moves `from` to `to` only when nothing exists at `to`, in one step where the file system allows.
bool renameNoReplace(const QString &from, const QString &to, QString *error)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // A file system without the no-replace rename: a hard link fails as well when `to` exists.
    if (::link(source.constData(), target.constData()) == 0) {
        ::unlink(source.constData());
        return true;
    }
    *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

// Makes the new name survive a power cut.
void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The file's permissions follow the user's file-creation mask, as for any new file, not the
// owner-only ones of a temporary file.
void setNewFilePermissions(const QString &path)
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(QFile::encodeName(path).constData(), 0666 & ~mask);
}

// NUM_MOV as libmdb wrote it: a whole number (a Double column gives "12.000000" or the like).
bool readNumber(const QString &text, qint64 *number)
{
    bool ok = false;
    *number = text.toLongLong(&ok);
    if (ok)
        return true;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value != std::floor(value) || std::fabs(value) >= 9.0e15)
        return false;
    *number = static_cast<qint64>(value);
    return true;
}

// What the reading process hands back.
struct ReadResult
{
    QString error; // empty when every row was written and committed
    qint64 rows = 0;
    qint64 unlisted = 0;
    qint64 declared = 0; // the row count the Access table declares
};

// Reads MOV_MAG with libmdb and writes its rows into the empty file `temporary`.
class MdbReader
{
public:
    MdbReader(const QString &source, const QString &temporary) : m_source(source), m_temporary(temporary) {}
    ReadResult run();

private:
    QString openSource();
    QString bindColumns();
    QString openTemporary();
    QString copyRows();
    QString rowName(qint64 row, bool withDate = true) const;
    QString sqliteError(int rc) const;

    QString m_source, m_temporary;
    std::unique_ptr<MdbHandle, MdbCloser> m_mdb;
    std::unique_ptr<MdbTableDef, TableFreer> m_table;
    std::array<std::vector<char>, kColumnCount> m_buffers;
    std::array<int, kColumnCount> m_lengths{};
    std::array<QString, kColumnCount> m_texts; // the current row, decoded
    size_t m_bindSize = kBindSize;
    SqliteHandle m_db;
    ReadResult m_result;
};

ReadResult MdbReader::run()
{
    QString error = openSource();
    if (error.isEmpty())
        error = bindColumns();
    if (error.isEmpty())
        error = openTemporary();
    if (error.isEmpty())
        error = copyRows();
    if (error.isEmpty()) {
        const int rc = sqlite3_close(m_db.release());
        if (rc != SQLITE_OK)
            error = QStringLiteral("errore nella chiusura del nuovo archivio: ") + sqliteCauseText(rc);
    }
    m_db.reset(); // a failed write is rolled back and its journal removed
    m_result.error = error;
    return m_result;
}

QString MdbReader::openSource()
{
    {
        const Utf8TargetScope utf8;
        m_mdb.reset(mdb_open(QFile::encodeName(m_source).constData(), MDB_NOFLAGS));
    }
    if (!m_mdb)
        return QStringLiteral("libmdb non riesce ad aprire ") + quoted(m_source) +
               QStringLiteral(": il file è danneggiato o non è un archivio Access");
    mdb_set_date_fmt(m_mdb.get(), "%Y-%m-%d %H:%M:%S");
    mdb_set_shortdate_fmt(m_mdb.get(), "%Y-%m-%d");

    GPtrArray *catalog = mdb_read_catalog(m_mdb.get(), MDB_TABLE);
    if (catalog == nullptr)
        return QStringLiteral("impossibile leggere l'elenco delle tabelle di ") + quoted(m_source) +
               QStringLiteral(": il file è danneggiato");
    // Access compares table names without regard to case.
    MdbCatalogEntry *entry = nullptr;
    for (guint i = 0; i < catalog->len; ++i) {
        auto *candidate = static_cast<MdbCatalogEntry *>(g_ptr_array_index(catalog, i));
        if (candidate->object_type == MDB_TABLE &&
            g_ascii_strcasecmp(candidate->object_name, "MOV_MAG") == 0) {
            entry = candidate;
            break;
        }
    }
    if (entry == nullptr)
        return quoted(m_source) + QStringLiteral(" non contiene la tabella MOV_MAG");
    m_table.reset(mdb_read_table(entry));
    if (!m_table || mdb_read_columns(m_table.get()) == nullptr)
        return QStringLiteral("impossibile leggere la definizione della tabella MOV_MAG di ") +
               quoted(m_source) + QStringLiteral(": il file è danneggiato");
    return {};
}

QString MdbReader::bindColumns()
{
    GPtrArray *columns = m_table->columns;
    std::array<int, kColumnCount> found;
    for (int c = 0; c < kColumnCount; ++c) {
        found[c] = -1;
        for (guint i = 0; i < columns->len; ++i) {
            const auto *column = static_cast<MdbColumn *>(g_ptr_array_index(columns, i));
            if (g_ascii_strcasecmp(column->name, kColumns[c]) == 0) {
                found[c] = int(i);
                if (column->col_type == MDB_MEMO || column->col_type == MDB_OLE)
                    m_bindSize = kMemoBindSize;
                break;
            }
        }
        if (found[c] < 0)
            return QStringLiteral("nella tabella MOV_MAG di ") + quoted(m_source) +
                   QStringLiteral(" manca la colonna ") + QLatin1String(kColumns[c]);
    }
    mdb_set_bind_size(m_mdb.get(), m_bindSize);
    for (int c = 0; c < kColumnCount; ++c) {
        m_buffers[c].assign(m_bindSize, '\0');
        if (mdb_bind_column(m_table.get(), found[c] + 1, m_buffers[c].data(), &m_lengths[c]) < 0)
            return QStringLiteral("impossibile leggere la colonna ") + QLatin1String(kColumns[c]) +
                   QStringLiteral(" della tabella MOV_MAG");
    }
    return {};
}

QString MdbReader::openTemporary()
{
    sqlite3 *raw = nullptr;
    const int rc =
        sqlite3_open_v2(QFile::encodeName(m_temporary).constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    m_db.reset(raw);
    if (rc != SQLITE_OK)
        return sqliteError(rc);
    sqlite3_extended_result_codes(m_db.get(), 1);
    return {};
}

QString MdbReader::sqliteError(int rc) const
{
    return QStringLiteral("errore nella scrittura del nuovo archivio: ") + sqliteFailure(m_db.get(), rc).text;
}

// "riga 7 di MOV_MAG (giorno 3/1/1998)": the row counted in the order libmdb reads the table.
QString MdbReader::rowName(qint64 row, bool withDate) const
{
    QString name = QStringLiteral("riga ") + QString::number(row) + QStringLiteral(" di MOV_MAG");
    if (withDate && (!m_texts[kGiorno].isEmpty() || !m_texts[kMese].isEmpty() || !m_texts[kAnno].isEmpty()))
        name += QStringLiteral(" (giorno ") + m_texts[kGiorno].trimmed() + QLatin1Char('/') +
                m_texts[kMese].trimmed() + QLatin1Char('/') + m_texts[kAnno].trimmed() + QLatin1Char(')');
    return name;
}

QString MdbReader::copyRows()
{
    sqlite3 *db = m_db.get();
    int rc = sqlite3_exec(db, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, kCreateMovMag, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return sqliteError(rc);
    SqliteStatement insert(db, kInsert);
    if (insert.prepareResult() != SQLITE_OK)
        return sqliteError(insert.prepareResult());
    sqlite3_stmt *statement = insert.get();

    QHash<qint64, qint64> rowOfNumber; // NUM_MOV -> the row that holds it
    // A damaged table definition may declare any count: it sizes nothing beyond a guess.
    rowOfNumber.reserve(qsizetype(qMin(m_table->num_rows, 1u << 16)));
    QStringDecoder decoder(QStringDecoder::Utf8);
    const CLocaleScope cLocale;
    mdb_rewind_table(m_table.get());
    qint64 row = 0;
    while (mdb_fetch_row(m_table.get())) {
        ++row;
        for (int c = 0; c < kColumnCount; ++c) {
            const int length = m_lengths[c];
            if (length <= 0) {
                m_texts[c] = QString(); // libmdb gives an empty text for a null: both become null
                continue;
            }
            const QByteArrayView bytes(m_buffers[c].data(), qMin<qsizetype>(length, qsizetype(m_bindSize)));
            m_texts[c] = decoder.decode(bytes);
            if (decoder.hasError()) {
                decoder.resetState();
                return QStringLiteral("il testo della colonna ") + QLatin1String(kColumns[c]) +
                       QStringLiteral(" nella ") + rowName(row, false) +
                       QStringLiteral(" non è UTF-8 valido dopo la conversione di libmdb");
            }
            if (size_t(length) >= m_bindSize - 1)
                return QStringLiteral("il testo della colonna ") + QLatin1String(kColumns[c]) +
                       QStringLiteral(" nella ") + rowName(row, false) +
                       QStringLiteral(" è troppo lungo per essere letto per intero");
        }
        if (m_texts[0].isNull())
            return QStringLiteral("la ") + rowName(row) +
                   QStringLiteral(" non ha NUM_MOV: ogni riga deve avere il suo numero");
        qint64 number = 0;
        if (!readNumber(m_texts[0].trimmed(), &number))
            return QStringLiteral("la ") + rowName(row) + QStringLiteral(" ha NUM_MOV \"") + m_texts[0] +
                   QStringLiteral("\", che non è un numero intero");
        const auto seen = rowOfNumber.constFind(number);
        if (seen != rowOfNumber.cend())
            return QStringLiteral("NUM_MOV ") + QString::number(number) +
                   QStringLiteral(" compare due volte: nella riga ") + QString::number(*seen) +
                   QStringLiteral(" e nella ") + rowName(row);
        rowOfNumber.insert(number, row);
        if (number <= 0)
            ++m_result.unlisted;

        sqlite3_bind_int64(statement, 1, number);
        for (int c = 1; c < kColumnCount; ++c) {
            if (m_texts[c].isNull())
                sqlite3_bind_null(statement, c + 1);
            else
                sqlite3_bind_text(statement, c + 1, m_buffers[c].data(), m_lengths[c], SQLITE_STATIC);
        }
        rc = sqlite3_step(statement);
        if (rc != SQLITE_DONE)
            return sqliteError(rc); // read before the reset, which would replace the message
        sqlite3_reset(statement);
    }
    m_result.rows = row;
    m_result.declared = qint64(m_table->num_rows);
    // A damaged page can make libmdb pass over rows without a word: the table's own count decides.
    if (qint64(m_table->num_rows) != row)
        return QStringLiteral("in MOV_MAG sono state trovate ") + QString::number(row) +
               QStringLiteral(" righe, ma la tabella ne dichiara ") + QString::number(m_table->num_rows) +
               QStringLiteral(": ") + quoted(m_source) + QStringLiteral(" è danneggiato");
    rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return sqliteError(rc);
    return {};
}

// Writes all of `data` to the descriptor.
bool writeAll(int fd, const QByteArray &data)
{
    const char *p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

// libmdb trusts the pages it reads: a damaged file can make it read out of bounds and crash. It
// therefore runs in a child process, which writes the rows into `temporary` and reports through a
// pipe; a child that dies leaves a refusal, never a crash of the tool.
ReadResult readInChildProcess(const QString &source, const QString &temporary)
{
    ReadResult result;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        result.error = QStringLiteral("impossibile avviare la lettura (") +
                       QString::fromLocal8Bit(std::strerror(errno)) + QLatin1Char(')');
        return result;
    }
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) {
        result.error = QStringLiteral("impossibile avviare la lettura (") +
                       QString::fromLocal8Bit(std::strerror(errno)) + QLatin1Char(')');
        ::close(fds[0]);
        ::close(fds[1]);
        return result;
    }
    if (child == 0) {
        ::close(fds[0]);
        const ReadResult read = MdbReader(source, temporary).run();
        QByteArray message;
        QDataStream stream(&message, QIODevice::WriteOnly);
        stream << read.error << read.rows << read.unlisted << read.declared;
        std::fflush(nullptr);
        ::_exit(writeAll(fds[1], message) ? 0 : 1);
    }
    ::close(fds[1]);
    QByteArray message;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        message.append(buffer, n);
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    QDataStream stream(message);
    stream >> result.error >> result.rows >> result.unlisted >> result.declared;
    if (stream.status() != QDataStream::Ok || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        result = ReadResult();
        result.error =
            QStringLiteral("la lettura di ") + quoted(source) + QStringLiteral(" si è interrotta (");
        result.error += WIFSIGNALED(status) ? QStringLiteral("segnale ") + QString::number(WTERMSIG(status))
                                            : QStringLiteral("stato ") + QString::number(WEXITSTATUS(status));
        result.error += QStringLiteral("): il file è danneggiato");
    }
    return result;
}

// Counts the rows of the written file on a connection of its own, checks that the program opens
// it, and gives it the destination's name. Empty on success.
QString finishImport(const QString &temporary, const QString &destination, const ReadResult &read)
{
    {
        sqlite3 *raw = nullptr;
        int rc =
            sqlite3_open_v2(QFile::encodeName(temporary).constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
        SqliteHandle db(raw);
        if (rc != SQLITE_OK)
            return QStringLiteral("il nuovo archivio non si apre: ") + sqliteFailure(db.get(), rc).text;
        SqliteStatement count(db.get(), kCount);
        rc = count.prepareResult() == SQLITE_OK ? count.step() : count.prepareResult();
        if (rc != SQLITE_ROW)
            return QStringLiteral("il nuovo archivio non si legge: ") + sqliteFailure(db.get(), rc).text;
        const qint64 stored = sqlite3_column_int64(count.get(), 0);
        if (stored != read.rows || stored != read.declared ||
            sqlite3_column_int64(count.get(), 1) != read.unlisted)
            return QStringLiteral("il nuovo archivio contiene ") + QString::number(stored) +
                   QStringLiteral(" righe invece delle ") + QString::number(read.declared) +
                   QStringLiteral(" della tabella MOV_MAG");
    }
    ArchiveError openError;
    if (!Archive::open(temporary, &openError, Archive::OpenMode::ReadOnly))
        return QStringLiteral("il nuovo archivio non si apre: ") + openError.text;
    setNewFilePermissions(temporary);
    QString renameError;
    if (!renameNoReplace(temporary, destination, &renameError)) {
        if (QFileInfo::exists(destination) || QFileInfo(destination).isSymLink())
            return QStringLiteral("la destinazione ") + quoted(destination) +
                   QStringLiteral(" è comparsa durante l'importazione e non viene toccata");
        return QStringLiteral("impossibile dare al nuovo archivio il nome ") + quoted(destination) +
               QStringLiteral(" (") + renameError + QLatin1Char(')');
    }
    syncFolder(QFileInfo(destination).absolutePath());
    return {};
}

} // namespace

bool accessImportAvailable()
{
    return true;
}

ImportOutcome importAccessArchive(const QString &source, const QString &destination)
{
    ImportOutcome outcome;
    if (destination.isEmpty()) {
        outcome.error = QStringLiteral("destinazione non indicata");
        return outcome;
    }
    const QFileInfo target(destination);
    if (target.exists() || target.isSymLink()) {
        outcome.error = QStringLiteral("la destinazione ") + quoted(destination) +
                        QStringLiteral(" esiste già e non viene toccata: indicare un file nuovo");
        return outcome;
    }
    if (!target.absoluteDir().exists()) {
        outcome.error =
            QStringLiteral("la cartella ") + quoted(target.absolutePath()) + QStringLiteral(" non esiste");
        return outcome;
    }
    const AccessFormat format = checkAccessFile(source);
    if (!format.ok) {
        outcome.error = format.problem;
        return outcome;
    }

    // A hidden name beside the destination, so that the final rename stays on one file system.
    QTemporaryFile temporary(
        target.absoluteDir().filePath(QStringLiteral(".") + target.fileName() + QStringLiteral(".XXXXXX")));
    if (!temporary.open()) {
        outcome.error = QStringLiteral("impossibile scrivere nella cartella ") +
                        quoted(target.absolutePath()) + QStringLiteral(" (") + temporary.errorString() +
                        QLatin1Char(')');
        return outcome;
    }
    temporary.close();
    const QString temporaryPath = temporary.fileName();

    StderrCapture capture; // libmdb's diagnostics become part of the outcome
    const ReadResult read = readInChildProcess(source, temporaryPath);
    outcome.libmdbNotes = capture.finish();
    outcome.error = read.error;
    if (outcome.error.isEmpty())
        outcome.error = finishImport(temporaryPath, destination, read);
    if (!outcome.error.isEmpty()) {
        QFile::remove(temporaryPath + QStringLiteral("-journal")); // left by a reader that died mid-write
        return outcome;
    }
    temporary.setAutoRemove(false);
    outcome.ok = true;
    outcome.rows = read.rows;
    outcome.unlistedRows = read.unlisted;
    return outcome;
}

} // namespace zelvaro
