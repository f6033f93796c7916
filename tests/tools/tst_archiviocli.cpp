#include "Archive.h"
#include "ArchivioCommands.h"
#include "FaultVfs.h"
#include "TempArchive.h"
#include "ToolsTestData.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sqlite3.h>

#include <algorithm>
#include <csignal>

using namespace zelvaro;
using namespace zelvaro::test;

namespace {

struct Run
{
    int status = -1;
    QByteArray bytes; // standard output
    QString out, err;
};

// Runs the built program in `folder`, as a user would.
Run runTool(const QStringList &arguments, const QString &folder = QDir::tempPath())
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(ZELVARO_ARCHIVIO_PROGRAM), arguments);
    Run run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.bytes = process.readAllStandardOutput();
    run.out = QString::fromUtf8(run.bytes);
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QByteArray describe(const Run &run)
{
    return "status " + QByteArray::number(run.status) + "\nstdout: " + run.out.toUtf8() +
           "\nstderr: " + run.err.toUtf8();
}

// The archive whose export tests/data/esporta_atteso.csv holds, worked out by hand: rows out of
// number order, borrow, carry, an end before its start, periods 1 and 3 without 2, a period 1
// without its start, texts needing quotes, an all-null row, two rows the window never lists.
void fillKnownArchive(const TempArchive &a)
{
    const QString none;
    const QString blank = QStringLiteral(""); // the empty text, not null
    a.insert(12, "5", "3", "2004", {"8.30", "8.15", "9", "9.45", "10", "11"});
    a.insert(3, "1", "3", "2004", {"8.30", "12.45", "14.00", "17.50", none, none}, "nota; non esportata");
    a.insert(0, "1", "1", "2004", {"8", "12"});
    a.insert(-4, "2", "1", "2004", {"8", "18"});
    a.insert(5, "2", "3", "2004", {" 8.45 ", "12.30", blank, blank, "8", "12.75"});
    a.insert(7, "3", "3", "2004", {blank, "12", "14", "18"});
    a.insert(8, "4", "3", "2004", {"22.00", "2.00"});
    a.insert(20, "6", "3", "20;04", {"7.15", "8.00"});
    a.insert(21, "7\r\nbis", "\"3\"", "2004", {"8,30", "12"});
    a.insert(30, none, none, none, {});
}

// How many rows the program lists from the archive, and how many of them `whole` accepts.
std::pair<int, int> listedRows(const QString &path,
                               const std::function<bool(const HoursRecord &)> &whole = {})
{
    ArchiveError error;
    const std::unique_ptr<Archive> archive = Archive::open(path, &error, Archive::OpenMode::ReadOnly);
    int all = 0, accepted = 0;
    if (archive &&
        !archive->forEachListed([&](const HoursRecord &r) { ++all, accepted += whole && whole(r); }))
        return {all, accepted};
    return {-1, -1};
}

void sqlFile(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    QCOMPARE(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

// Every entry of a folder with its bytes (a link shows through its target).
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    for (const QString &name : folderEntries(folder))
        files.insert(name, readBytes(folder + QLatin1Char('/') + name));
    return files;
}

// The small text fixture with one byte changed.
QByteArray testoWith(qsizetype at, char value)
{
    QByteArray bytes = readBytes(dataPath(QStringLiteral("mov_mag_97_testo.mdb")));
    bytes[at] = value;
    return bytes;
}

} // namespace

class tst_ArchivioCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { FaultVfs::install(); }
    void failureOrReportTouchesNothing_data();
    void failureOrReportTouchesNothing();
    void successMakesAnArchive_data();
    void successMakesAnArchive();
    void esporta();
    void riparaReadsAroundDamage_data();
    void riparaReadsAroundDamage();
    void faultAtEveryStep_data();
    void faultAtEveryStep();
    void interruptedImportLeavesNothing_data();
    void interruptedImportLeavesNothing();
};

