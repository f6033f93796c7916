#include "AccessImport.h"
#include "Archive.h"
#include "CsvReader.h"
#include "Printout.h"
#include "ToolsTestData.h"

#include <QDateTime>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <optional>

using namespace zelvaro;
using namespace zelvaro::test;

namespace {

constexpr int kJet3Page = 2048;
// The start of the row of NUM_MOV 1 (and 2) in the small fixtures: one byte holding the column
// count, then NUM_MOV as a little-endian Long Integer.
const QByteArray kRowOfNumber1("\x0b\x01\x00\x00\x00", 5);
const QByteArray kRowOfNumber2("\x0b\x02\x00\x00\x00", 5);

using Row = QList<std::optional<QByteArray>>; // one value per column, nullopt for null

// Every row of MOV_MAG as stored, by NUM_MOV, values as raw bytes.
QHash<qint64, Row> storedRows(const QString &path)
{
    QHash<qint64, Row> rows;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(
            db,
            "SELECT NUM_MOV, ANNO, MESE, GIORNO, ORA_INIZIO_1, ORA_FINE_1, ORA_INIZIO_2, ORA_FINE_2, "
            "ORA_INIZIO_3, ORA_FINE_3, NOTE FROM MOV_MAG",
            -1, &st, nullptr);
        while (st != nullptr && sqlite3_step(st) == SQLITE_ROW) {
            Row row;
            for (int c = 0; c < 11; ++c) {
                if (sqlite3_column_type(st, c) == SQLITE_NULL) {
                    row.append(std::nullopt);
                } else {
                    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(st, c));
                    row.append(QByteArray(text, sqlite3_column_bytes(st, c)));
                }
            }
            rows.insert(sqlite3_column_int64(st, 0), row);
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return rows;
}

// The rows a fixture must import to, from its comma-separated file ("NULL" for a null).
QList<Row> expectedRows(const QString &csvName)
{
    QList<Row> rows;
    const QList<QStringList> records = readCsv(readBytes(dataPath(csvName)), ',');
    for (qsizetype r = 1; r < records.size(); ++r) {
        Row row;
        for (const QString &value : records.at(r))
            row.append(value == QLatin1String("NULL") ? std::nullopt : std::optional(value.toUtf8()));
        rows.append(row);
    }
    return rows;
}

QString describe(const std::optional<QByteArray> &value)
{
    return value ? QLatin1Char('"') + QString::fromUtf8(*value) + QLatin1Char('"') : QStringLiteral("NULL");
}

// The small text fixture with `from` replaced by `to`; fails the test when `from` is not there once.
QByteArray patchedFixture(const QByteArray &from, const QByteArray &to)
{
    QByteArray bytes = readBytes(dataPath(QStringLiteral("mov_mag_97_testo.mdb")));
    if (bytes.count(from) != 1) {
        QTest::qFail("the fixture no longer holds the pattern once", __FILE__, __LINE__);
        return {};
    }
    return bytes.replace(from, to);
}

// The row of NUM_MOV 1 is the first row of its data page and so ends at the page's end, where its
// null mask lies: bit 0 of the mask's first byte tells whether NUM_MOV has a value.
QByteArray fixtureWithNullNumber()
{
    QByteArray bytes = readBytes(dataPath(QStringLiteral("mov_mag_97_testo.mdb")));
    const qsizetype row = bytes.indexOf(kRowOfNumber1);
    const qsizetype mask = (row / kJet3Page + 1) * kJet3Page - 2;
    if (row < 0 || static_cast<unsigned char>(bytes.at(mask)) != 0xff) {
        QTest::qFail("unexpected layout of the fixture", __FILE__, __LINE__);
        return {};
    }
    bytes[mask] = char(0xfe);
    return bytes;
}

// Marks the row of NUM_MOV 1 as deleted in its page's row table (flag 0x4000), while the table
// definition still counts it: the reader passes over it without a word.
QByteArray fixtureWithHiddenRow()
{
    QByteArray bytes = readBytes(dataPath(QStringLiteral("mov_mag_97_testo.mdb")));
    const qsizetype row = bytes.indexOf(kRowOfNumber1);
    const qsizetype page = row / kJet3Page * kJet3Page;
    const qsizetype entry = page + 10; // the first entry of the row table of a Jet 3 data page
    const int offset =
        static_cast<unsigned char>(bytes.at(entry)) | static_cast<unsigned char>(bytes.at(entry + 1)) << 8;
    if (row < 0 || offset != row - page) {
        QTest::qFail("unexpected layout of the fixture", __FILE__, __LINE__);
        return {};
    }
    bytes[entry + 1] = char((offset | 0x4000) >> 8);
    return bytes;
}

// One byte of MOV_MAG's table definition (page 4) changed: libmdb then reads beyond its buffers and
// crashes while it fetches the rows.
QByteArray fixtureThatCrashesTheReader()
{
    QByteArray bytes = readBytes(dataPath(QStringLiteral("mov_mag_97_testo.mdb")));
    const qsizetype at = 4 * kJet3Page + 35;
    if (bytes.size() <= at || bytes.at(at) != '\x02') {
        QTest::qFail("unexpected layout of the fixture", __FILE__, __LINE__);
        return {};
    }
    bytes[at] = char(0xa4);
    return bytes;
}

// Overwrites `count` bytes from `start` with a fixed pattern.
QByteArray fixtureOverwritten(qsizetype start, qsizetype count, char fill)
{
    QByteArray bytes = readBytes(dataPath(QStringLiteral("mov_mag_97_testo.mdb")));
    for (qsizetype i = start; i < start + count && i < bytes.size(); ++i)
        bytes[i] = char(fill + i * 37);
    return bytes;
}

enum SourceKind { BytesFile, MissingFile, Folder };

} // namespace

