#include "ArchiveCheck.h"
#include "KnownArchive.h"

#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace zelvaro;
using namespace zelvaro::test;

namespace {

// Runs SQL on a new SQLite file made by hand (not through the program's archive code).
bool makeDatabase(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    bool ok = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK;
    ok = ok && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

const char kHandMadeTable[] = "CREATE TABLE MOV_MAG (NUM_MOV INTEGER, ANNO TEXT, MESE TEXT, GIORNO TEXT, "
                              "ORA_INIZIO_1 TEXT, ORA_FINE_1 TEXT, ORA_INIZIO_2 TEXT, ORA_FINE_2 TEXT, "
                              "ORA_INIZIO_3 TEXT, ORA_FINE_3 TEXT, NOTE TEXT);";

// An archive of many pages whose middle page has its first bytes overwritten.
QByteArray corruptedArchive(const TempArchive &a)
{
    QString sql = QStringLiteral("BEGIN;");
    for (int n = 1; n <= 3000; ++n)
        sql += QStringLiteral("INSERT INTO MOV_MAG VALUES (%1,'2004','3','5','8.30','12.30','14','18','','',"
                              "'una nota abbastanza lunga da riempire molte pagine');")
                   .arg(n);
    a.exec(sql + QStringLiteral("COMMIT;"));
    QByteArray bytes = readBytes(a.path());
    const qsizetype pageSize = 4096;
    const qsizetype middle = bytes.size() / 2 / pageSize * pageSize;
    for (qsizetype i = middle; i < middle + 64; ++i)
        bytes[i] = char(0xA5);
    return bytes;
}

} // namespace

class tst_ArchiveCheck : public QObject
{
    Q_OBJECT

private slots:
    void soundArchive();
    void refusedRowsAreListed_data();
    void refusedRowsAreListed();
    void unsoundFiles_data();
    void unsoundFiles();
    void reportLinesSayTheVerdict();
};

void tst_ArchiveCheck::soundArchive()
{
    TempArchive archive;
    fillKnownArchive(archive);
    const QByteArray before = readBytes(archive.path());
    const CheckReport report = checkArchive(archive.path());
    QVERIFY2(report.sound, qPrintable(report.problems.join(QLatin1Char('\n'))));
    QCOMPARE(report.integrity, QStringLiteral("ok"));
    QCOMPARE(report.structure, QStringLiteral("ok"));
    QCOMPARE(report.rows, qint64(10));
    QCOMPARE(report.listed, qint64(8));
    // The two unlisted rows first, then the records whose period 1 has no start.
    QCOMPARE(report.refused.size(), 4);
    QCOMPARE(report.refused.at(0).numero, QStringLiteral("-4"));
    QCOMPARE(report.refused.at(1).numero, QStringLiteral("0"));
    QCOMPARE(report.refused.at(2).numero, QStringLiteral("7"));
    QCOMPARE(report.refused.at(2).date, QStringLiteral("3/3/2004"));
    QCOMPARE(report.refused.at(2).reason, QStringLiteral("Indicare l'ora di inizio 1.Periodo !!!"));
    QCOMPARE(report.refused.at(3).numero, QStringLiteral("30"));
    QCOMPARE(report.refused.at(3).date, QStringLiteral("//"));
    QCOMPARE(readBytes(archive.path()), before); // checking never writes
}

void tst_ArchiveCheck::refusedRowsAreListed_data()
{
    QTest::addColumn<qint64>("number");
    QTest::addColumn<QStringList>("times");
    QTest::addColumn<QString>("reason");
    QTest::newRow("complete day accepted")
        << qint64(4) << QStringList{"8", "12", "14", "18", "19", "20"} << QString();
    QTest::newRow("period 3 without period 2 accepted")
        << qint64(4) << QStringList{"8", "12", "", "", "19", "20"} << QString();
    QTest::newRow("period 1 without start")
        << qint64(4) << QStringList{"", "12"} << QStringLiteral("Indicare l'ora di inizio 1.Periodo !!!");
    QTest::newRow("period 1 starting at midnight")
        << qint64(4) << QStringList{"0.00", "12"} << QStringLiteral("Indicare l'ora di inizio 1.Periodo !!!");
    QTest::newRow("period 1 without end") << qint64(4) << QStringList{"8.30", "ferie"}
                                          << QStringLiteral("Indicare l'ora di fine 1.Periodo !!!");
    QTest::newRow("period 2 end only") << qint64(4) << QStringList{"8", "12", "", "18"}
                                       << QStringLiteral("Indicare l'ora di inizio 2.Periodo !!!");
    QTest::newRow("period 2 start only") << qint64(4) << QStringList{"8", "12", "14", ""}
                                         << QStringLiteral("Indicare l'ora di fine 2.Periodo !!!");
    QTest::newRow("period 3 end only") << qint64(4) << QStringList{"8", "12", "", "", "", "20"}
                                       << QStringLiteral("Indicare l'ora di inizio 3.Periodo !!!");
    QTest::newRow("period 3 start only") << qint64(4) << QStringList{"8", "12", "", "", "19", "0"}
                                         << QStringLiteral("Indicare l'ora di fine 3.Periodo !!!");
    QTest::newRow("number 0") << qint64(0) << QStringList{"8", "12"}
                              << QStringLiteral("NUM_MOV non maggiore di 0: la finestra non mostra la riga");
    QTest::newRow("negative number") << qint64(-7) << QStringList{"8", "12"}
                                     << QStringLiteral(
                                            "NUM_MOV non maggiore di 0: la finestra non mostra la riga");
}

// A refused row is a warning: the file stays sound.
void tst_ArchiveCheck::refusedRowsAreListed()
{
    QFETCH(qint64, number);
    QFETCH(QStringList, times);
    QFETCH(QString, reason);
    TempArchive archive;
    archive.insert(1, QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("2004"),
                   {QStringLiteral("8"), QStringLiteral("12")});
    QList<QString> values(times.begin(), times.end());
    while (values.size() < 6)
        values.append(QString());
    archive.insert(number, QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("2004"),
                   {values[0], values[1], values[2], values[3], values[4], values[5]});

    const CheckReport report = checkArchive(archive.path());
    QVERIFY2(report.sound, qPrintable(report.problems.join(QLatin1Char('\n'))));
    QCOMPARE(report.rows, qint64(2));
    if (reason.isEmpty()) {
        QCOMPARE(report.refused.size(), 0);
        return;
    }
    QCOMPARE(report.refused.size(), 1);
    QCOMPARE(report.refused.first().numero, QString::number(number));
    QCOMPARE(report.refused.first().date, QStringLiteral("2/3/2004"));
    QCOMPARE(report.refused.first().reason, reason);
}

void tst_ArchiveCheck::unsoundFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("problem");
    QTest::newRow("plain text file") << "text"
                                     << "non è un archivio SQLite";
    QTest::newRow("empty file") << "empty"
                                << "non è un archivio SQLite";
    QTest::newRow("Access file") << "access"
                                 << "zelvaro-archivio importa";
    QTest::newRow("missing file") << "missing"
                                  << "il file non esiste";
    QTest::newRow("folder") << "folder"
                            << "cartella";
    QTest::newRow("bytes overwritten in the middle")
        << "corrupted"
        << "il controllo di integrità di SQLite ha trovato danni";
    QTest::newRow("SQLite file without MOV_MAG") << "no table"
                                                 << "MOV_MAG";
    QTest::newRow("MOV_MAG without NOTE") << "no column"
                                          << "manca la colonna NOTE";
    QTest::newRow("NUM_MOV repeated") << "repeated"
                                      << "NUM_MOV 5 compare 2 volte";
    QTest::newRow("NUM_MOV null") << "null"
                                  << "una riga non ha NUM_MOV";
    QTest::newRow("NUM_MOV not a whole number") << "text number"
                                                << "NUM_MOV \"5a\" non è un numero intero";
}