void tst_ArchivioCli::failureOrReportTouchesNothing_data()
{
    QTest::addColumn<QStringList>("args");  // @NAME: a file of the test folder, :NAME: of tests/data
    QTest::addColumn<QByteArray>("source"); // written to @VECCHIO.mdb when not null
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text"); // in standard output on success, else in standard error

    const QByteArray none;
    QTest::newRow("help") << QStringList{"--help"} << none << 0 << "Uso: zelvaro-archivio COMANDO";
    QTest::newRow("help after a command's arguments")
        << QStringList{"importa", "a.mdb", "--help"} << none << 0
        << "Uso: zelvaro-archivio importa [--avanzamento] ORIGINE.mdb DESTINAZIONE";
    QTest::newRow("no command") << QStringList{} << none << 2 << "Uso: zelvaro-archivio COMANDO";
    QTest::newRow("unknown command") << QStringList{"converti", "a.mdb"} << none << 2
                                     << "comando sconosciuto \"converti\"";
    QTest::newRow("argument missing")
        << QStringList{"importa", "a.mdb"} << none << 2 << "argomenti mancanti per \"importa\"";
    QTest::newRow("argument too many")
        << QStringList{"crea", "a.mdb", "b.mdb"} << none << 2 << "troppi argomenti per \"crea\"";

    QTest::newRow("crea: existing file")
        << QStringList{"crea", "@ESISTENTE.txt"} << none << 1 << "esiste già un file con questo nome";
    QTest::newRow("crea: existing archive")
        << QStringList{"crea", "@ZELVARO_97.mdb"} << none << 1 << "esiste già un file con questo nome";

    QTest::newRow("verifica: sound, rows \"Conferma\" refuses listed")
        << QStringList{"verifica", "@ZELVARO_97.mdb"} << none << 0
        << "Righe che \"Conferma\" rifiuterebbe così come sono: 4\n"
           "  NUM_MOV -4 del 2/1/2004: NUM_MOV non maggiore di 0: la finestra non mostra la riga\n"
           "  NUM_MOV 0 del 1/1/2004: NUM_MOV non maggiore di 0: la finestra non mostra la riga\n"
           "  NUM_MOV 7 del 3/3/2004: Indicare l'ora di inizio 1.Periodo !!!\n"
           "  NUM_MOV 30 del //: Indicare l'ora di inizio 1.Periodo !!!\n"
           "L'archivio è integro.\n";
    QTest::newRow("verifica: foreign file")
        << QStringList{"verifica", ":non_access.mdb"} << none << 1 << "non è un archivio SQLite";
    QTest::newRow("verifica: Access file") << QStringList{"verifica", ":mov_mag_97_testo.mdb"} << none << 1
                                           << "va convertito con \"zelvaro-archivio importa\"";
    QTest::newRow("verifica: bytes overwritten") << QStringList{"verifica", "@CORROTTO.mdb"} << none << 1
                                                 << "il controllo di integrità di SQLite ha trovato danni";
    QTest::newRow("verifica: NUM_MOV repeated")
        << QStringList{"verifica", "@A_MANO.mdb"} << none << 1 << "NUM_MOV 5 compare 2 volte";
    QTest::newRow("verifica: NUM_MOV null")
        << QStringList{"verifica", "@A_MANO.mdb"} << none << 1 << "una riga non ha NUM_MOV";
    QTest::newRow("verifica: NUM_MOV not whole")
        << QStringList{"verifica", "@A_MANO.mdb"} << none << 1 << "NUM_MOV \"5a\" non è un numero intero";
    QTest::newRow("verifica: bytes after the last page")
        << QStringList{"verifica", "@CODA.mdb"} << none << 1
        << "lungo 8196 byte, ma le sue 2 pagine da 4096 byte ne occupano 8192: dopo l'ultima pagina";

    QTest::newRow("copia: existing destination") << QStringList{"copia", "@ZELVARO_97.mdb", "@ESISTENTE.txt"}
                                                 << none << 1 << "esiste già e non viene toccata";
    QTest::newRow("copia: damaged archive")
        << QStringList{"copia", "@CORROTTO.mdb", "@NUOVO.mdb"} << none << 1
        << "danneggiato: controllarlo con \"zelvaro-archivio verifica\"";
    QTest::newRow("ripara: existing destination") << QStringList{"ripara", "@CORROTTO.mdb", "@ESISTENTE.txt"}
                                                  << none << 1 << "esiste già e non viene toccata";
    QTest::newRow("ripara: Access file")
        << QStringList{"ripara", ":mov_mag_97_testo.mdb", "@NUOVO.mdb"} << none << 1
        << "va portato in un archivio nuovo con \"zelvaro-archivio importa\"";

    QTest::newRow("esporta: onto its own archive")
        << QStringList{"esporta", "@ZELVARO_97.mdb", "@ZELVARO_97.mdb"} << none << 1
        << "è un archivio: non viene sovrascritto";
    QTest::newRow("esporta: onto an Access file")
        << QStringList{"esporta", "@ZELVARO_97.mdb", "@VECCHIO.mdb"}
        << readBytes(dataPath("mov_mag_97_testo.mdb")) << 1 << "è un archivio: non viene sovrascritto";

    // Worked by hand: March 2004 has days 1, 2, 4 and 5 (485, 540, -1200 and 90 minutes, week 10 from
    // Monday 1 March) and day 3 incomplete; "20;04" and "7\r\nbis" make no date (45 and 240 minutes),
    // nor does the all-null row, incomplete.
    QTest::newRow("riepilogo: by month")
        << QStringList{"riepilogo", "@ZELVARO_97.mdb"} << none << 0
        << "Mese;Giorni;Incompleti;Minuti;Ore;Ore decimali\r\n2004;3;4;1;-85;'-1 h "
           "/ -25 Min.;-1,42\r\nData non valida;;2;1;285;4 h / 45 Min.;4,75\r\n"
           "Totale;;6;2;200;3 h / 20 Min.;3,33\r\n";
    QTest::newRow("riepilogo: by week")
        << QStringList{"riepilogo", "@ZELVARO_97.mdb", "--settimane"} << none << 0
        << "Ore decimali\r\n2004;10;01/03/2004;07/03/2004;4;1;-85;'-1 h / -25 Min.;"
           "-1,42\r\nData non valida;;;;2;1;285";
    QTest::newRow("riepilogo: onto its own archive")
        << QStringList{"riepilogo", "--settimane", "@ZELVARO_97.mdb", "@ZELVARO_97.mdb"} << none << 1
        << "è un archivio: non viene sovrascritto";
    QTest::newRow("riepilogo: argument too many")
        << QStringList{"riepilogo", "@ZELVARO_97.mdb", "a.csv", "b.csv"} << none << 2 << "troppi argomenti";

    const QStringList testo{"importa", ":mov_mag_97_testo.mdb"};
    QTest::newRow("importa: existing destination")
        << testo + QStringList{"@ESISTENTE.txt"} << none << 1 << "esiste già e non viene toccata";
    QTest::newRow("importa: destination a link to a missing file")
        << testo + QStringList{"@collegamento.mdb"} << none << 1 << "esiste già e non viene toccata";

    const QStringList importa{"importa", "@VECCHIO.mdb", "@NUOVO.mdb"};
    const QByteArray fixture = readBytes(dataPath("mov_mag_97_testo.mdb"));
    const qsizetype page = fixture.indexOf(rowStart(1)) / kJet3Page * kJet3Page; // of NUM_MOV 1
    QTest::newRow("importa: missing source") << importa << none << 1 << "non esiste";
    QTest::newRow("importa: plain text")
        << importa << readBytes(dataPath("non_access.mdb")) << 1 << "non è un archivio Access";
    QTest::newRow("importa: SQLite archive")
        << QStringList{"importa", "@ZELVARO_97.mdb", "@NUOVO.mdb"} << none << 1 << "è già un archivio SQLite";
    QTest::newRow("importa: truncated inside a page")
        << importa << readBytes(dataPath("troncato.mdb")) << 1 << "troncato";
    QTest::newRow("importa: truncated at a page end, rows lost")
        << importa << fixture.left(6 * kJet3Page) << 1 << "trovate 43 righe, ma la tabella ne dichiara 60";
    QTest::newRow("importa: no MOV_MAG")
        << importa << readBytes(dataPath("senza_mov_mag.mdb")) << 1 << "non contiene la tabella MOV_MAG";
    QTest::newRow("importa: column missing")
        << importa << QByteArray(fixture).replace("ORA_FINE_3", "ORA_FINE_9") << 1
        << "manca la colonna ORA_FINE_3";
    QTest::newRow("importa: NUM_MOV repeated")
        << importa << QByteArray(fixture).replace(rowStart(2), rowStart(1)) << 1
        << "NUM_MOV 1 compare due volte: nella riga 1 e nella riga 2 di MOV_MAG";
    // Bit 0 of the null mask at the end of the row (and of its page): NUM_MOV has a value.
    QTest::newRow("importa: NUM_MOV null") << importa << testoWith(page + kJet3Page - 2, '\xfe') << 1
                                           << "la riga 1 di MOV_MAG (giorno 1/1/1998) non ha NUM_MOV";
    // The page's first row-table entry flagged deleted: libmdb passes over the row without a word.
    QTest::newRow("importa: row passed over by the reader")
        << importa << testoWith(page + 11, char(fixture.at(page + 11) | 0x40)) << 1
        << "trovate 59 righe, ma la tabella ne dichiara 60";
    // One byte of MOV_MAG's definition that makes libmdb read beyond its buffers and crash.
    QTest::newRow("importa: damage that crashes the reader")
        << importa << testoWith(4 * kJet3Page + 35, '\xa4') << 1 << "si è interrotta";
}

