#include "ArchiveReading.h"

#include "Archive.h"
#include "SqliteStatement.h"
#include "Texts.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

namespace zelvaro {

namespace {

// The first bytes of a rollback journal that holds pages to put back; a committed change leaves no
// journal, or an empty or zeroed one.
constexpr char kJournalMagic[] = "\xd9\xd5\x05\xf9\x20\xa1\x63\xd7";
// The byte of the "-shm" file on which every connection using the WAL holds a read lock (SQLite's
// unix VFS: 120 + 8 lock bytes).
constexpr off_t kShmInUseByte = 128;

bool mayWrite(const QString &path)
{
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

bool journalHeld(const QString &journal)
{
    QFile file(journal);
    return file.open(QIODevice::ReadOnly) && file.read(8) == QByteArray(kJournalMagic, 8);
}

// A read of the schema: on a read-write connection SQLite rolls a hot journal back before it, on
// a read-only one it fails with SQLITE_READONLY_ROLLBACK.
int readSchema(const SqliteConnection &db)
{
    SqliteStatement statement(db, "SELECT COUNT(*) FROM sqlite_master");
    return statement.prepareResult() == SQLITE_OK ? statement.step() : statement.prepareResult();
}

// Whether some process holds the "-shm" file open (its connections keep a read lock on one byte).
bool shmInUse(const QString &shm)
{
    const int fd = ::open(QFile::encodeName(shm).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kShmInUseByte;
    lock.l_len = 1;
    const bool inUse = ::fcntl(fd, F_GETLK, &lock) != 0 || lock.l_type != F_UNLCK;
    ::close(fd);
    return inUse;
}

} // namespace

QString interruptedChangeText(const QString &path)
{
    return QStringLiteral("una modifica dell'archivio ") + quoted(path) +
           QStringLiteral(" è stata interrotta (ne resta il giornale ") +
           quoted(path + QStringLiteral("-journal")) +
           QStringLiteral(
               ") e va annullata prima di leggerlo: aprire l'archivio una volta con Zelvaro, o con "
               "\"zelvaro-archivio verifica\" con il permesso di scrivere l'archivio e la sua "
               "cartella");
}

ArchiveReading::ArchiveReading(const QString &path)
    : m_path(path), m_walBefore(QFileInfo::exists(path + QStringLiteral("-wal"))),
      m_shmBefore(QFileInfo::exists(path + QStringLiteral("-shm")))
{
}

ArchiveReading::~ArchiveReading()
{
    finish();
}

bool ArchiveReading::walPending() const
{
    return QFileInfo(m_path + QStringLiteral("-wal")).size() > 0;
}

Outcome ArchiveReading::prepare(bool checkpoint)
{
    const QString journal = m_path + QStringLiteral("-journal");
    const bool held = journalHeld(journal);
    const bool wal = checkpoint && walPending();
    if (!held && !wal)
        return {};
    if (mayWrite(m_path) && mayWrite(QFileInfo(m_path).absolutePath())) {
        SqliteConnection db;
        if (!db.open(m_path, SQLITE_OPEN_READWRITE, Archive::kBusyTimeoutMs)) {
            readSchema(db);
            if (wal)
                db.exec("PRAGMA wal_checkpoint(TRUNCATE)");
        }
        m_rolledBack = held && !journalHeld(journal);
    }
    if (!held || m_rolledBack)
        return {};
    SqliteConnection db;
    if (db.open(m_path, SQLITE_OPEN_READONLY, Archive::kBusyTimeoutMs))
        return {};
    if (readSchema(db) != SQLITE_ROW && sqlite3_extended_errcode(db.get()) == SQLITE_READONLY_ROLLBACK)
        return Outcome::failure(SQLITE_READONLY, interruptedChangeText(m_path));
    return {};
}

void ArchiveReading::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    const QString wal = m_path + QStringLiteral("-wal");
    const QString shm = m_path + QStringLiteral("-shm");
    // A reader never writes into the WAL: one that has frames, or a "-shm" another process holds,
    // belongs to a connection that is still at work.
    if ((m_walBefore || !QFileInfo::exists(wal)) && (m_shmBefore || !QFileInfo::exists(shm)))
        return;
    if (QFileInfo(wal).size() > 0 || shmInUse(shm))
        return;
    if (!m_walBefore)
        QFile::remove(wal);
    if (!m_shmBefore)
        QFile::remove(shm);
}

} // namespace zelvaro
