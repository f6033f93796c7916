#include "SqliteConnection.h"

#include "ArchiveFailure.h"
#include "SqliteStatement.h"
#include "Texts.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelvaro {

namespace {

constexpr char kFolderDescriptorPrefix[] = "/proc/self/fd/";
constexpr const char *kShortPathVfs = "zelvaro-fd";

int (*g_unixFullPathname)(sqlite3_vfs *, const char *, int, char *) = nullptr;

// SQLite's own full path resolves every link, /proc/self/fd/N included, back to the long path; a
// path through a folder's descriptor was resolved before it was made, and is taken as it is.
int shortPathFullPathname(sqlite3_vfs *vfs, const char *path, int size, char *out)
{
    if (std::strncmp(path, kFolderDescriptorPrefix, sizeof kFolderDescriptorPrefix - 1) != 0)
        return g_unixFullPathname(vfs, path, size, out);
    const std::size_t length = std::strlen(path) + 1;
    if (length > std::size_t(size))
        return SQLITE_CANTOPEN;
    std::memcpy(out, path, length);
    return SQLITE_OK;
}

// SQLite's unix file system under another name, with the full path above: registered once, never
// the default.
const char *shortPathVfs()
{
    static const bool registered = [] {
        sqlite3_vfs *base = sqlite3_vfs_find("unix");
        if (base == nullptr)
            return false;
        static sqlite3_vfs vfs = *base;
        g_unixFullPathname = base->xFullPathname;
        vfs.zName = kShortPathVfs;
        vfs.pNext = nullptr;
        vfs.xFullPathname = shortPathFullPathname;
        return sqlite3_vfs_register(&vfs, 0) == SQLITE_OK;
    }();
    return registered ? kShortPathVfs : nullptr;
}

// The path with every link resolved, as SQLite would resolve it; the folder only when the file is
// missing or, with SQLITE_OPEN_NOFOLLOW, when its own link is for SQLite to refuse.
QByteArray resolvedPath(const QByteArray &path, bool followFile)
{
    char buffer[PATH_MAX];
    struct stat status;
    if (followFile && ::lstat(path.constData(), &status) == 0 && ::realpath(path.constData(), buffer))
        return buffer;
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash > 0 ? path.left(slash) : QByteArray("/");
    if (!::realpath(folder.constData(), buffer))
        return path;
    return QByteArray(buffer) + (std::strcmp(buffer, "/") == 0 ? "" : "/") + path.mid(slash + 1);
}

Outcome tooLongFailure(const QString &path, qsizetype bytes)
{
    return archiveFailure(
        SQLITE_CANTOPEN,
        QStringLiteral("Il percorso del file ") + quoted(path) + QStringLiteral(" è troppo lungo (") +
            QString::number(bytes) + QStringLiteral(" byte): SQLite ne apre al massimo ") +
            QString::number(SqliteConnection::kLongestDirectPathBytes) +
            QStringLiteral(", e la cartella non si raggiunge per la via breve /proc/self/fd"));
}

} // namespace

SqliteConnection::~SqliteConnection()
{
    m_db.reset(); // before the folder that a long path goes through
    if (m_folder >= 0)
        ::close(m_folder);
}

Outcome SqliteConnection::open(const QString &path, int flags, int busyTimeoutMs)
{
    Q_ASSERT(busyTimeoutMs >= 0);
    m_db.reset();
    if (m_folder >= 0)
        ::close(m_folder);
    m_folder = -1;
    m_path = path;
    QByteArray name = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    const char *vfs = nullptr;
    const QByteArray resolved = resolvedPath(name, (flags & SQLITE_OPEN_NOFOLLOW) == 0);
    if (resolved.size() > kLongestDirectPathBytes) {
        const qsizetype slash = resolved.lastIndexOf('/');
        vfs = shortPathVfs();
        m_folder = ::open(resolved.left(slash).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        const QByteArray folder = kFolderDescriptorPrefix + QByteArray::number(m_folder);
        struct stat status;
        if (vfs == nullptr || m_folder < 0 || ::stat(folder.constData(), &status) != 0) {
            if (m_folder >= 0)
                ::close(m_folder);
            m_folder = -1;
            return tooLongFailure(path, resolved.size());
        }
        name = folder + resolved.mid(slash);
    } else if (name.size() > kLongestDirectPathBytes) {
        name = resolved; // long only through "..", ".", or links that lead somewhere short
    }
    sqlite3 *raw = nullptr;
    // The connection is used from one thread only: no per-call mutex.
    const int rc = sqlite3_open_v2(name.constData(), &raw, flags | SQLITE_OPEN_NOMUTEX, vfs);
    m_db.reset(raw);
    if (rc != SQLITE_OK) {
        const Outcome error = failure(rc);
        m_db.reset();
        return error;
    }
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, busyTimeoutMs);
    return {};
}