// A failure changes no file and leaves none behind, nor does a report or a help.
void tst_ArchivioCli::failureOrReportTouchesNothing()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, source);
    QFETCH(int, status);
    QFETCH(QString, text);
    TempArchive archive;
    fillKnownArchive(archive);
    const QString folder = archive.folder();
    const auto at = [&](const QString &name) { return folder + QLatin1Char('/') + name; };
    QVERIFY(writeBytes(at("ESISTENTE.txt"), "da non toccare"));
    QVERIFY(QFile::link(at("altrove.mdb"), at("collegamento.mdb")));
    QByteArray corrupted = readBytes(archive.path());
    QCOMPARE(corrupted.size(), 8192); // the schema page, then MOV_MAG's page
    QVERIFY(writeBytes(at("CODA.mdb"), corrupted + "coda"));
    QVERIFY(writeBytes(at("CORROTTO.mdb"), corrupted.replace(4096, 16, QByteArray(16, '\x7f'))));
    sqlFile(at("A_MANO.mdb"), "CREATE TABLE MOV_MAG (NUM_MOV INTEGER, ANNO TEXT, MESE TEXT, GIORNO TEXT, "
                              "ORA_INIZIO_1 TEXT, ORA_FINE_1 TEXT, ORA_INIZIO_2 TEXT, ORA_FINE_2 TEXT, "
                              "ORA_INIZIO_3 TEXT, ORA_FINE_3 TEXT, NOTE TEXT);"
                              "INSERT INTO MOV_MAG (NUM_MOV) VALUES (5), (5), (NULL), ('5a'), (6);");
    if (!source.isNull())
        QVERIFY(writeBytes(at("VECCHIO.mdb"), source));
    for (QString &arg : args)
        arg = arg.startsWith('@') ? at(arg.mid(1)) : arg.startsWith(':') ? dataPath(arg.mid(1)) : arg;
    if (!ZELVARO_IMPORT && args.value(0) == QLatin1String("importa") && status == 1)
        text = QStringLiteral("non è disponibile");
    const QMap<QString, QByteArray> before = snapshot(folder);

    const Run run = runTool(args, folder);
    QVERIFY2(run.status == status, describe(run));
    QVERIFY2((status == 0 ? run.out : run.err).contains(text), describe(run));
    QCOMPARE(snapshot(folder).keys(), before.keys());
    QVERIFY(snapshot(folder) == before);
}

