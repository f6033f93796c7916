#include "Archive.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sqlite3.h>

#include <cstdio>
#include <latch>
#include <thread>
#include <unistd.h>

using namespace zelvaro;

namespace {

// A second connection of "another program", outside the archive under test.
class RawDb
{
public:
    explicit RawDb(const QString &path)
    {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
            error = QString::fromUtf8(sqlite3_errmsg(m_db));
    }
    ~RawDb() { sqlite3_close_v2(m_db); }
    bool exec(const QString &sql)
    {
        char *message = nullptr;
        if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message) == SQLITE_OK)
            return true;
        error = QString::fromUtf8(message ? message : sqlite3_errmsg(m_db)) + QStringLiteral(" in ") + sql;
        sqlite3_free(message);
        return false;
    }
    // Text columns of the first row, "<NULL>" for null, untrimmed; empty when there is no row.
    QStringList row(const QString &sql)
    {
        QStringList texts;
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(st, c));
                texts.append(text ? QString::fromUtf8(text) : QStringLiteral("<NULL>"));
            }
        }
        sqlite3_finalize(st);
        return texts;
    }
    QString error;

private:
    sqlite3 *m_db = nullptr;
};

const QString kAllColumns =
    QStringLiteral("NUM_MOV, ANNO, MESE, GIORNO, ORA_INIZIO_1, ORA_FINE_1, ORA_INIZIO_2, "
                   "ORA_FINE_2, ORA_INIZIO_3, ORA_FINE_3, NOTE");

// Distinct texts per column, so that a column read into the wrong field shows.
QStringList storedTexts(qint64 n)
{
    QStringList texts{QString::number(n)};
    for (const char *prefix : {"Y", "M", "D", "I1.", "F1.", "I2.", "F2.", "I3.", "F3.", "N"})
        texts.append(QLatin1String(prefix) + QString::number(n));
    return texts;
}

QString insertSql(qint64 n)
{
    return QStringLiteral("INSERT INTO MOV_MAG (%1) VALUES (%2, '%3');")
        .arg(kAllColumns)
        .arg(n)
        .arg(storedTexts(n).mid(1).join(QStringLiteral("', '")));
}

QStringList fieldsOf(const HoursRecord &r)
{
    return {r.numMov,     r.anno,     r.mese,       r.giorno,   r.oraInizio1, r.oraFine1,
            r.oraInizio2, r.oraFine2, r.oraInizio3, r.oraFine3, r.note};
}

RecordValues valuesWithBlanks()
{
    return {QStringLiteral(" 2024 "),
            QStringLiteral("5 "),
            QStringLiteral(" 7"),
            QStringLiteral(" 8.30"),
            QStringLiteral("12.00 "),
            QString(),
            QString(),
            QStringLiteral("  20.00"),
            QStringLiteral("22.15  ")};
}
const QStringList kValuesStored{
    QStringLiteral("2024"),  QStringLiteral("5"), QStringLiteral("7"), QStringLiteral("8.30"),
    QStringLiteral("12.00"), QString(),           QString(),           QStringLiteral("20.00"),
    QStringLiteral("22.15")};

QList<qint64> listedNumbers(Archive &archive, ArchiveError *error)
{
    QList<qint64> numbers;
    *error = archive.forEachListed([&](const HoursRecord &r) { numbers.append(r.numMov.toLongLong()); });
    return numbers;
}

} // namespace

class TestArchive : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<RawDb> m_other; // holds a lock while a test needs it

    QString filePath(const QString &name) const { return m_dir->filePath(name); }

    // A hand-made archive: the statement run by another program, then rows numbered as given.
    QString makeArchive(const QList<qint64> &numbers, const QString &createSql = QLatin1String(kCreateMovMag))
    {
        const QString path = filePath(QStringLiteral("ZELVARO_97.mdb"));
        RawDb raw(path);
        QString sql = QStringLiteral("BEGIN;") + createSql + QLatin1Char(';');
        for (qint64 n : numbers)
            sql += insertSql(n);
        const bool ok = raw.exec(sql + QStringLiteral("COMMIT;"));
        if (!ok)
            qWarning("%s", qPrintable(raw.error));
        return ok ? path : QString();
    }

    std::unique_ptr<Archive> openOrFail(const QString &path,
                                        Archive::OpenMode mode = Archive::OpenMode::ReadWrite)
    {
        ArchiveError error;
        auto archive = Archive::open(path, &error, mode);
        if (!archive)
            qWarning("open failed: %d %s", error.code, qPrintable(error.text));
        return archive;
    }

