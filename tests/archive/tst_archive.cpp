#include "Archive.h"
#include "DailyBackup.h"
#include "FaultVfs.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sqlite3.h>

#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace zelvaro;
using namespace zelvaro::test;
using Rows = QList<QStringList>;
using Numbers = QList<qint64>;

namespace {

// A connection of another program, outside the archive under test.
struct RawDb
{
    sqlite3 *db = nullptr;
    explicit RawDb(const QString &path) { sqlite3_open(QFile::encodeName(path).constData(), &db); }
    ~RawDb() { sqlite3_close_v2(db); }
    bool exec(const QString &sql) const
    {
        return sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK ||
               (qWarning("%s in %s", sqlite3_errmsg(db), qPrintable(sql)), false);
    }
    QString value(const QString &sql) // the first column of the first row
    {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr);
        const QString text = sqlite3_step(st) == SQLITE_ROW
                                 ? reinterpret_cast<const char *>(sqlite3_column_text(st, 0))
                                 : "no row";
        sqlite3_finalize(st);
        return text;
    }
};

std::unique_ptr<RawDb> lockArchive(const QString &path)
{
    auto other = std::make_unique<RawDb>(path);
    return other->exec("BEGIN EXCLUSIVE") ? std::move(other) : nullptr;
}

// Every row, every column, as another program reads it.
QString content(const QString &path)
{
    return RawDb(path).value(
        "SELECT group_concat(quote(NUM_MOV) || quote(ANNO) || quote(MESE) || quote(GIORNO) || "
        "quote(ORA_INIZIO_1) || quote(ORA_FINE_1) || quote(ORA_INIZIO_2) || quote(ORA_FINE_2) || "
        "quote(ORA_INIZIO_3) || quote(ORA_FINE_3) || quote(NOTE), ';') FROM MOV_MAG");
}

// Distinct texts per column, so that a column read into the wrong field shows.
QStringList storedTexts(qint64 n)
{
    const QString s = QString::number(n);
    return {s,         "Y" + s,   "M" + s,   "D" + s,   "I1." + s, "F1." + s,
            "I2." + s, "F2." + s, "I3." + s, "F3." + s, "N" + s};
}

const RecordValues kValues{" 2024 ", "5 ", " 7", " 8.30", "12.00 ", "", "", "  20.00", "22.15  "};

// Row `n` as written from kValues (blanks trimmed), with its note.
QStringList writtenTexts(qint64 n, const QString &note)
{
    return {QString::number(n), "2024", "5", "7", "8.30", "12.00", "", "", "20.00", "22.15", note};
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
    if (const ArchiveError error =
            archive.forEachListed([&](const HoursRecord &r) { rows.append(fieldsOf(r)); }))
        rows.append({"error", QString::number(error.code)});
    return rows;
}

bool hasError(const ArchiveError &error, int code, const QString &fragment)
{
    return (error.code == code && error.text.contains(fragment)) ||
           (qWarning("got %d \"%s\"", error.code, qPrintable(error.text)), false);
}

} // namespace

class TestArchive : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<RawDb> m_other; // holds a lock while a test needs it

    QString filePath(const char *name) const { return m_dir->filePath(name); }

    // A hand-made archive: the statement run by another program, then rows numbered as given.
    QString makeArchive(const Numbers &numbers, const QString &createSql = kCreateMovMag)
    {
        const QString path = filePath("ZELVARO_97.mdb");
        QString sql = createSql + ";BEGIN;";
        for (qint64 n : numbers)
            sql += QString("INSERT INTO MOV_MAG (NUM_MOV, ANNO, MESE, GIORNO, ORA_INIZIO_1, ORA_FINE_1, "
                           "ORA_INIZIO_2, ORA_FINE_2, ORA_INIZIO_3, ORA_FINE_3, NOTE) VALUES (%1, '%2');")
                       .arg(n)
                       .arg(storedTexts(n).mid(1).join("', '"));
        return RawDb(path).exec(sql + "COMMIT;") ? path : QString();
    }

    std::unique_ptr<Archive> open(const QString &path, Archive::OpenMode mode = Archive::OpenMode::ReadWrite)
    {
        ArchiveError error;
        auto archive = Archive::open(path, &error, mode, 100);
        return hasError(error, 0, "") ? std::move(archive) : nullptr;
    }