void tst_ArchivioCli::successMakesAnArchive_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<int>("rows");
    QTest::newRow("crea") << QStringList{"crea"} << "^Creato l'archivio vuoto «.*/NUOVO\\.mdb»\\n$" << 0;
    QTest::newRow("importa") << QStringList{"importa", dataPath("mov_mag_97_testo.mdb")}
                             << "^Importate 60 righe da «.*/mov_mag_97_testo\\.mdb» in «.*/NUOVO\\.mdb» "
                                "in \\d+,\\d\\d s\\n$"
                             << 60;
    QTest::newRow("copia")
        << QStringList{"copia", "@SORGENTE"}
        << "^Copiato l'archivio «.*/ZELVARO_97\\.mdb» in «.*/NUOVO\\.mdb» in \\d+,\\d\\d s\\n$" << 8;
}

void tst_ArchivioCli::successMakesAnArchive()
{
    QFETCH(QStringList, args);
    QFETCH(QString, summary);
    QFETCH(int, rows);
    if (!ZELVARO_IMPORT && args.first() == QLatin1String("importa"))
        QSKIP("built without libmdb");
    TempArchive source;
    fillKnownArchive(source);
    args.replaceInStrings(QStringLiteral("@SORGENTE"), source.path());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("NUOVO.mdb"));
    const Run run = runTool(args << path);
    QVERIFY2(run.status == 0 && run.err.isEmpty(), describe(run));
    QVERIFY2(QRegularExpression(summary).match(run.out).hasMatch(), describe(run));
    QCOMPARE(folderEntries(dir.path()), QStringList{QStringLiteral("NUOVO.mdb")});
    ArchiveError error;
    const std::unique_ptr<Archive> archive = Archive::open(path, &error);
    QVERIFY2(archive, qPrintable(error.text));
    int listed = 0;
    QVERIFY(!archive->forEachListed([&](const HoursRecord &) { ++listed; }));
    QCOMPARE(listed, rows);
}