class tst_AccessImport : public QObject
{
    Q_OBJECT

private slots:
    void importMatchesFixture_data();
    void importMatchesFixture();
    void importedArchiveWorksInTheProgram();
    void numbersNotAboveZeroComeOver();
    void refusedSourceLeavesNothing_data();
    void refusedSourceLeavesNothing();
    void existingDestinationUntouched_data();
    void existingDestinationUntouched();
    void missingDestinationFolder();
    void damagedFileNeverBreaksTheImport_data();
    void damagedFileNeverBreaksTheImport();
};

void tst_AccessImport::importMatchesFixture_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::newRow("Text dates, blanks and Windows-1252 notes") << QStringLiteral("mov_mag_97_testo");
    QTest::newRow("Integer dates") << QStringLiteral("mov_mag_97_numeri");
    QTest::newRow("20,000 rows") << QStringLiteral("mov_mag_97_grande");
}

// Values are compared as bytes with the UTF-8 file of the fixture: è, € and – must arrive as UTF-8,
// blanks kept, Integer dates as their text, and empty values as null.
void tst_AccessImport::importMatchesFixture()
{
    QFETCH(QString, fixture);
    QTemporaryDir dir;
    const QString destination = dir.filePath(QStringLiteral("ZELVARO_97.mdb"));
    const ImportOutcome outcome =
        importAccessArchive(dataPath(fixture + QStringLiteral(".mdb")), destination);
    QVERIFY2(outcome.ok, qPrintable(outcome.error));
    QVERIFY2(outcome.libmdbNotes.isEmpty(), qPrintable(outcome.libmdbNotes.join(QLatin1Char('\n'))));

    const QList<Row> expected = expectedRows(fixture + QStringLiteral(".csv"));
    QVERIFY(!expected.isEmpty());
    const QHash<qint64, Row> stored = storedRows(destination);
    QCOMPARE(outcome.rows, qint64(expected.size()));
    QCOMPARE(stored.size(), expected.size());
    for (const Row &want : expected) {
        QCOMPARE(want.size(), 11);
        const qint64 number = want.at(0)->toLongLong();
        QVERIFY2(stored.contains(number), qPrintable(QStringLiteral("NUM_MOV %1 missing").arg(number)));
        const Row &got = stored.value(number);
        for (int c = 1; c < 11; ++c) {
            QVERIFY2(got.at(c) == want.at(c),
                     qPrintable(QStringLiteral("NUM_MOV %1 column %2: %3, expected %4")
                                    .arg(number)
                                    .arg(c)
                                    .arg(describe(got.at(c)), describe(want.at(c)))));
        }
    }
    // Only the new archive is left in the folder: no temporary file, no journal.
    QCOMPARE(folderEntries(dir.path()), QStringList{QStringLiteral("ZELVARO_97.mdb")});
}

