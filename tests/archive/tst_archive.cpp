#include "Archive.h"
#include "BalanceTables.h"
#include "DailyBackup.h"
#include "FaultVfs.h"
#include "Files.h"
#include "SafeNewFile.h"
#include "SqliteConnection.h"
#include "TempArchive.h"
#include "Texts.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <csignal>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace zelvaro;
using namespace zelvaro::test;
using Rows = QList<QStringList>;
using Numbers = QList<qint64>;
using MakePath = std::function<QString()>;           // makes what a row opens, returns its path
using Cause = std::function<void()>;                 // what a row does to the open archive
using Operation = std::function<Outcome(Archive &)>; // a write of a row
Q_DECLARE_METATYPE(MakePath)
Q_DECLARE_METATYPE(Cause)
Q_DECLARE_METATYPE(Operation)

namespace {

// Distinct texts per column, so that a column read into the wrong field shows.
QStringList storedTexts(qint64 n)
{
    const QString s = QString::number(n);
    return {s,         "Y" + s,   "M" + s,   "D" + s,   "I1." + s, "F1." + s,
            "I2." + s, "F2." + s, "I3." + s, "F3." + s, "N" + s};
}

// Blanks to trim; a tab is not a blank.
const RecordValues kValues{" 2024 ", "5 ", " 7", " 8.30", "12.00 ", "\t", "", "  20.00", "22.15  "};

// Row `n` as written from kValues, with its note.
QStringList writtenTexts(qint64 n, const QString &note)
{
    return {QString::number(n), "2024", "5", "7", "8.30", "12.00", "\t", "", "20.00", "22.15", note};
}

QStringList fieldsOf(const HoursRecord &r)
{
    return {r.numMov,     r.anno,     r.mese,       r.giorno,   r.oraInizio1, r.oraFine1,
            r.oraInizio2, r.oraFine2, r.oraInizio3, r.oraFine3, r.note};
}

// Every listed record as field texts; a failure ends the list with {"error", code}.
Rows listed(Archive &archive)
{
    Rows rows;
    if (const Outcome error = archive.forEachListed([&](const HoursRecord &r) { rows.append(fieldsOf(r)); }))
        rows.append({"error", QString::number(error.code)});
    return rows;
}

// Every row, every column, as another program reads it ("NULL" for null).
Rows content(const QString &path)
{
    return SqlFile(path).rows("SELECT * FROM MOV_MAG ORDER BY NUM_MOV");
}

bool hasError(const Outcome &error, int code, const QString &fragment)
{
    if (error.code == code && error.text.contains(fragment))
        return true;
    qWarning("got %d \"%s\"", error.code, qPrintable(error.text));
    return false;
}

} // namespace

class TestArchive : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;                   // ZELVARO_97.mdb in m_dir
    std::unique_ptr<SqlFile> m_other; // another program, holding a lock while a test needs it
    std::unique_ptr<Archive> m_archive;
    std::unique_ptr<QTemporaryDir> m_fixtures; // of openFailure, made once for all its rows
    std::unique_ptr<SqlFile> m_fixtureLock;

    QString filePath(const QString &name) const { return m_dir->filePath(name); }

    // A hand-made archive at m_path: the statement run by another program, then rows numbered as given.
    QString makeArchive(const Numbers &numbers, const QString &createSql = kCreateMovMag)
    {
        QString sql = createSql + ";BEGIN;";
        for (qint64 n : numbers)
            sql += QString("INSERT INTO MOV_MAG (%1) VALUES (%2, '%3');")
                       .arg(kAllColumns, QString::number(n), storedTexts(n).mid(1).join("', '"));
        return SqlFile(m_path).exec(sql + "COMMIT;") ? m_path : QString();
    }

    std::unique_ptr<Archive> open(const QString &path, Archive::OpenMode mode = Archive::OpenMode::ReadWrite)
    {
        Outcome error;
        auto archive = Archive::open(path, &error, mode, 100);
        return hasError(error, 0, "") ? std::move(archive) : nullptr;
    }

    static std::unique_ptr<SqlFile> lock(const QString &path)
    {
        auto other = std::make_unique<SqlFile>(path);
        other->exec("BEGIN EXCLUSIVE");
        return other;
    }