void tst_ArchivioCli::esporta()
{
    TempArchive archive;
    fillKnownArchive(archive);
    const QByteArray expected = readBytes(dataPath(QStringLiteral("esporta_atteso.csv")));
    QVERIFY(!expected.isEmpty());
    const Run toStdout = runTool({QStringLiteral("esporta"), archive.path()});
    QVERIFY2(toStdout.status == 0 && toStdout.err.isEmpty(), describe(toStdout));
    QCOMPARE(toStdout.bytes, expected);

    const QString csv = archive.folder() + QStringLiteral("/ore.csv");
    QVERIFY(writeBytes(csv, "un'esportazione di prima")); // replaced whole
    const Run toFile = runTool({QStringLiteral("esporta"), archive.path(), csv});
    QVERIFY2(toFile.status == 0, describe(toFile));
    QCOMPARE(toFile.out, QStringLiteral("Esportati 8 movimenti in «") + csv + QStringLiteral("»\n"));
    QCOMPARE(readBytes(csv), expected);

    const QList<QStringList> table = readCsv(readBytes(csv), ';');
    QCOMPARE(table.size(), 1 + 8);
    QStringList numbers;
    for (const QStringList &record : table) {
        QCOMPARE(record.size(), 16);
        numbers.append(record.first());
    }
    QCOMPARE(numbers, QStringList({"Numero", "3", "5", "7", "8", "12", "20", "21", "30"}));
    QCOMPARE(table.at(6).at(3), QStringLiteral("20;04"));
    QCOMPARE(table.at(7).at(1), QStringLiteral("7\r\nbis"));
    QCOMPARE(table.at(7).at(2), QStringLiteral("\"3\""));

    archive.insert(40, "lunedì €", "3", "2004", {"8", "9"});
    archive.insert(41, "=1+1", "+3", "@A1", {"\t8", "-9"}); // a formula for a spreadsheet, but plain numbers
    const Run accents = runTool({QStringLiteral("esporta"), archive.path()});
    QVERIFY2(accents.bytes.contains("\r\n40;luned\xC3\xAC \xE2\x82\xAC;3;2004;8;9;;;;;1 h / 0 Min.;") &&
                 accents.bytes.contains("\r\n41;'=1+1;+3;'@A1;'\t8;-9;"),
             describe(accents));
}