void tst_AccessImport::importedArchiveWorksInTheProgram()
{
    QTemporaryDir dir;
    const QString destination = dir.filePath(QStringLiteral("ZELVARO_97.mdb"));
    const ImportOutcome outcome =
        importAccessArchive(dataPath(QStringLiteral("mov_mag_97_testo.mdb")), destination);
    QVERIFY2(outcome.ok, qPrintable(outcome.error));

    ArchiveError error;
    const std::unique_ptr<Archive> archive = Archive::open(destination, &error);
    QVERIFY2(archive, qPrintable(error.text));

    const QList<Row> expected = expectedRows(QStringLiteral("mov_mag_97_testo.csv"));
    QList<qint64> wantNumbers;
    for (const Row &row : expected) {
        if (row.at(0)->toLongLong() > 0)
            wantNumbers.append(row.at(0)->toLongLong());
    }
    std::sort(wantNumbers.begin(), wantNumbers.end());

    // Lists: every row in number order, with its texts trimmed of blanks.
    QList<qint64> listed;
    QString firstOraFine1;
    QVERIFY(!archive->forEachListed([&](const HoursRecord &r) {
        if (listed.isEmpty())
            firstOraFine1 = r.oraFine1;
        listed.append(r.numMov.toLongLong());
    }));
    QCOMPARE(listed, wantNumbers);
    QCOMPARE(firstOraFine1, QStringLiteral("8.30")); // stored " 8.30"

    // Selects: a record read by its number carries its note as UTF-8.
    std::optional<HoursRecord> record;
    QVERIFY(!archive->readRecord(2, &record));
    QVERIFY(record.has_value());
    QCOMPARE(record->note, QStringLiteral("più € – ok"));

    // Prints: one line per listed record, each beginning with its number.
    QStringList lines;
    QVERIFY(!hoursListLines(*archive, &lines));
    QCOMPARE(lines.size(), wantNumbers.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        QCOMPARE(lines.at(i).left(5).trimmed().toLongLong(), wantNumbers.at(i));
}

// The window never lists such rows, but nothing is lost.
void tst_AccessImport::numbersNotAboveZeroComeOver()
{
    QByteArray bytes = patchedFixture(kRowOfNumber1, QByteArray("\x0b\x00\x00\x00\x00", 5));
    bytes.replace(kRowOfNumber2, QByteArray("\x0b\xfe\xff\xff\xff", 5)); // -2
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("VECCHIO.mdb"));
    QVERIFY(writeBytes(source, bytes));
    const QString destination = dir.filePath(QStringLiteral("ZELVARO_97.mdb"));

    const ImportOutcome outcome = importAccessArchive(source, destination);
    QVERIFY2(outcome.ok, qPrintable(outcome.error));
    QCOMPARE(outcome.rows, qint64(60));
    QCOMPARE(outcome.unlistedRows, qint64(2));
    const QHash<qint64, Row> stored = storedRows(destination);
    const QList<Row> expected = expectedRows(QStringLiteral("mov_mag_97_testo.csv"));
    QVERIFY(!stored.contains(1) && !stored.contains(2));
    QCOMPARE(stored.value(0).mid(1), expected.at(0).mid(1));
    QCOMPARE(stored.value(-2).mid(1), expected.at(1).mid(1));
}