void tst_ArchiveCheck::unsoundFiles()
{
    QFETCH(QString, kind);
    QFETCH(QString, problem);
    TempArchive archive; // its folder holds every file made here
    const QString path = archive.folder() + QStringLiteral("/VERIFICA.mdb");
    if (kind == QLatin1String("text")) {
        QVERIFY(writeBytes(path, readBytes(dataPath(QStringLiteral("non_access.mdb")))));
    } else if (kind == QLatin1String("empty")) {
        QVERIFY(writeBytes(path, QByteArray()));
    } else if (kind == QLatin1String("access")) {
        QVERIFY(writeBytes(path, readBytes(dataPath(QStringLiteral("mov_mag_97_testo.mdb")))));
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkdir(path));
    } else if (kind == QLatin1String("corrupted")) {
        QVERIFY(writeBytes(path, corruptedArchive(archive)));
    } else if (kind == QLatin1String("no table")) {
        QVERIFY(makeDatabase(path, "CREATE TABLE ALTRA (X TEXT);"));
    } else if (kind == QLatin1String("no column")) {
        QVERIFY(makeDatabase(path, "CREATE TABLE MOV_MAG (NUM_MOV INTEGER PRIMARY KEY, ANNO TEXT, MESE TEXT, "
                                   "GIORNO TEXT, ORA_INIZIO_1 TEXT, ORA_FINE_1 TEXT, ORA_INIZIO_2 TEXT, "
                                   "ORA_FINE_2 TEXT, ORA_INIZIO_3 TEXT, ORA_FINE_3 TEXT);"));
    } else if (kind == QLatin1String("repeated")) {
        QVERIFY(
            makeDatabase(path, (QByteArray(kHandMadeTable) + "INSERT INTO MOV_MAG (NUM_MOV, ORA_INIZIO_1) "
                                                             "VALUES (5, '8'), (5, '9'), (6, '8');")
                                   .constData()));
    } else if (kind == QLatin1String("null")) {
        QVERIFY(makeDatabase(path, (QByteArray(kHandMadeTable) +
                                    "INSERT INTO MOV_MAG (NUM_MOV, ORA_INIZIO_1) VALUES (NULL, '8');")
                                       .constData()));
    } else if (kind == QLatin1String("text number")) {
        QVERIFY(makeDatabase(path, (QByteArray(kHandMadeTable) +
                                    "INSERT INTO MOV_MAG (NUM_MOV, ORA_INIZIO_1) VALUES ('5a', '8');")
                                       .constData()));
    }
    const QByteArray before = readBytes(path);

    const CheckReport report = checkArchive(path);
    QVERIFY(!report.sound);
    QVERIFY2(report.problems.join(QLatin1Char('\n')).contains(problem),
             qPrintable(report.problems.join(QLatin1Char('\n'))));
    QCOMPARE(readBytes(path), before);
}

void tst_ArchiveCheck::reportLinesSayTheVerdict()
{
    TempArchive archive;
    fillKnownArchive(archive);
    const QStringList sound = reportLines(archive.path(), checkArchive(archive.path()));
    QCOMPARE(sound.last(), QStringLiteral("L'archivio è integro."));
    QVERIFY(sound.contains(
        QStringLiteral("Righe: 10, di cui 8 elencate dalla finestra (NUM_MOV maggiore di 0)")));
    QVERIFY(
        sound.contains(QStringLiteral("  NUM_MOV 7 del 3/3/2004: Indicare l'ora di inizio 1.Periodo !!!")));

    const QString missing = archive.folder() + QStringLiteral("/manca.mdb");
    const QStringList unsound = reportLines(missing, checkArchive(missing));
    QCOMPARE(unsound.last(), QStringLiteral("L'archivio NON è integro."));
    QVERIFY(unsound.contains(QStringLiteral("Problema: il file non esiste")));
}

QTEST_GUILESS_MAIN(tst_ArchiveCheck)
#include "tst_archivecheck.moc"