Outcome SqliteConnection::close()
{
    const int rc = sqlite3_close(m_db.get());
    if (rc != SQLITE_OK)
        return failure(rc);
    (void)m_db.release();
    return {};
}

int SqliteConnection::exec(const char *sql) const
{
    return sqlite3_exec(m_db.get(), sql, nullptr, nullptr, nullptr);
}

Outcome SqliteConnection::failure(int resultCode) const
{
    // A file that can no longer be written fails every write, and every read that must first undo
    // an interrupted write, with "disk I/O error".
    if ((resultCode & 0xff) == SQLITE_IOERR && m_db) {
        // SQLite keeps the system's cause only of some failures; the file keeps that of its own.
        int fileCause = 0;
        sqlite3_file_control(m_db.get(), "main", SQLITE_FCNTL_LAST_ERRNO, &fileCause);
        const int cause = sqlite3_system_errno(m_db.get());
        const auto readOnly = [](int e) { return e == EROFS || e == EACCES || e == EPERM; };
        if (readOnly(cause) || readOnly(fileCause))
            return archiveFailure(SQLITE_IOERR, QStringLiteral("Il file dell'archivio ") + quoted(m_path) +
                                                    QStringLiteral(" non si può più scrivere: è diventato di "
                                                                   "sola lettura dopo l'apertura"));
    }
    return sqliteFailure(m_db.get(), resultCode);
}

Outcome SqliteConnection::writeFailure(int resultCode) const
{
    int extended = resultCode;
    if (m_db && (sqlite3_extended_errcode(m_db.get()) & 0xff) == (resultCode & 0xff))
        extended = sqlite3_extended_errcode(m_db.get());
    const int primary = resultCode & 0xff;
    // Every write first creates a journal beside the file; a folder that refuses it gives "unable to
    // open database file" or "attempt to write a readonly database".
    if (primary == SQLITE_CANTOPEN || extended == SQLITE_READONLY_DIRECTORY)
        return archiveFailure(primary, QStringLiteral("La cartella dell'archivio ") +
                                           quoted(QFileInfo(m_path).absolutePath()) +
                                           QStringLiteral(" non consente di creare file: l'archivio non si "
                                                          "può modificare, perché ogni modifica passa per un "
                                                          "file di appoggio in quella cartella"));
    return failure(resultCode);
}

Outcome SqliteConnection::quickCheck() const
{
    SqliteStatement statement(*this, "PRAGMA quick_check(1)");
    int rc = statement.prepareResult();
    if (rc == SQLITE_OK)
        rc = statement.step();
    if (rc == SQLITE_ROW) {
        if (statement.columnText(0) == QLatin1String("ok"))
            return {};
        return archiveFailure(SQLITE_CORRUPT, sqliteCauseText(SQLITE_CORRUPT));
    }
    if ((rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB)
        return archiveFailure(SQLITE_CORRUPT, sqliteCauseText(SQLITE_CORRUPT));
    return failure(rc);
}

WriteTransaction::~WriteTransaction()
{
    if (m_active && sqlite3_get_autocommit(m_connection.get()) == 0)
        m_connection.exec("ROLLBACK");
}

Outcome WriteTransaction::begin()
{
    const int rc = m_connection.exec("BEGIN IMMEDIATE");
    if (rc != SQLITE_OK)
        return m_connection.writeFailure(rc);
    m_active = true;
    // SQLite notices a file deleted or renamed under an open connection only on the connection's
    // first write; later writes would go to the unlinked file and be lost without a word.
    int moved = 0;
    if (sqlite3_file_control(m_connection.get(), "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK &&
        moved != 0)
        return archiveFailure(SQLITE_READONLY, sqliteCauseText(SQLITE_READONLY_DBMOVED));
    return {};
}

int WriteTransaction::commit()
{
    const int rc = m_connection.exec("COMMIT");
    if (rc == SQLITE_OK)
        m_active = false;
    return rc;
}

} // namespace zelvaro