void tst_AccessImport::refusedSourceLeavesNothing_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("because");

    const QByteArray testo = readBytes(dataPath(QStringLiteral("mov_mag_97_testo.mdb")));
    QTest::newRow("plain text file") << int(BytesFile)
                                     << readBytes(dataPath(QStringLiteral("non_access.mdb")))
                                     << QStringLiteral("non è un archivio Access");
    QTest::newRow("empty file") << int(BytesFile) << QByteArray()
                                << QStringLiteral("non è un archivio Access");
    QTest::newRow("SQLite archive") << int(BytesFile) << QByteArray("SQLite format 3\0 and more bytes", 32)
                                    << QStringLiteral("è già un archivio SQLite");
    QTest::newRow("truncated inside a page")
        << int(BytesFile) << readBytes(dataPath(QStringLiteral("troncato.mdb")))
        << QStringLiteral("troncato");
    QTest::newRow("truncated to the header page")
        << int(BytesFile) << testo.left(kJet3Page) << QStringLiteral("troncato");
    QTest::newRow("truncated at a page boundary, rows lost")
        << int(BytesFile) << testo.left(6 * kJet3Page)
        << QStringLiteral("trovate 43 righe, ma la tabella ne dichiara 60");
    QTest::newRow("unknown Jet version") << int(BytesFile) << QByteArray(testo).replace(0x14, 1, "\x09")
                                         << QStringLiteral("versione Jet sconosciuta");
    QTest::newRow("no MOV_MAG") << int(BytesFile) << readBytes(dataPath(QStringLiteral("senza_mov_mag.mdb")))
                                << QStringLiteral("non contiene la tabella MOV_MAG");
    QTest::newRow("column ORA_FINE_3 missing") << int(BytesFile) << patchedFixture("ORA_FINE_3", "ORA_FINE_9")
                                               << QStringLiteral("manca la colonna ORA_FINE_3");
    QTest::newRow("column NOTE missing")
        << int(BytesFile) << patchedFixture("NOTE", "NOTA") << QStringLiteral("manca la colonna NOTE");
    QTest::newRow("duplicate NUM_MOV names both rows")
        << int(BytesFile) << patchedFixture(kRowOfNumber2, kRowOfNumber1)
        << QStringLiteral("NUM_MOV 1 compare due volte: nella riga 1 e nella riga 2 di MOV_MAG");
    QTest::newRow("null NUM_MOV names the row")
        << int(BytesFile) << fixtureWithNullNumber()
        << QStringLiteral("la riga 1 di MOV_MAG (giorno 1/1/1998) non ha NUM_MOV");
    QTest::newRow("row skipped by the reader")
        << int(BytesFile) << fixtureWithHiddenRow()
        << QStringLiteral("trovate 59 righe, ma la tabella ne dichiara 60");
    QTest::newRow("damage that crashes the reader")
        << int(BytesFile) << fixtureThatCrashesTheReader() << QStringLiteral("si è interrotta");
    QTest::newRow("missing file") << int(MissingFile) << QByteArray() << QStringLiteral("non esiste");
    QTest::newRow("folder") << int(Folder) << QByteArray() << QStringLiteral("è una cartella");
}

void tst_AccessImport::refusedSourceLeavesNothing()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, because);
    QTemporaryDir sourceDir;
    QTemporaryDir targetDir;
    const QString source = sourceDir.filePath(QStringLiteral("VECCHIO.mdb"));
    if (kind == BytesFile)
        QVERIFY(writeBytes(source, bytes));
    else if (kind == Folder)
        QVERIFY(QDir().mkdir(source));
    const QString destination = targetDir.filePath(QStringLiteral("ZELVARO_97.mdb"));

    const ImportOutcome outcome = importAccessArchive(source, destination);
    QVERIFY(!outcome.ok);
    QVERIFY2(outcome.error.contains(because), qPrintable(outcome.error));
    QCOMPARE(folderEntries(targetDir.path()), QStringList());
    if (kind == BytesFile)
        QCOMPARE(readBytes(source), bytes);
}

void tst_AccessImport::existingDestinationUntouched_data()
{
    QTest::addColumn<QString>("existing");
    QTest::newRow("file") << QStringLiteral("file");
    QTest::newRow("empty file") << QStringLiteral("empty");
    QTest::newRow("folder") << QStringLiteral("folder");
    QTest::newRow("link to a missing file") << QStringLiteral("dangling link");
}