private slots:
    void initTestCase() { Archive::setBusyTimeout(100); }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup()
    {
        m_other.reset();
        m_dir.reset();
    }

    void openFailure_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("fragment");
        QTest::newRow("empty path") << "empty path" << SQLITE_CANTOPEN
                                    << "Percorso dell'archivio non indicato";
        QTest::newRow("missing file") << "missing" << SQLITE_CANTOPEN << "non esiste";
        QTest::newRow("NUL inside the path") << "nul" << SQLITE_CANTOPEN << "non è valido";
        QTest::newRow("folder") << "folder" << SQLITE_CANTOPEN << "cartella";
        QTest::newRow("text file") << "text" << SQLITE_NOTADB << "non è un archivio SQLite";
        QTest::newRow("Access 97 file") << "jet" << SQLITE_NOTADB
                                        << "archivio Access: deve essere convertito "
                                           "con \"zelvaro-archivio importa\"";
        QTest::newRow("Access 2007 file") << "ace" << SQLITE_NOTADB << "zelvaro-archivio importa";
        QTest::newRow("empty file") << "empty" << SQLITE_ERROR << "non contiene la tabella MOV_MAG";
        QTest::newRow("other table only")
            << "CREATE TABLE MOV (NUM_MOV INTEGER)" << SQLITE_ERROR << "non contiene la tabella MOV_MAG";
        QTest::newRow("MOV_MAG is a view") << "CREATE VIEW MOV_MAG AS SELECT 1 AS NUM_MOV" << SQLITE_ERROR
                                           << "non contiene la tabella MOV_MAG";
        QTest::newRow("NOTE missing")
            << "CREATE TABLE MOV_MAG (NUM_MOV INTEGER PRIMARY KEY, ANNO, MESE, GIORNO, "
               "ORA_INIZIO_1, ORA_FINE_1, ORA_INIZIO_2, ORA_FINE_2, ORA_INIZIO_3, "
               "ORA_FINE_3)"
            << SQLITE_ERROR << "manca la colonna NOTE";
        QTest::newRow("ORA_FINE_3 misspelt")
            << "CREATE TABLE MOV_MAG (NUM_MOV INTEGER PRIMARY KEY, ANNO, MESE, "
               "GIORNO, ORA_INIZIO_1, ORA_FINE_1, ORA_INIZIO_2, ORA_FINE_2, "
               "ORA_INIZIO_3, ORA_FINE3, NOTE)"
            << SQLITE_ERROR << "manca la colonna ORA_FINE_3";
        QTest::newRow("locked by another program")
            << "locked" << SQLITE_BUSY << "bloccato da un altro programma";
    }
    void openFailure()
    {
        QFETCH(QString, fixture);
        QFETCH(int, code);
        QFETCH(QString, fragment);
        QString path = filePath(QStringLiteral("archive.mdb"));
        const auto write = [&](const QByteArray &bytes) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        };
        QByteArray access(2048, '\0');
        access[1] = 1;
        if (fixture == QLatin1String("empty path"))
            path.clear();
        else if (fixture == QLatin1String("nul")) // an existing archive, named with a NUL after its name
            path = makeArchive({1}) + QChar(u'\0') + QStringLiteral("x");
        else if (fixture == QLatin1String("folder"))
            path = m_dir->path();
        else if (fixture == QLatin1String("text"))
            write(QByteArray("ZELVARO_97 non è un database, solo testo\n").repeated(200));
        else if (fixture == QLatin1String("jet"))
            write(access.replace(4, 15, "Standard Jet DB"));
        else if (fixture == QLatin1String("ace"))
            write(access.replace(4, 15, "Standard ACE DB"));
        else if (fixture == QLatin1String("empty"))
            write(QByteArray());
        else if (fixture == QLatin1String("locked")) {
            path = makeArchive({1});
            m_other = std::make_unique<RawDb>(path);
            QVERIFY2(m_other->exec(QStringLiteral("BEGIN EXCLUSIVE")), qPrintable(m_other->error));
        } else if (fixture != QLatin1String("missing") && fixture != QLatin1String("nul")) {
            RawDb raw(path);
            QVERIFY2(raw.exec(fixture), qPrintable(raw.error));
        }
        const bool existed = QFileInfo::exists(path);
        const qint64 size = QFileInfo(path).size();

        ArchiveError error;
        const auto archive = Archive::open(path, &error);
        QVERIFY(!archive);
        QCOMPARE(error.code, code);
        QVERIFY2(error.text.contains(fragment), qPrintable(error.text));
        QCOMPARE(QFileInfo::exists(path), existed); // never creates a file
        QCOMPARE(QFileInfo(path).size(), size);
    }

    void openAcceptsHandMadeTables_data()
    {
        QTest::addColumn<QString>("createSql");
        QTest::newRow("the schema statement") << QString::fromLatin1(kCreateMovMag);
        QTest::newRow("lower-case names")
            << "create table mov_mag (num_mov integer primary key, anno text, mese text, giorno text, "
               "ora_inizio_1 text, ora_fine_1 text, ora_inizio_2 text, ora_fine_2 text, ora_inizio_3 text, "
               "ora_fine_3 text, note text)";
        QTest::newRow("columns in another order")
            << "CREATE TABLE MOV_MAG (NOTE TEXT, ORA_FINE_3 TEXT, ORA_INIZIO_3 TEXT, ORA_FINE_2 TEXT, "
               "ORA_INIZIO_2 TEXT, ORA_FINE_1 TEXT, ORA_INIZIO_1 TEXT, GIORNO TEXT, MESE TEXT, ANNO TEXT, "
               "NUM_MOV INTEGER PRIMARY KEY)";
        QTest::newRow("extra columns")
            << "CREATE TABLE MOV_MAG (ID_EXTRA TEXT, NUM_MOV INTEGER PRIMARY KEY, ANNO TEXT, MESE TEXT, "
               "GIORNO TEXT, ORA_INIZIO_1 TEXT, ORA_FINE_1 TEXT, ORA_INIZIO_2 TEXT, ORA_FINE_2 TEXT, "
               "ORA_INIZIO_3 TEXT, ORA_FINE_3 TEXT, NOTE TEXT, OPERATORE TEXT DEFAULT 'x')";
        QTest::newRow("untyped columns, no key")
            << "CREATE TABLE MOV_MAG (NUM_MOV, ANNO, MESE, GIORNO, ORA_INIZIO_1, ORA_FINE_1, ORA_INIZIO_2, "
               "ORA_FINE_2, ORA_INIZIO_3, ORA_FINE_3, NOTE)";
    }
    void openAcceptsHandMadeTables()
    {
        QFETCH(QString, createSql);
        const QString path = makeArchive({5, 2}, createSql);
        auto archive = openOrFail(path);
        QVERIFY(archive);
        QList<QStringList> rows;
        QVERIFY(!archive->forEachListed([&](const HoursRecord &r) { rows.append(fieldsOf(r)); }));
        QCOMPARE(rows, (QList<QStringList>{storedTexts(2), storedTexts(5)}));
        qint64 stored = 0;
        QVERIFY(!archive->confirmRecord(2, valuesWithBlanks(), &stored));
        QCOMPARE(stored, 2);
        QVERIFY(!archive->confirmRecord(3, valuesWithBlanks(), &stored));
        QCOMPARE(stored, 6);
        std::optional<HoursRecord> record;
        QVERIFY(!archive->readRecord(6, &record));
        QVERIFY(record);
        QCOMPARE(fieldsOf(*record), QStringList{"6"} + kValuesStored + QStringList{""});
        QVERIFY(!archive->deleteRecord(5));
        std::optional<qint64> last;
        QVERIFY(!archive->lastNumber(&last));
        QCOMPARE(last, std::optional<qint64>(6));
    }

    void fieldText_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("database null") << QVariant() << "";
        QTest::newRow("null of a type") << QVariant(QMetaType::fromType<QString>()) << "";
        QTest::newRow("blanks both ends") << QVariant(QStringLiteral("  8.30 ")) << "8.30";
        QTest::newRow("only blanks") << QVariant(QStringLiteral("   ")) << "";
        QTest::newRow("tab is not a blank") << QVariant(QStringLiteral("\t8.30 ")) << "\t8.30";
        QTest::newRow("inner blanks kept") << QVariant(QStringLiteral(" 8 . 30 ")) << "8 . 30";
        QTest::newRow("whole number") << QVariant(qint64(42)) << "42";
        QTest::newRow("negative number") << QVariant(-7) << "-7";
        QTest::newRow("fraction") << QVariant(8.5) << "8.5";
    }
    void fieldText()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, expected);
        QCOMPARE(zelvaro::fieldText(value), expected);
        if (value.typeId() == QMetaType::QString)
            QCOMPARE(trimBlanks(value.toString()), expected);
    }

    // Every reader turns a stored value into the same field text.
    void storedValueReadAsFieldText_data()
    {
        QTest::addColumn<QString>("literal");
        QTest::addColumn<QString>("expected");
        QTest::newRow("null") << "NULL"
                              << "";
        QTest::newRow("empty text") << "''"
                                    << "";
        QTest::newRow("blanks both ends") << "'  8.30 '"
                                          << "8.30";
        QTest::newRow("only blanks") << "'    '"
                                     << "";
        QTest::newRow("tab kept") << "char(9) || '8.30'"
                                  << "\t8.30";
        QTest::newRow("stored as integer") << "830"
                                           << "830";
        QTest::newRow("stored as negative integer") << "-5"
                                                    << "-5";
        QTest::newRow("stored as real") << "8.5"
                                        << "8.5";
        QTest::newRow("accented, blanks") << "' Perù  '"
                                          << "Perù";
        QTest::newRow("no-break space kept") << "char(160) || '8 '"
                                             << "\u00a08";
    }
    void storedValueReadAsFieldText()
    {
        QFETCH(QString, literal);
        QFETCH(QString, expected);
        const QString path = makeArchive({2}); // the row before fills the record reused by the listing
        RawDb raw(path);
        QVERIFY2(
            raw.exec(QStringLiteral("INSERT INTO MOV_MAG VALUES (4, %1, %1, %1, %1, %1, %1, %1, %1, %1, %1)")
                         .arg(literal)),
            qPrintable(raw.error));
        auto archive = openOrFail(path);
        QVERIFY(archive);
        const QStringList want = QStringList{"4"} + QStringList(10, expected);
        QList<QStringList> listed;
        QVERIFY(!archive->forEachListed([&](const HoursRecord &r) { listed.append(fieldsOf(r)); }));
        QCOMPARE(listed, (QList<QStringList>{storedTexts(2), want}));
        std::optional<HoursRecord> record;
        QVERIFY(!archive->readRecord(4, &record));
        QVERIFY(record);
        QCOMPARE(fieldsOf(*record), want);
    }

    void listAndLastNumber_data()
    {
        QTest::addColumn<QList<qint64>>("stored");
        QTest::addColumn<QList<qint64>>("listed");
        QTest::newRow("empty archive") << QList<qint64>{} << QList<qint64>{};
        QTest::newRow("only zero and negative") << QList<qint64>{0, -3} << QList<qint64>{};
        QTest::newRow("single row") << QList<qint64>{41} << QList<qint64>{41};
        QTest::newRow("gaps, added out of order, non-positive skipped")
            << QList<qint64>{10, 3, -2, 0, 7, 100, 1} << QList<qint64>{1, 3, 7, 10, 100};
        QTest::newRow("numbers past 32 bits") << QList<qint64>{4294967297, 2} << QList<qint64>{2, 4294967297};
    }
    void listAndLastNumber()
    {
        QFETCH(QList<qint64>, stored);
        QFETCH(QList<qint64>, listed);
        auto archive = openOrFail(makeArchive(stored));
        QVERIFY(archive);
        QList<QStringList> rows;
        QVERIFY(!archive->forEachListed([&](const HoursRecord &r) { rows.append(fieldsOf(r)); }));
        QList<QStringList> expected;
        for (qint64 n : listed)
            expected.append(storedTexts(n));
        QCOMPARE(rows, expected);
        std::optional<qint64> last = -99;
        QVERIFY(!archive->lastNumber(&last));
        QCOMPARE(last, listed.isEmpty() ? std::nullopt : std::optional<qint64>(listed.last()));
    }

    void readRecord_data()
    {
        QTest::addColumn<qint64>("number");
        QTest::addColumn<bool>("found");
        QTest::newRow("existing") << qint64(7) << true;
        QTest::newRow("missing between") << qint64(5) << false;
        QTest::newRow("missing above") << qint64(8) << false;
    }
    void readRecord()
    {
        QFETCH(qint64, number);
        QFETCH(bool, found);
        auto archive = openOrFail(makeArchive({3, 7}));
        QVERIFY(archive);
        std::optional<HoursRecord> record = HoursRecord{};
        QVERIFY(!archive->readRecord(number, &record));
        QCOMPARE(record.has_value(), found);
        if (found)
            QCOMPARE(fieldsOf(*record), storedTexts(number));
    }

    void confirmRecord_data()
    {
        QTest::addColumn<QList<qint64>>("stored");
        QTest::addColumn<qint64>("number");
        QTest::addColumn<qint64>("written");
        QTest::newRow("overwrite keeps the note") << QList<qint64>{3, 7} << qint64(3) << qint64(3);
        QTest::newRow("add between rows gets highest + 1") << QList<qint64>{3, 7} << qint64(5) << qint64(8);
        QTest::newRow("add above highest gets highest + 1") << QList<qint64>{3} << qint64(50) << qint64(4);
        QTest::newRow("add to empty archive") << QList<qint64>{} << qint64(9) << qint64(1);
        QTest::newRow("add past rows numbered 0 or less") << QList<qint64>{-4, 0} << qint64(2) << qint64(1);
    }
    void confirmRecord()
    {
        QFETCH(QList<qint64>, stored);
        QFETCH(qint64, number);
        QFETCH(qint64, written);
        const QString path = makeArchive(stored);
        auto archive = openOrFail(path);
        QVERIFY(archive);
        qint64 result = -1;
        QVERIFY(!archive->confirmRecord(number, valuesWithBlanks(), &result));
        QCOMPARE(result, written);
        const bool overwrite = stored.contains(number);
        RawDb raw(path);
        const QString note = overwrite ? storedTexts(number).last() : QString(""); // never NULL
        QCOMPARE(
            raw.row(
                QStringLiteral("SELECT %1 FROM MOV_MAG WHERE NUM_MOV = %2").arg(kAllColumns).arg(written)),
            QStringList{QString::number(written)} + kValuesStored + QStringList{note});
        QCOMPARE(raw.row(QStringLiteral("SELECT COUNT(*) FROM MOV_MAG")),
                 QStringList{QString::number(stored.size() + (overwrite ? 0 : 1))});
        for (qint64 other : stored) {
            if (other != written)
                QCOMPARE(raw.row(QStringLiteral("SELECT %1 FROM MOV_MAG WHERE NUM_MOV = %2")
                                     .arg(kAllColumns)
                                     .arg(other)),
                         storedTexts(other));
        }
    }

    void confirmRefusesNumberNotAboveZero_data()
    {
        QTest::addColumn<qint64>("number");
        QTest::newRow("zero") << qint64(0);
        QTest::newRow("negative, stored") << qint64(-2);
    }
    void confirmRefusesNumberNotAboveZero()
    {
        QFETCH(qint64, number);
        const QString path = makeArchive({-2, 5});
        auto archive = openOrFail(path);
        QVERIFY(archive);
        qint64 result = 77;
        const ArchiveError error = archive->confirmRecord(number, valuesWithBlanks(), &result);
        QCOMPARE(error.code, SQLITE_MISUSE);
        QVERIFY2(error.text.contains(QStringLiteral("non valido")), qPrintable(error.text));
        QCOMPARE(result, 77);
        QCOMPARE(
            RawDb(path).row(QStringLiteral("SELECT %1 FROM MOV_MAG WHERE NUM_MOV = -2").arg(kAllColumns)),
            storedTexts(-2));
    }

    void deleteRecord_data()
    {
        QTest::addColumn<qint64>("number");
        QTest::addColumn<QList<qint64>>("left");
        QTest::newRow("existing row") << qint64(3) << QList<qint64>{7};
        QTest::newRow("no such row is not an error") << qint64(5) << QList<qint64>{3, 7};
    }
    void deleteRecord()
    {
        QFETCH(qint64, number);
        QFETCH(QList<qint64>, left);
        auto archive = openOrFail(makeArchive({3, 7}));
        QVERIFY(archive);
        QVERIFY(!archive->deleteRecord(number));
        ArchiveError error;
        QCOMPARE(listedNumbers(*archive, &error), left);
        QVERIFY(!error);
    }

    void closedArchiveRefusesEveryOperation_data()
    {
        QTest::addColumn<int>("operation");
        QTest::newRow("list") << 0;
        QTest::newRow("last number") << 1;
        QTest::newRow("read") << 2;
        QTest::newRow("confirm") << 3;
        QTest::newRow("delete") << 4;
    }
    void closedArchiveRefusesEveryOperation()
    {
        QFETCH(int, operation);
        const QString path = makeArchive({3});
        auto archive = openOrFail(path);
        QVERIFY(archive);
        archive->close();
        archive->close(); // closing twice is harmless
        QVERIFY(!archive->isOpen());
        QVERIFY(QFile::remove(path)); // the file was released: nothing writes it again
        std::optional<qint64> last;
        std::optional<HoursRecord> record;
        qint64 stored = 0;
        bool called = false;
        const ArchiveError error = operation == 0
                                       ? archive->forEachListed([&](const HoursRecord &) { called = true; })
                                   : operation == 1 ? archive->lastNumber(&last)
                                   : operation == 2 ? archive->readRecord(3, &record)
                                   : operation == 3 ? archive->confirmRecord(3, valuesWithBlanks(), &stored)
                                                    : archive->deleteRecord(3);
        QCOMPARE(error.code, SQLITE_MISUSE);
        QCOMPARE(error.text, QStringLiteral("Archivio chiuso"));
        QVERIFY(!called);
        QVERIFY(!QFileInfo::exists(path));
    }

    // A failed write leaves the archive as it was, and the connection works again once the cause is gone.
    void writeFailure_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("fragment");
        QTest::newRow("locked by another program")
            << "locked" << SQLITE_BUSY << "bloccato da un altro programma";
        QTest::newRow("opened for reading only") << "read-only" << SQLITE_READONLY << "protetto in scrittura";
        QTest::newRow("disk full") << "full" << SQLITE_FULL << "Disco pieno";
        QTest::newRow("check of a hand-made table") << "check" << SQLITE_CONSTRAINT << "vincolo";
        QTest::newRow("table dropped by another program") << "dropped" << SQLITE_ERROR << "no such table";
        QTest::newRow("file deleted while open") << "deleted" << SQLITE_READONLY << "spostato o cancellato";
        QTest::newRow("file replaced while open") << "renamed" << SQLITE_READONLY << "spostato o cancellato";
    }
    void writeFailure()
    {
        QFETCH(QString, cause);
        QFETCH(int, code);
        QFETCH(QString, fragment);
        QString createSql = QString::fromLatin1(kCreateMovMag);
        if (cause == QLatin1String("check"))
            createSql.replace(QStringLiteral("ANNO TEXT"), QStringLiteral("ANNO TEXT CHECK (ANNO <> 'bad')"));
        if (cause == QLatin1String("renamed"))
            QVERIFY(QFile::rename(makeArchive({3}, createSql), filePath(QStringLiteral("a.mdb"))));
        const QString path = makeArchive({3}, createSql);
        auto archive = openOrFail(path, cause == QLatin1String("read-only") ? Archive::OpenMode::ReadOnly
                                                                            : Archive::OpenMode::ReadWrite);
        QVERIFY(archive);
        QCOMPARE(archive->isReadOnly(), cause == QLatin1String("read-only"));
        qint64 stored = -1;
        QStringList row3 = storedTexts(3);
        if (!archive->isReadOnly()) { // a connection that has written already
            QVERIFY(!archive->confirmRecord(3, valuesWithBlanks(), &stored));
            row3 = QStringList{"3"} + kValuesStored + QStringList{row3.last()};
            stored = -1;
        }
        RecordValues values = valuesWithBlanks();
        if (cause == QLatin1String("locked") || cause == QLatin1String("dropped"))
            m_other = std::make_unique<RawDb>(path);
        if (cause == QLatin1String("locked")) {
            QVERIFY(m_other->exec(QStringLiteral("BEGIN EXCLUSIVE")));
        } else if (cause == QLatin1String("full")) {
            QCOMPARE(sqlite3_exec(archive->handle(), "PRAGMA max_page_count = 2", nullptr, nullptr, nullptr),
                     SQLITE_OK);
            values.oraInizio2 = QString(20000, QLatin1Char('x'));
        } else if (cause == QLatin1String("check")) {
            values.anno = QStringLiteral(" bad ");
        } else if (cause == QLatin1String("dropped")) {
            QVERIFY(m_other->exec(QStringLiteral("DROP TABLE MOV_MAG")));
        } else if (cause == QLatin1String("deleted")) {
            QVERIFY(QFile::remove(path));
        } else if (cause == QLatin1String("renamed")) {
            QCOMPARE(std::rename(QFile::encodeName(filePath(QStringLiteral("a.mdb"))).constData(),
                                 QFile::encodeName(path).constData()),
                     0);
        }
        for (qint64 number : {3, 9}) { // overwrite, then add
            const ArchiveError error = archive->confirmRecord(number, values, &stored);
            QCOMPARE(error.code, code);
            QVERIFY2(error.text.contains(fragment), qPrintable(error.text));
            QCOMPARE(stored, -1);
        }
        if (cause != QLatin1String("check") && cause != QLatin1String("full")) {
            const ArchiveError error = archive->deleteRecord(3);
            QCOMPARE(error.code, code);
        }
        if (cause == QLatin1String("deleted") || cause == QLatin1String("renamed") ||
            cause == QLatin1String("read-only"))
            return;      // the cause stays for the life of the connection
        m_other.reset(); // releases the lock
        RawDb raw(path);
        if (cause == QLatin1String("dropped")) {
            QVERIFY(raw.exec(QLatin1String(kCreateMovMag)));
        } else {
            QCOMPARE(raw.row(QStringLiteral("SELECT %1 FROM MOV_MAG").arg(kAllColumns)), row3);
            QCOMPARE(raw.row(QStringLiteral("SELECT COUNT(*) FROM MOV_MAG")), QStringList{"1"});
        }
        if (cause == QLatin1String("full"))
            QCOMPARE(
                sqlite3_exec(archive->handle(), "PRAGMA max_page_count = 100000", nullptr, nullptr, nullptr),
                0);
        values = valuesWithBlanks();
        QVERIFY(!archive->confirmRecord(9, values, &stored));
        QCOMPARE(raw.row(QStringLiteral("SELECT ANNO FROM MOV_MAG WHERE NUM_MOV = %1").arg(stored)),
                 QStringList{"2024"});
    }

    void readFailure_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("fragment");
        QTest::newRow("locked by another program")
            << "locked" << SQLITE_BUSY << "bloccato da un altro programma";
        QTest::newRow("damaged table page") << "damaged" << SQLITE_CORRUPT << "danneggiato";
    }
    void readFailure()
    {
        QFETCH(QString, cause);
        QFETCH(int, code);
        QFETCH(QString, fragment);
        QList<qint64> numbers;
        for (qint64 n = 1; n <= 40; ++n)
            numbers.append(n);
        const QString path = makeArchive(numbers);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        const int pageSize = RawDb(path).row(QStringLiteral("PRAGMA page_size")).value(0).toInt();
        const QByteArray tablePage = (file.seek(pageSize), file.read(pageSize)); // MOV_MAG's root is page 2
        if (cause == QLatin1String("damaged")) {
            QVERIFY(file.seek(pageSize));
            file.write(QByteArray(pageSize, '\xee'));
            file.flush();
        }
        auto archive = openOrFail(path);
        QVERIFY(archive);
        if (cause == QLatin1String("locked")) {
            m_other = std::make_unique<RawDb>(path);
            QVERIFY(m_other->exec(QStringLiteral("BEGIN EXCLUSIVE")));
        }
        std::optional<qint64> last;
        std::optional<HoursRecord> record;
        ArchiveError errors[3];
        listedNumbers(*archive, &errors[0]);
        errors[1] = archive->lastNumber(&last);
        errors[2] = archive->readRecord(3, &record);
        for (const ArchiveError &error : errors) {
            QCOMPARE(error.code, code);
            QVERIFY2(error.text.contains(fragment), qPrintable(error.text));
        }
        m_other.reset();
        if (cause == QLatin1String("damaged")) {
            // Put the page back and count a change, so that SQLite reads the file again.
            QVERIFY(file.seek(pageSize));
            file.write(tablePage);
            QVERIFY(file.seek(24));
            const QByteArray counter = file.read(4);
            QVERIFY(file.seek(24));
            file.write(QByteArray(counter).replace(3, 1, QByteArray(1, char(counter.at(3) + 1))));
            file.flush();
        }
        ArchiveError error;
        QCOMPARE(listedNumbers(*archive, &error), numbers);
        QVERIFY(!error);
    }

    void briefLockIsWaitedFor()
    {
        const QString path = makeArchive({3});
        Archive::setBusyTimeout(Archive::kBusyTimeoutMs * 10);
        auto archive = openOrFail(path);
        Archive::setBusyTimeout(100);
        QVERIFY(archive);
        std::latch locked(1);
        std::thread other([&] {
            RawDb raw(path);
            raw.exec(QStringLiteral("BEGIN EXCLUSIVE"));
            locked.count_down();
            QThread::msleep(200);
            raw.exec(QStringLiteral("ROLLBACK"));
        });
        locked.wait();
        qint64 stored = 0;
        const ArchiveError error = archive->confirmRecord(4, valuesWithBlanks(), &stored);
        other.join();
        QVERIFY2(!error, qPrintable(error.text));
        QCOMPARE(stored, 4);
    }

    void readOnlyArchiveIsReadable()
    {
        const QString path = makeArchive({3, 7});
        if (geteuid() != 0)
            QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        // Root ignores the file's protection; the read-only mode stands in for it.
        auto archive =
            openOrFail(path, geteuid() == 0 ? Archive::OpenMode::ReadOnly : Archive::OpenMode::ReadWrite);
        QVERIFY(archive);
        QVERIFY(archive->isReadOnly());
        ArchiveError error;
        QCOMPARE(listedNumbers(*archive, &error), (QList<qint64>{3, 7}));
        QVERIFY(!error);
        std::optional<qint64> last;
        QVERIFY(!archive->lastNumber(&last));
        QCOMPARE(last, std::optional<qint64>(7));
        std::optional<HoursRecord> record;
        QVERIFY(!archive->readRecord(3, &record));
        QVERIFY(record);
        QCOMPARE(fieldsOf(*record), storedTexts(3));
    }

    // The archive stays one file with a rollback journal, whatever another program left it in.
    void archiveKeptSingleFile()
    {
        const QString path = makeArchive({3});
        QCOMPARE(RawDb(path).row(QStringLiteral("PRAGMA journal_mode = WAL")), QStringList{"wal"});
        auto archive = openOrFail(path);
        QVERIFY(archive);
        RawDb probe(path);
        QCOMPARE(probe.row(QStringLiteral("PRAGMA journal_mode")), QStringList{"delete"});
        qint64 stored = 0;
        QVERIFY(!archive->confirmRecord(3, valuesWithBlanks(), &stored));
        archive.reset();
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"ZELVARO_97.mdb"});
    }

    void createRefuses_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("fragment");
        QTest::newRow("empty path") << "empty path"
                                    << "non indicato";
        QTest::newRow("existing file") << "file"
                                       << "Esiste già";
        QTest::newRow("existing folder") << "folder"
                                         << "Esiste già";
        QTest::newRow("dangling symbolic link") << "link"
                                                << "Esiste già";
        QTest::newRow("missing parent folder") << "no parent"
                                               << "Impossibile creare";
    }
    void createRefuses()
    {
        QFETCH(QString, fixture);
        QFETCH(QString, fragment);
        QString path = filePath(QStringLiteral("new.mdb"));
        if (fixture == QLatin1String("empty path")) {
            path.clear();
        } else if (fixture == QLatin1String("file")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("keep me");
        } else if (fixture == QLatin1String("folder")) {
            QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("new.mdb")));
        } else if (fixture == QLatin1String("link")) {
            QVERIFY(QFile::link(filePath(QStringLiteral("target.mdb")), path));
        } else {
            path = filePath(QStringLiteral("missing/new.mdb"));
        }
        const QStringList before =
            QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        const ArchiveError error = Archive::create(path);
        QCOMPARE(error.code, SQLITE_CANTOPEN);
        QVERIFY2(error.text.contains(fragment), qPrintable(error.text));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
                 before);
        if (fixture == QLatin1String("file")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("keep me"));
        }
    }

    void createMakesEmptyArchiveWithSchema()
    {
        const QString path = filePath(QStringLiteral("ZELVARO_97.mdb"));
        QVERIFY(!Archive::create(path));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"ZELVARO_97.mdb"});
        QCOMPARE(RawDb(path).row(QStringLiteral("SELECT sql FROM sqlite_master")),
                 QStringList{QString::fromLatin1(kCreateMovMag)});
        auto archive = openOrFail(path);
        QVERIFY(archive);
        std::optional<qint64> last = 5;
        QVERIFY(!archive->lastNumber(&last));
        QVERIFY(!last);
    }
};

QTEST_GUILESS_MAIN(TestArchive)
#include "tst_archive.moc"
