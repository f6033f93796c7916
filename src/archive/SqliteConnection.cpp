#include "SqliteConnection.h"

#include "ArchiveFailure.h"
#include "SqliteStatement.h"
#include "Texts.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace zelvaro {

Outcome SqliteConnection::open(const QString &path, int flags, int busyTimeoutMs)
{
    Q_ASSERT(busyTimeoutMs >= 0);
    m_db.reset();
    m_path = path;
    sqlite3 *raw = nullptr;
    // The connection is used from one thread only: no per-call mutex.
    const int rc = sqlite3_open_v2(QFile::encodeName(QFileInfo(path).absoluteFilePath()).constData(), &raw,
                                   flags | SQLITE_OPEN_NOMUTEX, nullptr);
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