void tst_AccessImport::existingDestinationUntouched()
{
    QFETCH(QString, existing);
    QTemporaryDir dir;
    const QString destination = dir.filePath(QStringLiteral("ZELVARO_97.mdb"));
    const QByteArray content("ore di prima\r\n");
    if (existing == QLatin1String("file"))
        QVERIFY(writeBytes(destination, content));
    else if (existing == QLatin1String("empty"))
        QVERIFY(writeBytes(destination, QByteArray()));
    else if (existing == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(destination));
    else
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("altrove.mdb")), destination));
    const QDateTime modified = QFileInfo(destination).lastModified();
    const QStringList before = folderEntries(dir.path());

    const ImportOutcome outcome =
        importAccessArchive(dataPath(QStringLiteral("mov_mag_97_testo.mdb")), destination);
    QVERIFY(!outcome.ok);
    QVERIFY2(outcome.error.contains(QStringLiteral("esiste già")), qPrintable(outcome.error));
    QCOMPARE(folderEntries(dir.path()), before);
    QCOMPARE(QFileInfo(destination).lastModified(), modified);
    if (existing == QLatin1String("file"))
        QCOMPARE(readBytes(destination), content);
    if (existing == QLatin1String("dangling link"))
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("altrove.mdb"))));
}

void tst_AccessImport::missingDestinationFolder()
{
    QTemporaryDir dir;
    const QString destination = dir.filePath(QStringLiteral("manca/ZELVARO_97.mdb"));
    const ImportOutcome outcome =
        importAccessArchive(dataPath(QStringLiteral("mov_mag_97_testo.mdb")), destination);
    QVERIFY(!outcome.ok);
    QVERIFY2(outcome.error.contains(QStringLiteral("non esiste")), qPrintable(outcome.error));
    QCOMPARE(folderEntries(dir.path()), QStringList());
}

void tst_AccessImport::damagedFileNeverBreaksTheImport_data()
{
    QTest::addColumn<QByteArray>("bytes");
    // Whole stretches of the small fixture overwritten: catalog, table definition, data pages.
    for (qsizetype start : {2 * kJet3Page, 3 * kJet3Page + 100, 4 * kJet3Page, 4 * kJet3Page + 700,
                            5 * kJet3Page, 5 * kJet3Page + 1000, 6 * kJet3Page + 1500}) {
        const QByteArray name = "200 bytes overwritten at " + QByteArray::number(start);
        QTest::newRow(name.constData()) << fixtureOverwritten(start, 200, 'A');
    }
    QTest::newRow("every page header zeroed") << [] {
        QByteArray bytes = readBytes(dataPath(QStringLiteral("mov_mag_97_testo.mdb")));
        for (qsizetype page = kJet3Page; page < bytes.size(); page += kJet3Page)
            bytes.replace(page, 16, QByteArray(16, '\0'));
        return bytes;
    }();
}

// A damaged file may be refused or read as far as it goes, but the import ends with an answer, and
// what it leaves is either nothing or an archive the program opens.
void tst_AccessImport::damagedFileNeverBreaksTheImport()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("danneggiato.mdb"));
    QVERIFY(writeBytes(source, bytes));
    const QString destination = dir.filePath(QStringLiteral("ZELVARO_97.mdb"));

    const ImportOutcome outcome = importAccessArchive(source, destination);
    if (!outcome.ok) {
        QVERIFY(!outcome.error.isEmpty());
        QCOMPARE(folderEntries(dir.path()), QStringList{QStringLiteral("danneggiato.mdb")});
        return;
    }
    ArchiveError error;
    QVERIFY2(Archive::open(destination, &error), qPrintable(error.text));
    QCOMPARE(qint64(storedRows(destination).size()), outcome.rows);
}

QTEST_GUILESS_MAIN(tst_AccessImport)
#include "tst_accessimport.moc"