private slots:
    void initTestCase() { FaultVfs::install(); }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_path = filePath("ZELVARO_97.mdb");
    }
    void cleanup()
    {
        m_archive.reset();
        m_other.reset();
        FaultVfs::disarm();
    }

    void openFailure_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("fragment");
        m_fixtures = std::make_unique<QTemporaryDir>();
        const auto at = [this](const char *name) { return m_fixtures->filePath(name); };
        const QByteArray archive = readBytes(TempArchive().path());
        QVERIFY(writeBytes(at("sound.mdb"), archive) && writeBytes(at("locked.mdb"), archive));
        QVERIFY(writeBytes(at("text.mdb"), QByteArray("solo testo\n").repeated(400)));
        QVERIFY(
            writeBytes(at("access.mdb"), QByteArray("\0\1\0\0Standard Jet DB", 19) + QByteArray(2000, 0)));
        QVERIFY(writeBytes(at("empty.mdb"), "") &&
                writeBytes(at("page2.mdb"), QByteArray(archive).replace(4096, 1, "B")));
        QVERIFY(SqlFile(at("nota.mdb")).exec(QString(kCreateMovMag).replace("NOTE TEXT", "NOTA TEXT")));
        QVERIFY(writeBytes(at("newer.mdb"), archive) &&
                SqlFile(at("newer.mdb")).exec("PRAGMA user_version = 2"));
        QVERIFY(QFile::link(at("b.mdb"), at("loop.mdb")) && QFile::link(at("loop.mdb"), at("b.mdb")));
        m_fixtureLock = lock(at("locked.mdb"));
        const auto row = [](const char *name, const QString &path, int code, const char *fragment) {
            QTest::newRow(name) << path << code << QString(fragment);
        };
        row("empty path", "", SQLITE_CANTOPEN, "Percorso dell'archivio non indicato");
        row("missing file", at("missing.mdb"), SQLITE_CANTOPEN, "non esiste");
        row("NUL after an existing archive's name", at("sound.mdb") + QChar(u'\0') + "x", SQLITE_CANTOPEN,
            "non è valido");
        row("folder", m_fixtures->path(), SQLITE_CANTOPEN, "cartella");
        row("text file", at("text.mdb"), SQLITE_NOTADB, "non è un archivio SQLite");
        row("Access file", at("access.mdb"), SQLITE_NOTADB,
            "archivio Access: deve essere convertito con \"zelvaro-archivio importa\"");
        row("empty file", at("empty.mdb"), SQLITE_ERROR, "non contiene la tabella MOV_MAG");
        row("NOTE misspelt", at("nota.mdb"), SQLITE_ERROR, "manca la colonna NOTE");
        row("locked by another program", at("locked.mdb"), SQLITE_BUSY, "bloccato da un altro programma");
        row("bytes changed in page 2", at("page2.mdb"), SQLITE_CORRUPT, // the kind of MOV_MAG's first page
            "danneggiato: controllarlo con \"zelvaro-archivio verifica\" e salvarne le righe leggibili in un "
            "archivio nuovo con \"zelvaro-archivio ripara\"");
        row("symbolic link loop", at("loop.mdb"), SQLITE_CANTOPEN, "ciclo di collegamenti simbolici");
        row("layout of a newer Zelvaro", at("newer.mdb"), SQLITE_CANTOPEN,
            "L'archivio è stato creato da una versione più recente di Zelvaro (versione 2 del formato; "
            "questa "
            "versione di Zelvaro arriva alla 1): non viene aperto");
    }
    void openFailure()
    {
        QFETCH(QString, path);
        QFETCH(int, code);
        QFETCH(QString, fragment);
        const QStringList entries = folderEntries(m_fixtures->path());
        const QByteArray bytes = readBytes(path);
        Outcome error;
        QVERIFY(!Archive::open(path, &error, Archive::OpenMode::ReadWrite, 100));
        QVERIFY(hasError(error, code, fragment));
        QCOMPARE(folderEntries(m_fixtures->path()), entries); // never creates a file
        QCOMPARE(readBytes(path), bytes);
    }

    // Listed in number order without rows numbered 0 or less; added to, read, deleted from.
    void handMadeArchive_data()
    {
        QTest::addColumn<QString>("createSql");
        QTest::addColumn<Numbers>("stored");
        QTest::addColumn<Numbers>("shown");
        QTest::addColumn<qint64>("added"); // the number the archive gives a new row
        const QString schema = kCreateMovMag;
        QTest::newRow("lower-case names, only negative numbers")
            << schema.toLower() << Numbers{-3, -7} << Numbers{} << qint64(1);
        QTest::newRow("untyped columns, no key; gaps, out of order, 0 and negative skipped")
            << QString(schema).remove(" TEXT").remove(" INTEGER PRIMARY KEY")
            << Numbers{10, 3, -2, 0, 7, 100, 1} << Numbers{1, 3, 7, 10, 100} << qint64(101);
        QTest::newRow("left in WAL mode; numbers past 32 bits")
            << schema + ";PRAGMA journal_mode = WAL" << Numbers{4294967297, 2} << Numbers{2, 4294967297}
            << qint64(4294967298);
        QTest::newRow("columns in another order, extra columns")
            << "CREATE TABLE MOV_MAG (ID_EXTRA TEXT, NOTE TEXT, ORA_FINE_3 TEXT, ORA_INIZIO_3 TEXT, "
               "ORA_FINE_2 TEXT, ORA_INIZIO_2 TEXT, ORA_FINE_1 TEXT, ORA_INIZIO_1 TEXT, GIORNO TEXT, "
               "MESE TEXT, ANNO TEXT, NUM_MOV INTEGER PRIMARY KEY, OPERATORE TEXT DEFAULT 'x')"
            << Numbers{5, 2} << Numbers{2, 5} << qint64(6);
    }
    void handMadeArchive()
    {
        QFETCH(QString, createSql);
        QFETCH(Numbers, stored);
        QFETCH(Numbers, shown);
        QFETCH(qint64, added);
        auto archive = open(makeArchive(stored, createSql));
        QVERIFY(archive);
        Rows expected;
        for (qint64 n : shown)
            expected.append(storedTexts(n));
        QCOMPARE(listed(*archive), expected);
        std::optional<qint64> last = -99;
        QVERIFY(!archive->lastNumber(&last));
        QCOMPARE(last, shown.isEmpty() ? std::nullopt : std::optional(shown.last()));
        qint64 written = 0;
        QVERIFY(!archive->confirmRecord(8, kValues, &written)); // 8 is never stored
        for (qint64 refused : {0, -3})
            QVERIFY(
                hasError(archive->confirmRecord(refused, kValues, &written), SQLITE_MISUSE, "non valido"));
        QCOMPARE(written, added);
        // Stored trimmed, with NOTE "" (not null), as another program reads it.
        QCOMPARE(SqlFile(m_path).rows(
                     QString("SELECT %1 FROM MOV_MAG WHERE NUM_MOV = %2").arg(kAllColumns).arg(added)),
                 Rows{writtenTexts(added, "")});
        QCOMPARE(listed(*archive), expected + Rows{writtenTexts(added, "")});
        std::optional<HoursRecord> record = HoursRecord{};
        QVERIFY(!archive->readRecord(8, &record) && !record);
        QVERIFY(!archive->deleteRecord(added));
        QVERIFY(!archive->deleteRecord(8)); // no such row is not an error
        QCOMPARE(listed(*archive), expected);
        // Between operations the archive is this one file (rollback journal, whatever it was left in).
        QCOMPARE(folderEntries(m_dir->path()), QStringList{"ZELVARO_97.mdb"});
    }

    // A stored value's field text: null as empty, blanks (spaces only) trimmed at both ends.
    void fieldText_data()
    {
        QTest::addColumn<QString>("literal"); // in SQL
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const char *literal, const char *expected) {
            QTest::newRow(name) << QString(literal) << QString(expected);
        };
        row("null", "NULL", "");
        row("accented, blanks at both ends", "' Perù  '", "Perù");
        row("tab is not a blank", "char(9) || '8.30 '", "\t8.30");
        row("number", "-8.5", "-8.5");
    }
    void fieldText()
    {
        QFETCH(QString, literal);
        QFETCH(QString, expected);
        const QString path = makeArchive({2}); // the row before fills the record the listing reuses
        QVERIFY(SqlFile(path).exec(
            QString("INSERT INTO MOV_MAG VALUES (4, %1, %1, %1, %1, %1, %1, %1, %1, %1, %1)").arg(literal)));
        auto archive = open(path);
        QVERIFY(archive);
        const QStringList want = QStringList{"4"} + QStringList(10, expected);
        QCOMPARE(listed(*archive), (Rows{storedTexts(2), want}));
        std::optional<HoursRecord> record;
        QVERIFY(!archive->readRecord(4, &record) && record);
        QCOMPARE(fieldsOf(*record), want);
    }

    // A failed write leaves no half-written row, and the connection works again once the cause is gone.
    void writeFailure_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("fragment"); // DIR: the archive's folder
        QTest::addColumn<int>("readCode");     // of the reads while the cause lasts
        QTest::addColumn<bool>("passes");      // the lock is released, the file system mended
        // The year the failing writes give: the one stored leaves SQLite no page to write, so that only
        // the program can notice the cause; the file operations that fail need a page written.
        QTest::addColumn<QString>("anno");
        QTest::addColumn<Cause>("cause"); // done after a first write went through
        const auto row = [](const char *name, int code, const char *fragment, int readCode, bool passes,
                            const char *anno, const Cause &cause) {
            QTest::newRow(name) << code << QString(fragment) << readCode << passes << QString(anno) << cause;
        };
        // Root writes anyway: the read-only mode and file operations that fail stand in for protections.
        const auto fault = [](int code, unsigned operations, int systemErrno) {
            return [=] { FaultVfs::arm(1, code, operations, systemErrno, true); };
        };
        const char *folder = "La cartella dell'archivio «DIR» non consente";
        row("locked by another program", SQLITE_BUSY, "bloccato da un altro programma", SQLITE_BUSY, true,
            "2024", [this] { m_other = lock(m_path); });
        row("opened for reading only", SQLITE_READONLY, "protetto in scrittura", SQLITE_OK, false, "2024",
            [this] { m_archive = open(m_path, Archive::OpenMode::ReadOnly); });
        row("refused by triggers of the table", SQLITE_CONSTRAINT, "vincolo", SQLITE_OK, false, "2024",
            [this] {
                for (const char *event : {"INSERT", "UPDATE", "DELETE"})
                    SqlFile(m_path).exec(
                        QString(
                            "CREATE TRIGGER no%1 BEFORE %1 ON MOV_MAG BEGIN SELECT RAISE(ABORT, 'no'); END")
                            .arg(event));
            });
        row("file deleted while open", SQLITE_READONLY, "spostato o cancellato", SQLITE_OK, false, "2024",
            [this] { QFile::remove(m_path); });
        row("archive closed", SQLITE_MISUSE, "Archivio chiuso", SQLITE_MISUSE, false, "2024",
            [this] { m_archive->close(); });
        row("journal refused by the folder", SQLITE_CANTOPEN, folder, SQLITE_OK, true, "2025",
            fault(SQLITE_CANTOPEN, FaultVfs::OpenJournal, EACCES));
        row("journal refused by a read-only folder", SQLITE_READONLY, folder, SQLITE_OK, true, "2025",
            fault(SQLITE_READONLY_DIRECTORY, FaultVfs::OpenJournal, EACCES));
        row("file made read-only while open", SQLITE_IOERR, "«DIR/ZELVARO_97.mdb» non si può più scrivere",
            SQLITE_IOERR, true, "2025", fault(SQLITE_IOERR_WRITE, FaultVfs::WriteMainDb, EROFS));
    }
    void writeFailure()
    {
        QFETCH(int, code);
        QFETCH(QString, fragment);
        QFETCH(int, readCode);
        QFETCH(bool, passes);
        QFETCH(QString, anno);
        QFETCH(Cause, cause);
        fragment.replace("DIR", m_dir->path());
        m_archive = open(makeArchive({3}));
        qint64 stored = -1;
        QVERIFY(m_archive && !m_archive->confirmRecord(3, kValues, &stored)); // overwritten: keeps its NOTE
        const QStringList row3 = writtenTexts(3, "N3");
        cause();
        RecordValues values = kValues;
        values.anno = anno;
        stored = -1;
        for (const Outcome &error :
             {m_archive->confirmRecord(3, values, &stored), m_archive->confirmRecord(9, values, &stored)})
            QVERIFY(hasError(error, code, fragment) &&
                    error.text.endsWith(": il movimento non è stato registrato"));
        QCOMPARE(stored, -1);
        const Outcome deleted = m_archive->deleteRecord(3);
        QVERIFY(hasError(deleted, code, fragment) &&
                deleted.text.endsWith(": il movimento non è stato cancellato"));
        std::optional<qint64> last;
        std::optional<HoursRecord> record;
        QCOMPARE(m_archive->lastNumber(&last).code, readCode);
        QCOMPARE(m_archive->readRecord(3, &record).code, readCode);
        QCOMPARE(listed(*m_archive), (readCode ? Rows{{"error", QString::number(readCode)}} : Rows{row3}));
        if (!passes)
            return;
        m_other.reset();
        FaultVfs::disarm();
        QVERIFY(!m_archive->confirmRecord(9, kValues, &stored));
        QCOMPARE(stored, 4);
        QCOMPARE(listed(*m_archive), (Rows{row3, writtenTexts(4, "")}));
    }

    // A lock another program holds for a moment is waited for.
    void briefLockIsWaitedFor()
    {
        Outcome error;
        const auto archive = Archive::open(makeArchive({3}), &error, Archive::OpenMode::ReadWrite, 10000);
        QVERIFY2(archive, qPrintable(error.text));
        m_other = lock(m_path);
        std::thread release([this] {
            QThread::msleep(200);
            m_other->exec("ROLLBACK");
        });
        qint64 stored = 0;
        error = archive->confirmRecord(4, kValues, &stored);
        release.join();
        QVERIFY(!error && stored == 4);
    }

    // A write failing at any step of the file's operations stores all of it or nothing, says which
    // failure and that nothing was stored, and goes through when retried.
    void faultAtEveryStep_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<Operation>("operation");
        const QString stored = ": il movimento non è stato registrato",
                      deleted = ": il movimento non è stato cancellato";
        for (const auto &[name, code, cause] :
             {std::tuple("I/O error", SQLITE_IOERR, "Errore di lettura o scrittura"),
              std::tuple("disk full", SQLITE_FULL, "Disco pieno")}) {
            QTest::addRow("add, %s", name) << code << QString(cause) << stored << Operation([](Archive &a) {
                qint64 n;
                return a.confirmRecord(9, kValues, &n);
            });
            QTest::addRow("overwrite, %s", name)
                << code << QString(cause) << stored << Operation([](Archive &a) {
                       qint64 n;
                       return a.confirmRecord(5, kValues, &n);
                   });
            QTest::addRow("delete, %s", name) << code << QString(cause) << deleted
                                              << Operation([](Archive &a) { return a.deleteRecord(5); });
        }
    }
    void faultAtEveryStep()
    {
        QFETCH(int, code);
        QFETCH(QString, cause);
        QFETCH(QString, outcome);
        QFETCH(Operation, operation);
        const QByteArray pristine = readBytes(makeArchive({2, 5}));
        const auto reset = [&] {
            m_archive.reset();
            QVERIFY(writeBytes(m_path, pristine));
            m_archive = open(m_path);
            QVERIFY(m_archive);
        };
        reset();
        const Rows before = content(m_path);
        QVERIFY(!operation(*m_archive));
        const Rows after = content(m_path);
        reset();
        const int runs = FaultVfs::forEveryFault(
            code, [&] { return operation(*m_archive); },
            [&](const Outcome &error) {
                QCOMPARE(SqlFile(m_path).value("PRAGMA integrity_check"), "ok");
                QCOMPARE(content(m_path), error ? before : after);
                if (error) {
                    QVERIFY2(error.code == code && error.text.startsWith(cause) &&
                                 error.text.endsWith(outcome),
                             qPrintable(error.text));
                    QVERIFY(!operation(*m_archive));
                    QCOMPARE(content(m_path), after);
                }
                reset();
            });
        QVERIFY(runs > 5);
    }

    // A program killed at any moment while it confirms leaves a sound archive of whole rows.
    void killedWhileConfirming()
    {
        const QString path = makeArchive({});
        QRandomGenerator random(97); // the same moments in every run
        for (int round = 0; round < 25; ++round) {
            const pid_t child = fork();
            if (child == 0) { // overwrites row 1 and adds rows, each with one text in all nine fields
                Outcome error;
                const auto archive = Archive::open(path, &error, Archive::OpenMode::ReadWrite, 5000);
                for (qint64 i = 0, stored; archive; ++i) {
                    const QString t = QString::number(i);
                    archive->confirmRecord(i % 2 ? 1 : 1000000, {t, t, t, t, t, t, t, t, t}, &stored);
                }
                _exit(1);
            }
            QThread::usleep(random.bounded(1000, 80000));
            int status = 0;
            QVERIFY(::kill(child, SIGKILL) == 0 && ::waitpid(child, &status, 0) == child);
            const SqlFile db(path);
            QCOMPARE(db.value("PRAGMA integrity_check"), "ok");
            QCOMPARE(
                db.value("SELECT COUNT(*) FROM MOV_MAG WHERE NOTE <> '' OR ANNO IS NOT MESE OR ANNO IS NOT "
                         "GIORNO OR ANNO IS NOT ORA_INIZIO_1 OR ANNO IS NOT ORA_FINE_1 OR ANNO IS NOT "
                         "ORA_INIZIO_2 OR ANNO IS NOT ORA_FINE_2 OR ANNO IS NOT ORA_INIZIO_3 OR ANNO IS "
                         "NOT ORA_FINE_3"),
                "0");
        }
        QVERIFY(SqlFile(path).value("SELECT COUNT(*) FROM MOV_MAG").toInt() > 0);
    }

    // The causes of a failed system call a user meets are said in Italian, alone or at the end of a
    // library's report; any other keeps the system's words.
    void systemErrorTexts_data()
    {
        QTest::addColumn<int>("errnum");       // 0: `reported` is a library's text
        QTest::addColumn<QString>("reported"); // as QFile or QProcess gives it
        QTest::addColumn<QString>("italian");
        QTest::newRow("EPERM") << EPERM << ""
                               << "operazione non permessa";
        QTest::newRow("ENOTDIR") << ENOTDIR << ""
                                 << "una parte del percorso non è una cartella";
        QTest::newRow("EDQUOT") << EDQUOT << ""
                                << "superata la quota di spazio su disco dell'utente";
        QTest::newRow("a rare one keeps the system's words") << EDOM << ""
                                                             << "Numerical argument out of domain";
        QTest::newRow("Qt's own words for EACCES") << 0 << "Permission denied"
                                                   << "permesso negato";
        QTest::newRow("after a prefix") << 0 << "execve: No such file or directory"
                                        << "execve: file o cartella inesistente";
        QTest::newRow("not a system text") << 0 << "Unknown error"
                                           << "Unknown error";
        QTest::newRow("a system text inside another") << 0 << "Read-only file system of the copy"
                                                      << "Read-only file system of the copy";
    }
    void systemErrorTexts()
    {
        QFETCH(int, errnum);
        QFETCH(QString, reported);
        QFETCH(QString, italian);
        QCOMPARE(errnum ? systemErrorText(errnum) : italianSystemText(reported), italian);
    }

    // Whatever the umask (here none at all), what holds hours is its owner's alone: files 0600,
    // folders made 0700, parents included; a folder that was there and a replaced file keep their mode.
    void privateModes()
    {
        QVERIFY(writeBytes(filePath("condiviso.csv"), "a") && QDir().mkdir(filePath("aperta")));
        QVERIFY(::chmod(QFile::encodeName(filePath("condiviso.csv")), 0644) == 0 &&
                ::chmod(QFile::encodeName(filePath("aperta")), 0755) == 0);
        const mode_t umaskBefore = ::umask(0);
        auto archive = open(makeArchive({1}));
        QVERIFY(archive && !Archive::create(filePath("nuovo.mdb")) &&
                !archive->backupTo(filePath("copia.mdb")) &&
                !makeDailyBackup(*archive, filePath("aperta/nuova/copie"), QDate(2024, 2, 1)));
        for (const char *name : {"condiviso.csv", "nuovo.csv"}) {
            SafeNewFile file(filePath(name), SafeNewFile::Existing::Replace);
            QVERIFY(!file.create() && !file.append("b") && !file.commit());
        }
        ::umask(umaskBefore);
        const QStringList series =
            QDir(filePath("aperta/nuova/copie")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(series.size(), 1);
        QMap<QString, int> modes;
        for (const QString &name : QStringList{"nuovo.mdb", "copia.mdb", "aperta", "aperta/nuova",
                                               "aperta/nuova/copie", "aperta/nuova/copie/" + series[0],
                                               "aperta/nuova/copie/" + series[0] + "/ZELVARO_97-20240201.mdb",
                                               "condiviso.csv", "nuovo.csv"}) {
            struct stat status = {};
            QVERIFY(::stat(QFile::encodeName(filePath(name)), &status) == 0);
            modes.insert(QString(name).replace(series[0], "serie"), status.st_mode & 07777);
        }
        QCOMPARE(modes, (QMap<QString, int>{{"nuovo.mdb", 0600},
                                            {"copia.mdb", 0600},
                                            {"aperta", 0755},
                                            {"aperta/nuova", 0700},
                                            {"aperta/nuova/copie", 0700},
                                            {"aperta/nuova/copie/serie", 0700},
                                            {"aperta/nuova/copie/serie/ZELVARO_97-20240201.mdb", 0600},
                                            {"condiviso.csv", 0644},
                                            {"nuovo.csv", 0600}}));
        QVERIFY(writeBytes(filePath("file"), "x"));
        QCOMPARE(Archive::create(filePath("file/x.mdb")).text,
                 "Impossibile creare il file dell'archivio (una parte del percorso non è una cartella)");
    }

    // Each archive's copies in a folder of their own, named for people, told apart by the archive's place.
    void dailyCopySeries_data()
    {
        QTest::addColumn<QString>("archive"); // its canonical path
        QTest::addColumn<QString>("series");
        QTest::newRow("installed") << "/home/anna/.local/share/zelvaro/ZELVARO_97.mdb"
                                   << "ZELVARO_97-d57f41ec";
        QTest::newRow("portable, same name") << "/media/anna/CHIAVETTA/ZELVARO_97.mdb"
                                             << "ZELVARO_97-b195530e";
        QTest::newRow("the last suffix only goes") << "/home/anna/Documenti/ore.2024.mdb"
                                                   << "ore.2024-df16ddf2";
    }
    void dailyCopySeries()
    {
        QFETCH(QString, archive);
        QFETCH(QString, series);
        QCOMPARE(zelvaro::dailyCopySeries(archive), series);
    }

    // One copy a day, made while the archive is open, in the series of its archive: two archives of
    // one name keep theirs apart, the last 14 of each are kept, the copies that older versions put
    // straight into the folder stay.
    void dailyBackup()
    {
        const QString folder = filePath("copie");
        QStringList inFolder; // made by older versions, more than a series keeps
        for (int day = 1; day <= 15; ++day) {
            inFolder.append(QString::asprintf("ZELVARO_97-202312%02d.mdb", day));
            QVERIFY(writeBytes(folder + "/" + inFolder.last(), "vecchia"));
        }
        const QString pathA = makeArchive({1, 2});
        QVERIFY(QDir().mkpath(filePath("portatile")));
        m_path = filePath("portatile/ZELVARO_97.mdb");
        const QString pathB = makeArchive({7});
        auto a = open(pathA), b = open(pathB);
        QVERIFY(a && b);
        bool replaced = true; // the tables of the balance go with the copy
        QVERIFY(!BalanceTables(*a).saveContractEntry({QDate(2024, 1, 8), {480, 480, 480, 480, 480, 0, 0}},
                                                     &replaced) &&
                !replaced);
        const Rows morningA = content(pathA), rowsB = content(pathB);
        QVERIFY(!makeDailyBackup(*a, folder, QDate(2024, 2, 1)));
        QVERIFY(!makeDailyBackup(*b, folder, QDate(2024, 2, 1)));
        qint64 stored = 0;
        QVERIFY(!a->confirmRecord(3, kValues, &stored) && stored == 3);
        QVERIFY(!makeDailyBackup(*a, folder, QDate(2024, 2, 1))); // the same day: the morning's copy stays

        QStringList series = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(series.size(), 2);
        QVERIFY(series.filter(QRegularExpression("^ZELVARO_97-[0-9a-f]{8}$")) == series);
        if (content(folder + "/" + series[0] + "/ZELVARO_97-20240201.mdb") != morningA)
            series.swapItemsAt(0, 1);
        const QString seriesA = folder + "/" + series[0], seriesB = folder + "/" + series[1];
        QCOMPARE(content(seriesA + "/ZELVARO_97-20240201.mdb"), morningA);
        QCOMPARE(content(seriesB + "/ZELVARO_97-20240201.mdb"), rowsB);
        QCOMPARE(SqlFile(seriesA + "/ZELVARO_97-20240201.mdb")
                     .rows("SELECT DAL, MIN_VEN FROM ORARIO_CONTRATTUALE"),
                 (Rows{{"2024-01-08", "480"}}));

        QStringList kept{"ZELVARO_97-2024.mdb"}; // not a copy's name
        QVERIFY(writeBytes(seriesA + "/" + kept[0], {}));
        for (int day = 1; day <= 15; ++day) {
            const QString name = QString::asprintf("ZELVARO_97-202401%02d.mdb", day);
            QVERIFY(writeBytes(seriesA + "/" + name, {}));
            if (day >= 4)
                kept.append(name);
        }
        QVERIFY(!makeDailyBackup(*a, folder, QDate(2024, 2, 2)));
        kept << "ZELVARO_97-20240201.mdb"
             << "ZELVARO_97-20240202.mdb";
        QCOMPARE(folderEntries(seriesA), kept);
        QCOMPARE(folderEntries(seriesB), QStringList{"ZELVARO_97-20240201.mdb"});
        inFolder << series[0] << series[1];
        inFolder.sort();
        QCOMPARE(folderEntries(folder), inFolder);
    }

    // A copy that is not made says which copy, in which folder, and why, and leaves nothing behind.
    void dailyBackupNotMade_data()
    {
        QTest::addColumn<QString>("fault"); // made the day after a first copy
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QStringList>("series"); // what its folder holds then
        const QString link = "al suo posto c'è un collegamento simbolico, che non viene toccato: toglierlo "
                             "perché la copia si faccia";
        const QStringList first{"ZELVARO_97-20240201.mdb"},
            both = first + QStringList{"ZELVARO_97-20240202.mdb"};
        QTest::newRow("a link at the copy's name, to the archive")
            << "link ../../ZELVARO_97.mdb" << link << both;
        QTest::newRow("a dangling link at the copy's name") << "link nessuno.mdb" << link << both;
        QTest::newRow("a folder at the copy's name")
            << "folder"
            << "al suo posto c'è una cartella o un file speciale, che non viene toccato" << both;
        QTest::newRow("disk full: the copy's, not the archive's")
            << "full"
            << "disco pieno: non è possibile scrivere la copia (database or disk is full)" << first;
        QTest::newRow("archive locked by another program")
            << "lock"
            << "l'archivio è bloccato da un altro programma (database is locked)" << first;
    }
    void dailyBackupNotMade()
    {
        QFETCH(QString, fault);
        QFETCH(QString, cause);
        QFETCH(QStringList, series);
        auto archive = open(makeArchive({1}));
        const QString folder = filePath("copie");
        QVERIFY(archive && !makeDailyBackup(*archive, folder, QDate(2024, 2, 1)));
        const QString made = folder + "/" + QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot)[0];
        const QString copy = made + "/ZELVARO_97-20240202.mdb";
        if (fault.startsWith("link "))
            QVERIFY(QFile::link(fault.mid(5), copy));
        else if (fault == "folder")
            QVERIFY(QDir().mkdir(copy));
        else if (fault == "full")
            FaultVfs::arm(1, SQLITE_FULL, FaultVfs::WriteMainDb, ENOSPC, true);
        else
            m_other = lock(m_path);
        const Outcome error = makeDailyBackup(*archive, folder, QDate(2024, 2, 2));
        m_other.reset();
        FaultVfs::disarm();
        QVERIFY(error.failed());
        QCOMPARE(
            QString(error.text)
                .replace(m_dir->path(), "@")
                .replace(QRegularExpression("-[0-9a-f]{8}»"), "-#»"),
            "La copia di sicurezza giornaliera «ZELVARO_97-20240202.mdb» non è stata fatta nella cartella "
            "«@/copie/ZELVARO_97-#»: " +
                cause);
        QCOMPARE(folderEntries(made), series);
        QCOMPARE(listed(*archive), Rows{storedTexts(1)});
    }

    // A path past SQLite's 504 bytes opens through its folder's descriptor; the journal of a write
    // lands beside the archive itself, not beside a link that leads to it.
    void longPath_data()
    {
        QTest::addColumn<bool>("throughLink");
        QTest::newRow("archive at the end of a 600-byte path") << false;
        QTest::newRow("short link to it") << true;
    }
    void longPath()
    {
        QFETCH(bool, throughLink);
        QString folder = m_dir->path();
        while (QFile::encodeName(folder).size() < 600)
            folder += "/" + QString(99, u'c');
        QVERIFY(QDir().mkpath(folder));
        const QString archive = folder + "/ZELVARO_97.mdb", link = filePath("corto.mdb");
        QVERIFY(!Archive::create(archive));
        QVERIFY(!throughLink || QFile::link(archive, link));
        const QString path = throughLink ? link : archive;
        {
            SqliteConnection db;
            QVERIFY(!db.open(path, SQLITE_OPEN_READWRITE, 100));
            WriteTransaction write(db);
            QVERIFY(!write.begin() && db.exec("INSERT INTO MOV_MAG (NUM_MOV) VALUES (5)") == SQLITE_OK);
            QCOMPARE(folderEntries(folder), (QStringList{"ZELVARO_97.mdb", "ZELVARO_97.mdb-journal"}));
            QVERIFY(!QFileInfo::exists(link + "-journal"));
        }
        auto opened = open(path);
        qint64 stored = 0;
        QVERIFY(opened && !opened->confirmRecord(3, kValues, &stored) && stored == 1);
        QCOMPARE(listed(*opened), Rows{writtenTexts(1, "")});
        QCOMPARE(folderEntries(folder), QStringList{"ZELVARO_97.mdb"});
    }
};

QTEST_GUILESS_MAIN(TestArchive)
#include "tst_archive.moc"