private slots:
    void initTestCase() { FaultVfs::install(); }
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }
    void cleanup()
    {
        m_other.reset();
        FaultVfs::disarm();
    }

    void openFailure_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QByteArray>("content"); // the file's bytes, or the SQL that makes it
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("fragment");
        const auto row = [](const char *name, const char *fixture, const QByteArray &content, int code,
                            const char *fragment) {
            QTest::newRow(name) << QString(fixture) << content << code << QString(fragment);
        };
        row("empty path", "empty", {}, SQLITE_CANTOPEN, "Percorso dell'archivio non indicato");
        row("missing file", "missing", {}, SQLITE_CANTOPEN, "non esiste");
        row("NUL after an existing archive's name", "nul", {}, SQLITE_CANTOPEN, "non è valido");
        row("folder", "folder", {}, SQLITE_CANTOPEN, "cartella");
        row("text file", "file", QByteArray("solo testo\n").repeated(400), SQLITE_NOTADB,
            "non è un archivio SQLite");
        row("Access file", "file", QByteArray("\0\1\0\0Standard Jet DB", 19) + QByteArray(2000, '\0'),
            SQLITE_NOTADB, "archivio Access: deve essere convertito con \"zelvaro-archivio importa\"");
        row("empty file", "file", "", SQLITE_ERROR, "non contiene la tabella MOV_MAG");
        row("NOTE misspelt", "sql", QByteArray(kCreateMovMag).replace("NOTE TEXT", "NOTA TEXT"), SQLITE_ERROR,
            "manca la colonna NOTE");
        row("locked by another program", "locked", {}, SQLITE_BUSY, "bloccato da un altro programma");
        row("bytes changed in page 2", "damaged", {}, SQLITE_CORRUPT,
            "danneggiato: controllarlo con \"zelvaro-archivio verifica\" e salvarne le righe leggibili in un "
            "archivio nuovo con \"zelvaro-archivio ripara\"");
        row("symbolic link loop", "loop", {}, SQLITE_CANTOPEN, "ciclo di collegamenti simbolici");
    }
    void openFailure()
    {
        QFETCH(QString, fixture);
        QFETCH(QByteArray, content);
        QFETCH(int, code);
        QFETCH(QString, fragment);
        QString path = filePath("archive.mdb");
        QFile file(path);
        if (fixture == "empty")
            path.clear();
        else if (fixture == "nul")
            path = makeArchive({1}) + QChar(u'\0') + "x";
        else if (fixture == "folder")
            path = m_dir->path();
        else if (fixture == "file")
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.flush());
        else if (fixture == "sql")
            QVERIFY(RawDb(path).exec(content));
        else if (fixture == "locked")
            m_other = lockArchive(path = makeArchive({1}));
        else if (fixture == "loop")
            QVERIFY(QFile::link(filePath("b.mdb"), path) && QFile::link(path, filePath("b.mdb")));
        else if (fixture == "damaged") { // the kind of page 2, MOV_MAG's first page
            QFile damaged(path = makeArchive({1, 2}));
            QVERIFY(damaged.open(QIODevice::ReadWrite) && damaged.seek(4096) &&
                    damaged.write("\x42", 1) == 1);
        }
        const bool existed = QFileInfo::exists(path);
        const qint64 size = QFileInfo(path).size();
        ArchiveError error;
        QVERIFY(!Archive::open(path, &error, Archive::OpenMode::ReadWrite, 100));
        QVERIFY(hasError(error, code, fragment));
        QCOMPARE(QFileInfo::exists(path), existed); // never creates a file
        QCOMPARE(QFileInfo(path).size(), size);
    }

    // Listed in number order without rows numbered 0 or less; read, overwritten, added to, deleted from.
    void handMadeArchive_data()
    {
        QTest::addColumn<QString>("createSql");
        QTest::addColumn<Numbers>("stored");
        QTest::addColumn<Numbers>("shown");
        const QString schema = kCreateMovMag;
        QTest::newRow("schema statement, empty") << schema << Numbers{} << Numbers{};
        QTest::newRow("lower-case names, only negative numbers")
            << schema.toLower() << Numbers{-3, -7} << Numbers{};
        QTest::newRow("untyped columns, no key; gaps, out of order, 0 and negative skipped")
            << QString(schema).remove(" TEXT").remove(" INTEGER PRIMARY KEY")
            << Numbers{10, 3, -2, 0, 7, 100, 1} << Numbers{1, 3, 7, 10, 100};
        QTest::newRow("left in WAL mode; numbers past 32 bits")
            << schema + ";PRAGMA journal_mode = WAL" << Numbers{4294967297, 2} << Numbers{2, 4294967297};
        QTest::newRow("columns in another order, extra columns")
            << "CREATE TABLE MOV_MAG (ID_EXTRA TEXT, NOTE TEXT, ORA_FINE_3 TEXT, ORA_INIZIO_3 TEXT, "
               "ORA_FINE_2 TEXT, ORA_INIZIO_2 TEXT, ORA_FINE_1 TEXT, ORA_INIZIO_1 TEXT, GIORNO TEXT, "
               "MESE TEXT, ANNO TEXT, NUM_MOV INTEGER PRIMARY KEY, OPERATORE TEXT DEFAULT 'x')"
            << Numbers{5, 2} << Numbers{2, 5};
    }
    void handMadeArchive()
    {
        QFETCH(QString, createSql);
        QFETCH(Numbers, stored);
        QFETCH(Numbers, shown);
        const QString path = makeArchive(stored, createSql);
        auto archive = open(path);
        QVERIFY(archive);
        Rows expected;
        for (qint64 n : shown)
            expected.append(storedTexts(n));
        QCOMPARE(listed(*archive), expected);
        std::optional<qint64> last = -99;
        QVERIFY(!archive->lastNumber(&last));
        QCOMPARE(last, shown.isEmpty() ? std::nullopt : std::optional<qint64>(shown.last()));
        std::optional<HoursRecord> record = HoursRecord{};
        QVERIFY(!archive->readRecord(6, &record) && !record); // 6 is never stored
        qint64 written = 0;
        if (!shown.isEmpty()) { // an overwritten row keeps its number and its NOTE
            QVERIFY(!archive->confirmRecord(shown.first(), kValues, &written));
            expected.first() = writtenTexts(shown.first(), storedTexts(shown.first()).last());
        }
        QVERIFY(!archive->confirmRecord(6, kValues, &written));
        for (qint64 refused : {0, -3})
            QVERIFY(
                hasError(archive->confirmRecord(refused, kValues, &written), SQLITE_MISUSE, "non valido"));
        QCOMPARE(written, last.value_or(0) + 1);
        QCOMPARE(RawDb(path).value("SELECT COUNT(*) FROM MOV_MAG WHERE NOTE IS NULL"), "0");
        expected.append(writtenTexts(written, ""));
        if (shown.size() > 1)
            QVERIFY(!archive->deleteRecord(expected.takeAt(1).first().toLongLong()));
        QVERIFY(!archive->deleteRecord(8)); // no such row is not an error
        QCOMPARE(listed(*archive), expected);
        // Between operations the archive is this one file (rollback journal, whatever it was left in).
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"ZELVARO_97.mdb"});
    }

    // The same value as a QVariant and stored by another program gives the same field text.
    void fieldText_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("literal");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QVariant &value, const char *literal,
                            const char *expected) {
            QTest::newRow(name) << value << QString(literal) << QString(expected);
        };
        row("null", QVariant(), "NULL", "");
        row("blanks both ends", QVariant("  8.30 "), "'  8.30 '", "8.30");
        row("only blanks", QVariant("   "), "'   '", "");
        row("tab is not a blank", QVariant("\t8.30 "), "char(9) || '8.30 '", "\t8.30");
        row("no-break space is not a blank", QVariant("\u00a08 "), "char(160) || '8 '", "\u00a08");
        row("accented, blanks", QVariant(" Perù  "), "' Perù  '", "Perù");
        row("number", QVariant(-8.5), "-8.5", "-8.5");
    }
    void fieldText()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, literal);
        QFETCH(QString, expected);
        QCOMPARE(zelvaro::fieldText(value), expected);
        if (value.typeId() == QMetaType::QString)
            QCOMPARE(trimBlanks(value.toString()), expected);
        const QString path = makeArchive({2}); // the row before fills the record the listing reuses
        QVERIFY(RawDb(path).exec(
            QString("INSERT INTO MOV_MAG VALUES (4, %1, %1, %1, %1, %1, %1, %1, %1, %1, %1)").arg(literal)));
        auto archive = open(path);
        QVERIFY(archive);
        const QStringList want = QStringList{"4"} + QStringList(10, expected);
        QCOMPARE(listed(*archive), (Rows{storedTexts(2), want}));
        std::optional<HoursRecord> record;
        QVERIFY(!archive->readRecord(4, &record));
        QCOMPARE(record ? fieldsOf(*record) : QStringList(), want);
    }

    // A failed write leaves no half-written row, and the connection works again once the cause is gone.
    void writeFailure_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("fragment");
        QTest::addColumn<int>("readCode");
        const auto row = [](const char *cause, int code, const char *fragment, int readCode = SQLITE_OK) {
            QTest::newRow(cause) << QString(cause) << code << QString(fragment) << readCode;
        };
        row("locked by another program", SQLITE_BUSY, "bloccato da un altro programma", SQLITE_BUSY);
        row("opened for reading only", SQLITE_READONLY, "protetto in scrittura");
        row("check of a hand-made table", SQLITE_CONSTRAINT, "vincolo");
        row("file deleted while open", SQLITE_READONLY, "spostato o cancellato");
        row("file moved while open", SQLITE_READONLY, "spostato o cancellato");
        row("archive closed", SQLITE_MISUSE, "Archivio chiuso", SQLITE_MISUSE);
        // Root writes anyway: the journal's creation and the file's writes fail as they would.
        row("journal refused by the folder", SQLITE_CANTOPEN, "La cartella dell'archivio «DIR» non consente");
        row("journal refused by a read-only folder", SQLITE_READONLY,
            "La cartella dell'archivio «DIR» non consente");
        row("file made read-only while open", SQLITE_IOERR, "«DIR/ZELVARO_97.mdb» non si può più scrivere",
            SQLITE_IOERR);
    }
    void writeFailure()
    {
        QFETCH(QString, cause);
        QFETCH(int, code);
        QFETCH(QString, fragment);
        QFETCH(int, readCode);
        fragment.replace("DIR", m_dir->path());
        const QString check = cause.startsWith("check") ? " CHECK (ANNO <> 'bad')" : "";
        const QString path =
            makeArchive({3}, QString(kCreateMovMag).replace("ANNO TEXT", "ANNO TEXT" + check));
        // Root ignores a file's write protection; the read-only mode stands in for it.
        const bool readOnly = cause.contains("reading");
        auto archive = open(path, readOnly ? Archive::OpenMode::ReadOnly : Archive::OpenMode::ReadWrite);
        QVERIFY(archive);
        QCOMPARE(archive->isReadOnly(), readOnly);
        qint64 stored = -1;
        // Writing these same values again gives SQLite itself no page to write, hence no moved file to
        // notice.
        QVERIFY(readOnly || !archive->confirmRecord(3, kValues, &stored));
        const QStringList row3 = readOnly ? storedTexts(3) : writtenTexts(3, "N3");
        stored = -1;
        RecordValues values = kValues;
        if (!check.isEmpty())
            values.anno = " bad ";
        else if (cause.startsWith("locked"))
            m_other = lockArchive(path);
        else if (cause.contains("deleted"))
            QVERIFY(QFile::remove(path));
        else if (cause.contains("moved"))
            QVERIFY(QFile::rename(path, filePath("moved.mdb")));
        else if (cause.contains("closed"))
            archive->close(); // and again when it is destroyed
        else if (cause.contains("made read-only"))
            FaultVfs::arm(1, SQLITE_IOERR_WRITE, FaultVfs::WriteMainDb, EROFS, true);
        else if (cause.contains("folder"))
            FaultVfs::arm(1, cause.contains("read-only") ? SQLITE_READONLY_DIRECTORY : SQLITE_CANTOPEN,
                          FaultVfs::OpenJournal, EACCES, true);
        if (cause.contains("folder") || cause.contains("made read-only"))
            values.anno = "2025";      // the same values again would give SQLite nothing to write
        for (qint64 number : {3, 9}) { // overwrite, then add
            const ArchiveError error = archive->confirmRecord(number, values, &stored);
            QVERIFY(hasError(error, code, fragment) &&
                    error.text.endsWith(": il movimento non è stato registrato"));
            QCOMPARE(stored, -1);
        }
        if (check.isEmpty()) {
            const ArchiveError error = archive->deleteRecord(3);
            QVERIFY(hasError(error, code, fragment) &&
                    error.text.endsWith(": il movimento non è stato cancellato"));
        }
        std::optional<qint64> last;
        std::optional<HoursRecord> record;
        for (const ArchiveError &error : {archive->lastNumber(&last), archive->readRecord(3, &record),
                                          archive->forEachListed([](const HoursRecord &) {})})
            QVERIFY(hasError(error, readCode, readCode ? fragment : ""));
        QCOMPARE(listed(*archive), (readCode ? Rows{{"error", QString::number(readCode)}} : Rows{row3}));
        if (!cause.startsWith("locked") && !cause.contains("folder") && !cause.contains("made read-only") &&
            check.isEmpty())
            return;      // the cause stays for the life of the connection
        m_other.reset(); // releases the lock
        FaultVfs::disarm();
        QVERIFY(!archive->confirmRecord(9, kValues, &stored));
        QCOMPARE(stored, 4);
        QCOMPARE(listed(*archive), (Rows{row3, writtenTexts(4, "")}));
    }

    void briefLockIsWaitedFor()
    {
        const QString path = makeArchive({3});
        ArchiveError opened;
        auto archive =
            Archive::open(path, &opened, Archive::OpenMode::ReadWrite, Archive::kBusyTimeoutMs * 10);
        QVERIFY(archive);
        std::thread release([other = lockArchive(path)] { QThread::msleep(200), other->exec("ROLLBACK"); });
        qint64 stored = 0;
        const ArchiveError error = archive->confirmRecord(4, kValues, &stored);
        release.join();
        QVERIFY(hasError(error, SQLITE_OK, "") && stored == 4);
    }

    // A write failing at any step of the file's operations stores all of it or nothing, says which
    // failure and that nothing was stored, and goes through when retried.
    void faultAtEveryStep_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("code");
        for (const char *operation : {"add", "overwrite", "delete"}) {
            QTest::addRow("%s, I/O error", operation) << QString(operation) << SQLITE_IOERR;
            QTest::addRow("%s, disk full", operation) << QString(operation) << SQLITE_FULL;
        }
    }
    void faultAtEveryStep()
    {
        QFETCH(QString, operation);
        QFETCH(int, code);
        QFile file(makeArchive({2, 5}));
        const QString path = file.fileName();
        const QByteArray pristine = (file.open(QIODevice::ReadOnly), file.readAll());
        file.close();
        std::unique_ptr<Archive> archive;
        const auto reset = [&] {
            archive.reset();
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(pristine) == pristine.size());
            file.close();
            QVERIFY(archive = open(path));
        };
        const auto run = [&] {
            qint64 stored = -1;
            return operation == "delete"
                       ? archive->deleteRecord(5)
                       : archive->confirmRecord(operation == "add" ? 9 : 5, kValues, &stored);
        };
        reset();
        const QString before = content(path);
        QVERIFY(!run());
        const QString after = content(path);
        reset();
        const QString cause = code == SQLITE_FULL ? "Disco pieno" : "Errore di lettura o scrittura";
        const QString outcome = operation == "delete" ? ": il movimento non è stato cancellato"
                                                      : ": il movimento non è stato registrato";
        const int runs = FaultVfs::forEveryFault(code, run, [&](const ArchiveError &error) {
            QCOMPARE(RawDb(path).value("PRAGMA integrity_check"), "ok");
            QCOMPARE(content(path), error ? before : after);
            if (error) {
                QVERIFY2(error.code == code && error.text.startsWith(cause) && error.text.endsWith(outcome),
                         qPrintable(error.text));
                QVERIFY(!run());
                QCOMPARE(content(path), after);
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
                ArchiveError error;
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
            RawDb db(path);
            QCOMPARE(db.value("PRAGMA integrity_check"), "ok");
            QCOMPARE(
                db.value(
                    "SELECT COUNT(*) FROM MOV_MAG WHERE NOTE <> '' OR ANNO IS NOT MESE OR ANNO IS NOT GIORNO "
                    "OR ANNO IS NOT ORA_INIZIO_1 OR ANNO IS NOT ORA_FINE_1 OR ANNO IS NOT ORA_INIZIO_2 OR "
                    "ANNO IS NOT ORA_FINE_2 OR ANNO IS NOT ORA_INIZIO_3 OR ANNO IS NOT ORA_FINE_3"),
                "0");
        }
        QVERIFY(RawDb(path).value("SELECT COUNT(*) FROM MOV_MAG").toInt() > 0);
    }

    // One copy a day, made while the archive is open; the last 14 copies of this archive are kept.
    void dailyBackup()
    {
        auto archive = open(makeArchive({1, 2}));
        QVERIFY(archive);
        const QString folder = filePath("copie");
        QVERIFY(QDir().mkpath(folder));
        QStringList kept{"ALTRO-20240101.mdb", "ZELVARO_97-2024.mdb"}; // another archive's, not a copy's name
        for (int day = 1; day <= 16; ++day)
            kept.append(dailyCopyName(archive->path(), QDate(2024, 1, day)));
        for (const QString &name : kept)
            QVERIFY(QFile(folder + "/" + name).open(QIODevice::WriteOnly));
        kept.remove(2, 3);
        kept.append("ZELVARO_97-20240201.mdb");
        const QString morning = content(archive->path());
        QVERIFY(!makeDailyBackup(*archive, folder, QDate(2024, 2, 1)));
        qint64 stored = 0;
        QVERIFY(!archive->confirmRecord(3, kValues, &stored) && stored == 3);
        QVERIFY(
            !makeDailyBackup(*archive, folder, QDate(2024, 2, 1))); // the same day: the morning's copy stays
        kept.sort();
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name), kept);
        QCOMPARE(content(folder + "/ZELVARO_97-20240201.mdb"), morning);
        QVERIFY(!makeDailyBackup(*archive, filePath("nuova/copie"), QDate(2024, 2, 2)));
        QVERIFY(hasError(makeDailyBackup(*archive, filePath("ZELVARO_97.mdb/x"), QDate(2024, 2, 2)),
                         SQLITE_CANTOPEN, "cartella delle copie"));
    }

    // A new archive holds the schema; an existing file, even a dangling link, is never written.
    void create()
    {
        QFile kept(filePath("old.mdb"));
        QVERIFY(kept.open(QIODevice::WriteOnly) && kept.write("keep me") == 7);
        kept.close();
        QVERIFY(QFile::link(filePath("target.mdb"), filePath("link.mdb")));
        QVERIFY(hasError(Archive::create(kept.fileName()), SQLITE_CANTOPEN, "Esiste già"));
        QVERIFY(hasError(Archive::create(filePath("link.mdb")), SQLITE_CANTOPEN, "Esiste già"));
        QVERIFY(!Archive::create(filePath("new.mdb")));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
                 (QStringList{"link.mdb", "new.mdb", "old.mdb"}));
        QCOMPARE((kept.open(QIODevice::ReadOnly), kept.readAll()), QByteArray("keep me"));
        QCOMPARE(RawDb(filePath("new.mdb")).value("SELECT sql FROM sqlite_master"), kCreateMovMag);
    }
};

QTEST_GUILESS_MAIN(TestArchive)
#include "tst_archive.moc"