void tst_ArchivioCli::riparaReadsAroundDamage_data()
{
    QTest::addColumn<int>("marker");     // the row whose page is damaged; 0: the table's root page
    QTest::addColumn<int>("pages");      // how many pages from there
    QTest::addColumn<bool>("numMovKey"); // NUM_MOV INTEGER PRIMARY KEY, else a plain column
    QTest::addColumn<QString>("unread"); // %1 and %2: the first and last number on the damaged pages
    QTest::newRow("a page in the middle") << 1000 << 1 << true << "NUM_MOV da %1 a %2";
    QTest::newRow("two neighbouring pages") << 1000 << 2 << true << "NUM_MOV da %1 a %2";
    QTest::newRow("the first page") << 1 << 1 << true << "NUM_MOV fino a %2";
    QTest::newRow("the last page") << 2000 << 1 << true << "NUM_MOV da %1 in poi";
    QTest::newRow("the table's root page") << 0 << 1 << true << "tutte le righe";
    QTest::newRow("NUM_MOV not the key: read by rowid") << 1000 << 1 << false << "rowid da %1 a %2";
}

// Every row on a page that is not damaged comes over whole; the others are named as numbers.
void tst_ArchivioCli::riparaReadsAroundDamage()
{
    QFETCH(int, marker);
    QFETCH(int, pages);
    QFETCH(bool, numMovKey);
    QFETCH(QString, unread);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("DANNEGGIATO.mdb"));
    const QString target = dir.filePath(QStringLiteral("NUOVO.mdb"));
    // Added in number order, so the pages hold runs of numbers, and each row names its number.
    sqlFile(source, (QByteArray(kCreateMovMag).replace(" PRIMARY KEY", numMovKey ? " PRIMARY KEY" : "") +
                     ";WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 2000) "
                     "INSERT INTO MOV_MAG SELECT n, 'R' || n || 'X', '5', '7', '8', '12', NULL, NULL, NULL, "
                     "NULL, 'nota' FROM c")
                        .constData());
    QByteArray bytes = readBytes(source);
    const qsizetype first = marker ? bytes.indexOf("R" + QByteArray::number(marker) + "X") / 4096 : 1;
    QList<int> lost;
    for (qsizetype page = first; page < first + pages; ++page) {
        for (const auto &match : QRegularExpression(QStringLiteral("R(\\d+)X"))
                                     .globalMatch(QString::fromLatin1(bytes.mid(page * 4096, 4096))))
            lost.append(match.captured(1).toInt());
        bytes[page * 4096] = char(~bytes.at(page * 4096)); // the kind of the page
    }
    if (marker == 0)
        lost = {1, 2000};
    std::sort(lost.begin(), lost.end());
    const int saved = marker == 0 ? 0 : 2000 - int(lost.size());
    QVERIFY(writeBytes(source, bytes) && lost.last() - lost.first() + 1 == 2000 - saved);

    const Run run = runTool({QStringLiteral("ripara"), source, target});
    QVERIFY2(run.status == 1 && run.out.startsWith(QStringLiteral("Salvate %1 righe").arg(saved)),
             describe(run));
    unread.replace(QStringLiteral("%1"), QString::number(lost.first()))
        .replace(QStringLiteral("%2"), QString::number(lost.last()));
    QVERIFY2(run.err.contains(QStringLiteral(": righe non leggibili, non salvate: ") + unread +
                              QLatin1Char('\n')) &&
                 run.err.contains(QStringLiteral("il controllo di integrità di SQLite ha trovato danni")),
             describe(run));
    const auto whole = [&](const HoursRecord &r) {
        const int n = r.numMov.toInt();
        return r.anno == "R" + r.numMov + "X" && r.note == "nota" && (n < lost.first() || n > lost.last());
    };
    QCOMPARE(listedRows(target, whole), std::pair(saved, saved));
}

void tst_ArchivioCli::faultAtEveryStep_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("rows");
    for (const auto &[command, source, rows] :
         {std::tuple("importa", ":mov_mag_97_testo.mdb", 60), std::tuple("ripara", "@ZELVARO_97.mdb", 8),
          std::tuple("copia", "@ZELVARO_97.mdb", 8)}) {
        const QStringList args{command, source, "@NUOVO.mdb"};
        QTest::addRow("%s, I/O error", command) << args << SQLITE_IOERR << rows;
        QTest::addRow("%s, disk full", command) << args << SQLITE_FULL << rows;
    }
}

// Run in this process, where a file operation at every step in turn fails: the command either
// makes the whole new archive or says which failure stopped it and leaves nothing; a retry works.
void tst_ArchivioCli::faultAtEveryStep()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(int, rows);
    if (!ZELVARO_IMPORT && args.first() == QLatin1String("importa"))
        QSKIP("built without libmdb");
    TempArchive archive;
    fillKnownArchive(archive);
    const QString folder = archive.folder();
    for (QString &arg : args)
        arg = arg.startsWith('@')   ? folder + QLatin1Char('/') + arg.mid(1)
              : arg.startsWith(':') ? dataPath(arg.mid(1))
                                    : arg;
    const QStringList before = folderEntries(folder);
    QStringList after = QStringList(before) << QStringLiteral("NUOVO.mdb");
    after.sort();
    const auto run = [&] {
        QBuffer out, err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        const int status = runArchivio(args, out, err);
        return std::pair(status, QString::fromUtf8(err.data()));
    };
    const QString cause =
        code == SQLITE_FULL ? QStringLiteral("disco pieno") : QStringLiteral("errore di lettura o scrittura");
    const int runs = FaultVfs::forEveryFault(code, run, [&](const std::pair<int, QString> &result) {
        const auto &[status, message] = result;
        if (status != 0) {
            QVERIFY2(status == 1 && folderEntries(folder) == before, qPrintable(message));
            QVERIFY2(message.contains(cause, Qt::CaseInsensitive), qPrintable(message));
            QVERIFY2(run().first == 0, qPrintable(message));
        }
        QCOMPARE(folderEntries(folder), after);
        QCOMPARE(listedRows(folder + QStringLiteral("/NUOVO.mdb")).first, rows);
        QVERIFY(QFile::remove(folder + QStringLiteral("/NUOVO.mdb")));
    });
    QVERIFY(runs > 2); // the command went through the files at all
}

void tst_ArchivioCli::interruptedImportLeavesNothing_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("Ctrl-C (SIGINT)") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void tst_ArchivioCli::interruptedImportLeavesNothing()
{
    QFETCH(int, signal);
    if (!ZELVARO_IMPORT)
        QSKIP("built without libmdb");
    QTemporaryDir dir;
    QProcess process;
    process.setChildProcessModifier([] { // as from a terminal, whatever this test inherited
        for (int s : {SIGINT, SIGTERM, SIGHUP})
            ::signal(s, SIG_DFL);
    });
    process.start(QStringLiteral(ZELVARO_ARCHIVIO_PROGRAM),
                  {QStringLiteral("importa"), dataPath(QStringLiteral("mov_mag_97_grande.mdb")),
                   dir.filePath(QStringLiteral("NUOVO.mdb"))});
    // The journal beside the hidden file: the rows are being written.
    QElapsedTimer waited;
    waited.start();
    while (!folderEntries(dir.path()).join(' ').contains(QStringLiteral("-journal")) &&
           waited.elapsed() < 20000)
        QThread::usleep(200);
    QVERIFY(::kill(pid_t(process.processId()), signal) == 0);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    QCOMPARE(folderEntries(dir.path()), QStringList());
}

QTEST_GUILESS_MAIN(tst_ArchivioCli)
#include "tst_archiviocli.moc"
