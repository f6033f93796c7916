#include "Archive.h"
#include "ArchivioCommands.h"
#include "BalanceSchema.h"
#include "FaultVfs.h"
#include "Files.h"
#include "TempArchive.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zelvaro;
using namespace zelvaro::test;

namespace {

// How riparaSavesWhatIsOnDisk damages its archive.
enum class Damage { None, Truncate, ZeroHeader, InteriorPointer, InteriorCycle, LeafOutOfOrder, NullNumMov };

struct Run
{
    int status = -1;
    QByteArray bytes; // standard output
    QString out, err;
};

// Runs a command in this process, as the program runs it.
Run runTool(const QStringList &arguments)
{
    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    Run run;
    run.status = runArchivio(arguments, out, err);
    run.bytes = out.data();
    run.out = QString::fromUtf8(run.bytes);
    run.err = QString::fromUtf8(err.data());
    return run;
}

QByteArray describe(const Run &run)
{
    return QString("status %1\nstdout: %2\nstderr: %3").arg(run.status).arg(run.out, run.err).toUtf8();
}

// The archive whose export tests/data/esporta_atteso.csv holds, worked out by hand: rows out of
// number order, borrow, carry, an end before its start, periods 1 and 3 without 2, a period 1
// without its start, texts needing quotes, an all-null row, two rows the window never lists.
void fillKnownArchive(const TempArchive &a)
{
    const QString none;
    a.insert(12, "5", "3", "2004", {"8.30", "8.15", "9", "9.45", "10", "11"});
    a.insert(3, "1", "3", "2004", {"8.30", "12.45", "14.00", "17.50", none, none}, "nota; non esportata");
    a.insert(0, "1", "1", "2004", {"8", "12"});
    a.insert(-4, "2", "1", "2004", {"8", "18"});
    a.insert(5, "2", "3", "2004", {" 8.45 ", "12.30", "", "", "8", "12.75"}); // empty texts, not null
    a.insert(7, "3", "3", "2004", {"", "12", "14", "18"});
    a.insert(8, "4", "3", "2004", {"22.00", "2.00"});
    a.insert(20, "6", "3", "20;04", {"7.15", "8.00"});
    a.insert(21, "7\r\nbis", "\"3\"", "2004", {"8,30", "12"});
    a.insert(30, none, none, none, {});
}

// The words of `args`, "@NAME" a file of `folder` and ":NAME" one of tests/data.
QStringList resolved(const QString &args, const QString &folder)
{
    QStringList words = args.split(' ', Qt::SkipEmptyParts);
    for (QString &word : words)
        word = word.startsWith('@')   ? folder + '/' + word.mid(1)
               : word.startsWith(':') ? dataPath(word.mid(1))
                                      : word;
    return words;
}

// 2,000 rows added in number order, so that the pages hold runs of numbers, each naming its number
// ("R17X"); rows 250, 750, 1250 and 1750 have a note of 5,000 bytes, which goes on overflow pages.
// With `key` false NUM_MOV is a plain column and row 1001 has none.
void makeNumberedArchive(const QString &path, bool key = true)
{
    SqlFile(path).exec(QString(kCreateMovMag).replace(" PRIMARY KEY", key ? " PRIMARY KEY" : "") +
                       ";WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 2000) "
                       "INSERT INTO MOV_MAG SELECT CASE WHEN n = 1001 AND NOT " +
                       QString::number(key) +
                       " THEN NULL ELSE n END, 'R' || n || 'X', '5', '7', '8', '12', NULL, NULL, NULL, NULL, "
                       "CASE WHEN n % 500 = 250 THEN replace(hex(zeroblob(1250)), '00', 'nota') ELSE 'nota' "
                       "END FROM c");
}

// Leaves the archive as a crash inside a "Conferma" does: another process changes every row in one
// transaction, with a cache so small that changed pages reach the file, and is killed (SIGKILL)
// before it commits. Its journal stays beside the archive.
void killInsideChange(const QString &path)
{
    int ready[2];
    QVERIFY(::pipe(ready) == 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        sqlite3 *db = nullptr;
        sqlite3_open(QFile::encodeName(path).constData(), &db);
        if (sqlite3_exec(db, "PRAGMA cache_size = 2; BEGIN; UPDATE MOV_MAG SET NOTE = 'cambiata'", nullptr,
                         nullptr, nullptr) == SQLITE_OK &&
            ::write(ready[1], "x", 1) == 1) {
            for (;;)
                ::pause();
        }
        ::_exit(1);
    }
    char byte = 0;
    QVERIFY(::read(ready[0], &byte, 1) == 1);
    QVERIFY(::kill(pid, SIGKILL) == 0 && ::waitpid(pid, nullptr, 0) == pid);
    ::close(ready[0]);
    ::close(ready[1]);
}

// The records the program lists from the archive.
QList<HoursRecord> listedRecords(const QString &path)
{
    QList<HoursRecord> records;
    Outcome error;
    const std::unique_ptr<Archive> archive = Archive::open(path, &error, Archive::OpenMode::ReadOnly);
    if (!archive || archive->forEachListed([&](const HoursRecord &r) { records.append(r); }))
        QTest::qFail(qPrintable(error.text), __FILE__, __LINE__);
    return records;
}

} // namespace

class tst_ArchivioCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { FaultVfs::install(); }

    void failureOrReportTouchesNothing_data()
    {
        QTest::addColumn<QString>("args"); // @NAME: a file of the test folder, :NAME: of tests/data
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text"); // in standard output on success, else in standard error
        const auto row = [](const char *name, const char *args, int status, const char *text) {
            QTest::newRow(name) << QString(args) << status << QString(text);
        };
        row("help", "--help", 0, "Uso: zelvaro-archivio COMANDO");
        row("help after a command's arguments: no file named --help", "importa a.mdb --help", 0,
            "Uso: zelvaro-archivio importa [--avanzamento] ORIGINE.mdb DESTINAZIONE");
        row("no command", "", 2, "Uso: zelvaro-archivio COMANDO");
        row("unknown command", "converti a.mdb", 2, "comando sconosciuto \"converti\"");
        row("argument missing", "importa a.mdb", 2, "argomenti mancanti per \"importa\"");
        row("crea: a link to a missing file", "crea @collegamento.mdb", 1,
            "esiste già un file con questo nome");
        row("verifica: sound, rows \"Conferma\" refuses listed", "verifica @ZELVARO_97.mdb", 0,
            "Righe che \"Conferma\" rifiuterebbe così come sono: 4\n"
            "  NUM_MOV -4 del 2/1/2004: NUM_MOV non maggiore di 0: la finestra non mostra la riga\n"
            "  NUM_MOV 0 del 1/1/2004: NUM_MOV non maggiore di 0: la finestra non mostra la riga\n"
            "  NUM_MOV 7 del 3/3/2004: Indicare l'ora di inizio 1.Periodo !!!\n"
            "  NUM_MOV 30 del //: Indicare l'ora di inizio 1.Periodo !!!\n"
            "L'archivio è integro.\n");
        row("verifica: foreign file", "verifica :non_access.mdb", 1, "non è un archivio SQLite");
        row("verifica: Access file", "verifica @VECCHIO.mdb", 1,
            "il file è un archivio Access: deve essere convertito con \"zelvaro-archivio importa\"");
        row("verifica: bytes overwritten", "verifica @CORROTTO.mdb", 1,
            "il controllo di integrità di SQLite ha trovato danni");
        row("verifica: NUM_MOV null, not whole, repeated", "verifica @A_MANO.mdb", 1,
            "una riga non ha NUM_MOV; NUM_MOV \"5a\" non è un numero intero; NUM_MOV 5 compare 2 volte\n");
        row("verifica: an archive in WAL mode, no -wal or -shm left", "verifica @WAL.mdb", 0,
            "L'archivio è integro.\n");
        row("riepilogo: an archive in WAL mode, no -wal or -shm left", "riepilogo @WAL.mdb", 0,
            "Totale;;6;2;200;");
        row("verifica: the balance tables with their rows", "verifica @SALDO.mdb", 0,
            "Tabelle del saldo ore: ORARIO_CONTRATTUALE 1 riga, ASSENZE 1 riga, IMPOSTAZIONI 0 righe\n");
        row("verifica: damage in a balance table, named", "verifica @SALDO_DANNI.mdb", 1,
            "la tabella ASSENZE è danneggiata: ");
        row("verifica: a balance table without a column", "verifica @SALDO_DANNI.mdb", 1,
            "nella tabella IMPOSTAZIONI manca la colonna VALORE");
        row("verifica: bytes after the last page", "verifica @CODA.mdb", 1,
            "lungo 8196 byte, ma le sue 2 pagine da 4096 byte ne occupano 8192: dopo l'ultima pagina");
        row("copia: existing destination", "copia @ZELVARO_97.mdb @ESISTENTE.txt", 1,
            "esiste già e non viene toccata");
        row("copia: damaged archive", "copia @CORROTTO.mdb @NUOVO.mdb", 1,
            "danneggiato: controllarlo con \"zelvaro-archivio verifica\"");
        row("ripara: Access file", "ripara @VECCHIO.mdb @NUOVO.mdb", 1,
            "VECCHIO.mdb» è un archivio Access: deve essere convertito con \"zelvaro-archivio importa\"");
        row("esporta: onto an Access archive", "esporta @ZELVARO_97.mdb @VECCHIO.mdb", 1,
            "è un archivio: non viene sovrascritto");
        // Worked by hand: March 2004 has days 1, 2, 4 and 5 (485, 540, -1200 and 90 minutes, week 10 from
        // Monday 1 March) and day 3 incomplete; "20;04" and "7\r\nbis" make no date (45 and 240 minutes),
        // nor does the all-null row, incomplete.
        row("riepilogo: by month", "riepilogo @ZELVARO_97.mdb", 0,
            "Mese;Giorni;Incompleti;Minuti;Ore;Ore decimali\r\n2004;3;4;1;-85;'-1 h / -25 Min.;-1,42\r\n"
            "Data non valida;;2;1;285;4 h / 45 Min.;4,75\r\nTotale;;6;2;200;3 h / 20 Min.;3,33\r\n");
        row("riepilogo: by week", "riepilogo @ZELVARO_97.mdb --settimane", 0,
            "Ore decimali\r\n2004;10;01/03/2004;07/03/2004;4;1;-85;'-1 h / -25 Min.;-1,42\r\nData non "
            "valida;;;;2;1;285");
        row("riepilogo: the option does not count as an argument",
            "riepilogo --settimane @ZELVARO_97.mdb @ZELVARO_97.mdb", 1,
            "è un archivio: non viene sovrascritto");
        // Without the tables of the balance: nothing is written by reading them.
        row("orario: none listed", "orario @ZELVARO_97.mdb", 0, "Nessun orario contrattuale in «");
        row("saldo: no contract hours", "saldo @ZELVARO_97.mdb", 1, "nessun orario contrattuale in «");
        row("impostazioni: none stored", "impostazioni @ZELVARO_97.mdb", 0,
            "Nome: (non indicato)\nDatore di lavoro: (non indicato)\nSanto patrono: (nessuno)\n"
            "Saldo iniziale: 0.00\n");
        // SALDO.mdb: 8 hours Monday to Friday from Monday 1 March 2004, ferie on the 3rd.
        row("orario: a day that does not exist", "orario @SALDO.mdb 31/02/2004 8 8 8 8 8 0 0", 2,
            "data «31/02/2004» non valida: le date si scrivono GG/MM/AAAA");
        row("orario: minutes past 59", "orario @SALDO.mdb 01/03/2004 8 8 8 8 7.60 0 0", 2,
            "ore «7.60» del venerdì non valide: si scrivono H o H.MM, con MM da 00 a 59, fino a 24.00");
        row("orario: a sign on a weekday", "orario @SALDO.mdb 01/03/2004 -8 8 8 8 8 0 0", 2,
            "ore «-8» del lunedì non valide");
        row("orario: past a whole day", "orario @SALDO.mdb 01/03/2004 8 24.01 8 8 8 0 0", 2,
            "ore «24.01» del martedì non valide");
        row("orario: a decimal comma", "orario @SALDO.mdb 01/03/2004 8 8 7,30 8 8 0 0", 2,
            "ore «7,30» del mercoledì non valide");
        row("orario: a weekday missing", "orario @SALDO.mdb 01/03/2004 8 8 8 8 8 0", 2,
            "argomenti mancanti per \"orario\"");
        row("orario: no entry to remove", "orario @SALDO.mdb --togli 02/03/2004", 2,
            "nessun orario contrattuale dal 02/03/2004 in «");
        row("orario: an unknown option", "orario @SALDO.mdb --via 01/03/2004", 2,
            "opzione sconosciuta \"--via\"");
        row("assenza: an unknown type", "assenza @SALDO.mdb vacanza 02/03/2004", 2,
            "tipo di assenza «vacanza» sconosciuto: i tipi sono ferie, malattia, permesso, festivita e "
            "recupero");
        row("assenza: the type with an accent", "assenza @SALDO.mdb festività 02/03/2004", 2,
            "tipo di assenza «festività» sconosciuto");
        row("assenza: the end before the start", "assenza @SALDO.mdb ferie 05/03/2004 04/03/2004", 2,
            "la data finale 04/03/2004 viene prima di quella iniziale 05/03/2004");
        row("assenza: hours with a comma", "assenza @SALDO.mdb ferie 02/03/2004 --ore 8,30", 2,
            "ore «8,30» dell'assenza non valide");
        row("assenza: --ore without its value", "assenza @SALDO.mdb ferie 02/03/2004 --ore", 2,
            "manca il valore di \"--ore\"");
        row("assenza: only days without work", "assenza @SALDO.mdb ferie 06/03/2004 07/03/2004", 2,
            "nessuna assenza registrata: nessun giorno dal 06/03/2004 al 07/03/2004 prevede ore di lavoro\n"
            "Giorni saltati:\n  dal 06/03/2004 al 07/03/2004: giorno non lavorativo\n");
        row("assenza: none to remove", "assenza @SALDO.mdb --togli 04/03/2004 05/03/2004", 2,
            "nessuna assenza dal 04/03/2004 al 05/03/2004 in «");
        row("impostazioni: a patron day no year has", "impostazioni @SALDO.mdb --patrono 30/02", 2,
            "santo patrono «30/02» non valido");
        row("impostazioni: an opening balance with a plus", "impostazioni @SALDO.mdb --saldo-iniziale +1", 2,
            "saldo iniziale «+1» non valido");
        row("impostazioni: an option twice", "impostazioni @SALDO.mdb --nome A --nome B", 2,
            "opzione \"--nome\" ripetuta");
        row("saldo: onto an archive", "saldo @SALDO.mdb @SALDO.mdb", 1,
            "è un archivio: non viene sovrascritto");
        row("saldo: a type no version writes", "saldo @TIPO_IGNOTO.mdb", 1,
            "valore non valido nella tabella ASSENZE, colonna TIPO, riga del 2004-03-03: «vacanza»");
        for (const char *command : {"saldo @NUOVA.mdb", "orario @NUOVA.mdb 01/03/2004 8 8 8 8 8 0 0"})
            QTest::addRow("a newer Zelvaro's archive: %s", command)
                << command << 1
                << "l'archivio è stato creato da una versione più recente di Zelvaro (versione 2 del formato";
    }

    // A failure changes no file and leaves none behind, nor does a report or a help.
    void failureOrReportTouchesNothing()
    {
        QFETCH(QString, args);
        QFETCH(int, status);
        QFETCH(QString, text);
        TempArchive archive;
        fillKnownArchive(archive);
        const auto at = [&](const QString &name) { return archive.folder() + '/' + name; };
        QByteArray bytes = readBytes(archive.path());
        QCOMPARE(bytes.size(), 8192); // the schema page, then MOV_MAG's page
        QVERIFY(writeBytes(at("CODA.mdb"), bytes + "coda"));
        // Pages 3 and 4: ASSENZE and its key's index; then IMPOSTAZIONI (without VALORE in the damaged one).
        for (const QString name : {"SALDO.mdb", "SALDO_DANNI.mdb"})
            QVERIFY(
                writeBytes(at(name), bytes) &&
                SqlFile(at(name)).exec(
                    QString(kCreateAssenze) + ";" +
                    QString(kCreateImpostazioni).replace(name == "SALDO.mdb" ? "" : ",\n  VALORE TEXT", "") +
                    ";INSERT INTO ASSENZE VALUES ('2024-05-02', 'ferie', 480), ('2024-05-03', 'malattia', "
                    "480);INSERT INTO IMPOSTAZIONI (CHIAVE) VALUES ('nome')"));
        QByteArray saldo = readBytes(at("SALDO_DANNI.mdb"));
        QVERIFY(
            writeBytes(at("SALDO_DANNI.mdb"), saldo.replace(2 * 4096 + 4060, 16, QByteArray(16, '\x7f'))));
        QVERIFY(writeBytes(at("WAL.mdb"), bytes) && SqlFile(at("WAL.mdb")).exec("PRAGMA journal_mode = WAL"));
        QVERIFY(writeBytes(at("CORROTTO.mdb"), bytes.replace(4096, 16, QByteArray(16, '\x7f'))));
        QVERIFY(writeBytes(at("ESISTENTE.txt"), "da non toccare") &&
                QFile::link(at("altrove.mdb"), at("collegamento.mdb")));
        QVERIFY(writeBytes(at("VECCHIO.mdb"), readBytes(dataPath("mov_mag_97_testo.mdb"))));
        const QString balance =
            "INSERT INTO ORARIO_CONTRATTUALE VALUES ('2004-03-01', 480, 480, 480, 480, 480, 0, "
            "0); INSERT INTO ASSENZE VALUES ('2004-03-03', '%1', 480); PRAGMA user_version = %2";
        for (const auto &[name, type, version] :
             {std::tuple("SALDO.mdb", "ferie", 1), std::tuple("TIPO_IGNOTO.mdb", "vacanza", 1),
              std::tuple("NUOVA.mdb", "ferie", 2)})
            QVERIFY(writeBytes(at(name), readBytes(archive.path())) &&
                    SqlFile(at(name)).exec(QStringList{kCreateOrarioContrattuale, kCreateAssenze,
                                                       kCreateImpostazioni, balance.arg(type).arg(version)}
                                               .join(';')));
        QVERIFY(SqlFile(at("A_MANO.mdb"))
                    .exec(QString(kCreateMovMag).remove(" PRIMARY KEY") +
                          ";INSERT INTO MOV_MAG (NUM_MOV) VALUES (5), (5), (NULL), ('5a'), (6)"));
        const QMap<QString, QByteArray> before = snapshot(archive.folder());

        const Run run = runTool(resolved(args, archive.folder()));
        QVERIFY2(run.status == status, describe(run));
        QVERIFY2((status == 0 ? run.out : run.err).contains(text), describe(run));
        QCOMPARE(snapshot(archive.folder()).keys(), before.keys());
        QVERIFY(snapshot(archive.folder()) == before);
    }

    void successMakesAnArchive_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<int>("rows");
        QTest::newRow("crea") << "crea"
                              << "^Creato l'archivio vuoto «.*/NUOVO\\.mdb»\\n$" << 0;
        if (ZELVARO_IMPORT)
            QTest::newRow("importa")
                << "importa :mov_mag_97_testo.mdb"
                << "^Importate 60 righe da «.*/mov_mag_97_testo\\.mdb» in «.*/NUOVO\\.mdb» "
                   "in \\d+,\\d\\d s\\n$"
                << 60;
        QTest::newRow("copia")
            << "copia @ZELVARO_97.mdb"
            << "^Copiato l'archivio «.*/ZELVARO_97\\.mdb» in «.*/NUOVO\\.mdb» in \\d+,\\d\\d s\\n$" << 8;
    }

    void successMakesAnArchive()
    {
        QFETCH(QString, args);
        QFETCH(QString, summary);
        QFETCH(int, rows);
        TempArchive source;
        fillKnownArchive(source);
        QTemporaryDir dir;
        const QString path = dir.filePath("NUOVO.mdb");
        const Run run = runTool(resolved(args, source.folder()) << path);
        QVERIFY2(run.status == 0 && run.err.isEmpty(), describe(run));
        QVERIFY2(QRegularExpression(summary).match(run.out).hasMatch(), describe(run));
        QCOMPARE(folderEntries(dir.path()), QStringList{"NUOVO.mdb"});
        QCOMPARE(listedRecords(path).size(), rows);
    }

    void esporta()
    {
        TempArchive archive;
        fillKnownArchive(archive);
        const QByteArray expected = readBytes(dataPath("esporta_atteso.csv"));
        QVERIFY(!expected.isEmpty());
        const Run toStdout = runTool({"esporta", archive.path()});
        QVERIFY2(toStdout.status == 0 && toStdout.err.isEmpty(), describe(toStdout));
        QCOMPARE(toStdout.bytes, expected);

        const QString csv = archive.folder() + "/ore.csv";
        QVERIFY(writeBytes(csv, "un'esportazione di prima")); // replaced whole
        const Run toFile = runTool({"esporta", archive.path(), csv});
        QCOMPARE(toFile.out, "Esportati 8 movimenti in «" + csv + "»\n");
        QCOMPARE(readBytes(csv), expected);

        archive.insert(40, "lunedì €", "3", "2004", {"8", "9"});
        // Texts a spreadsheet would take for formulas, but plain numbers.
        archive.insert(41, "=1+1", "+3", "@A1", {"\t8", "-9"});
        const Run accents = runTool({"esporta", archive.path()});
        QVERIFY2(accents.bytes.contains("\r\n40;luned\xC3\xAC \xE2\x82\xAC;3;2004;8;9;;;;;1 h / 0 Min.;") &&
                     accents.bytes.contains("\r\n41;'=1+1;+3;'@A1;'\t8;-9;"),
                 describe(accents));
    }

    // The balance of April 2025, worked by hand: 8 hours Monday to Friday from Tuesday 1 April, 4 hours
    // from Wednesday 16 April; Easter Monday (21), San Giorgio as patron day (Wednesday 23), 25 April
    // worked (120 minutes), 1 May; ferie on the 9th, a recupero on the 10th (not credited), malattia on
    // the 18th, a permesso of an hour on the 29th; an opening balance of -2.15. Not counted: a day
    // worked before the contract, a record without a real date, a record whose period 1 is incomplete.
    void saldoWorkedByHand_data()
    {
        QTest::addColumn<bool>("weeks");
        QTest::addColumn<QByteArray>("csv");
        QTest::newRow("by month") << false
                                  << QByteArray("\xEF\xBB\xBF"
                                                "Anno;Mese;Minuti lavorati;Minuti di assenza;Minuti previsti;"
                                                "Saldo minuti;Saldo progressivo minuti\r\n"
                                                "2025;4;5750;780;7200;-670;-805\r\n"
                                                "2025;5;250;0;240;10;-795\r\n"
                                                "Totale;;6000;780;7440;-660;-795\r\n");
        QTest::newRow("by ISO week, the first and last only partly counted")
            << true
            << QByteArray("\xEF\xBB\xBF"
                          "Anno ISO;Settimana;Dal;Al;Minuti lavorati;Minuti di assenza;Minuti previsti;"
                          "Saldo minuti;Saldo progressivo minuti\r\n"
                          "2025;14;31/03/2025;06/04/2025;1910;0;1920;-10;-145\r\n"
                          "2025;15;07/04/2025;13/04/2025;1560;480;2400;-360;-505\r\n"
                          "2025;16;14/04/2025;20/04/2025;1500;240;1680;60;-445\r\n"
                          "2025;17;21/04/2025;27/04/2025;120;0;480;-360;-805\r\n"
                          "2025;18;28/04/2025;04/05/2025;910;60;960;10;-795\r\n"
                          "Totale;;;;6000;780;7440;-660;-795\r\n");
    }

    void saldoWorkedByHand()
    {
        QFETCH(bool, weeks);
        QFETCH(QByteArray, csv);
        TempArchive archive;
        const QString path = archive.path();
        // Period 1 only: 8 to 16 is 480 minutes.
        const std::pair<const char *, const char *> days[] = {
            {"31/03/2025", "13"}, {"01/04/2025", "16"},    {"02/04/2025", "13"}, {"03/04/2025", "15.30"},
            {"04/04/2025", "16"}, {"07/04/2025", "16"},    {"08/04/2025", "16"}, {"11/04/2025", "16"},
            {"12/04/2025", "10"}, {"14/04/2025", "16"},    {"15/04/2025", "16"}, {"16/04/2025", "12"},
            {"17/04/2025", "13"}, {"25/04/2025", "10"},    {"28/04/2025", "12"}, {"29/04/2025", "11"},
            {"30/04/2025", "12"}, {"02/05/2025", "12.10"}, {"31/04/2025", "16"}};
        qint64 number = 1;
        for (const auto &[day, end] : days) {
            const QStringList date = QString(day).split('/');
            archive.insert(number++, date[0], date[1], date[2], {"8", end});
        }
        archive.insert(number++, "2", "4", "2025", {"14", "17.20"});         // the 2nd makes 500 in all
        archive.insert(number++, "30", "4", "2025", {"", "12", "14", "18"}); // period 1 incomplete: 0
        const QList<QStringList> commands{
            {"orario", path, "01/04/2025", "8", "8", "8", "8", "8", "0", "0"},
            {"orario", path, "16/04/2025", "4", "4", "4", "4", "4", "0", "0"},
            {"impostazioni", path, "--patrono", "23/04", "--saldo-iniziale", "-2.15"},
            {"assenza", path, "ferie", "09/04/2025"},
            {"assenza", path, "recupero", "10/04/2025"},
            {"assenza", path, "malattia", "18/04/2025"},
            {"assenza", path, "permesso", "29/04/2025", "--ore", "1"}};
        for (const QStringList &command : commands) {
            const Run run = runTool(command);
            QVERIFY2(run.status == 0 && run.err.isEmpty(), describe(run));
        }
        // "copia" carries the tables: the copy has the same balance.
        const QString copy = archive.folder() + "/COPIA.mdb";
        QCOMPARE(runTool({"copia", path, copy}).status, 0);
        QStringList args{"saldo", copy};
        if (weeks)
            args.insert(1, "--settimane");
        const Run toStdout = runTool(args);
        QVERIFY2(toStdout.status == 0 && toStdout.err.isEmpty(), describe(toStdout));
        QCOMPARE(toStdout.bytes, csv);

        const QString file = archive.folder() + "/saldo.csv";
        const Run toFile = runTool(QStringList{args} << file);
        QCOMPARE(toFile.out,
                 "Scritto il saldo di " + QString(weeks ? "5 settimane" : "2 mesi") + " in «" + file + "»\n");
        QCOMPARE(readBytes(file), csv);
    }

    // What the commands say, step by step on one archive: 4 October is a holiday from 2026 on (a Sunday
    // in 2026, a Monday in 2027); the days skipped are named with their reason.
    void balanceCommandsSay()
    {
        TempArchive archive;
        const QString path = archive.path();
        const QString at = "«" + path + "»";
        const QList<std::pair<QStringList, QString>> steps{
            {{"orario", path, "04/10/2025", "8", "8", "8", "8", "8", "4", "0"},
             "Registrato l'orario contrattuale dal 04/10/2025 in " + at},
            {{"orario", path, "01/01/2030", "8", "8", "8", "8", "8", "4", "0.30"},
             "Registrato l'orario contrattuale dal 01/01/2030 in " + at},
            {{"orario", path, "01/01/2030", "7.36", "8", "8", "8", "8", "4", "0"},
             "Sostituito l'orario contrattuale dal 01/01/2030 in " + at},
            {{"orario", path},
             "Dal 04/10/2025: lun 8.00, mar 8.00, mer 8.00, gio 8.00, ven 8.00, sab 4.00, dom 0.00\n"
             "Dal 01/01/2030: lun 7.36, mar 8.00, mer 8.00, gio 8.00, ven 8.00, sab 4.00, dom 0.00"},
            {{"orario", path, "--togli", "01/01/2030"},
             "Tolto l'orario contrattuale dal 01/01/2030 da " + at},
            {{"impostazioni", path, "--nome", "Anna Rossi", "--datore", "Bianchi & C.", "--patrono", "29/06",
              "--saldo-iniziale", "-12.05"},
             "Salvate le impostazioni in " + at + ": nome, datore di lavoro, santo patrono, saldo iniziale"},
            {{"impostazioni", path, "--patrono", ""}, "Salvate le impostazioni in " + at + ": santo patrono"},
            {{"impostazioni", path},
             "Nome: Anna Rossi\nDatore di lavoro: Bianchi & C.\nSanto patrono: (nessuno)\nSaldo iniziale: "
             "-12.05"},
            {{"assenza", path, "ferie", "03/10/2025", "06/10/2025"},
             "Registrate 2 assenze di tipo ferie dal 03/10/2025 al 06/10/2025 in " + at +
                 "\nGiorni saltati:\n  03/10/2025: prima dell'orario contrattuale\n  05/10/2025: giorno non "
                 "lavorativo"},
            {{"assenza", path, "ferie", "03/10/2026", "05/10/2026", "--ore", "4"},
             "Registrate 2 assenze di tipo ferie dal 03/10/2026 al 05/10/2026 in " + at +
                 "\nGiorni saltati:\n  04/10/2026: festività (San Francesco d'Assisi)"},
            {{"assenza", path, "permesso", "02/10/2027", "05/10/2027"},
             "Registrate 2 assenze di tipo permesso dal 02/10/2027 al 05/10/2027 in " + at +
                 "\nGiorni saltati:\n  03/10/2027: giorno non lavorativo\n  04/10/2027: festività (San "
                 "Francesco "
                 "d'Assisi)"},
            {{"assenza", path, "malattia", "06/10/2025"},
             "Registrata 1 assenza di tipo malattia il 06/10/2025 in " + at +
                 " (1 al posto di un'assenza già registrata)"},
            {{"assenza", path},
             "04/10/2025 ferie 4.00\n06/10/2025 malattia 8.00\n03/10/2026 ferie 4.00\n05/10/2026 ferie 4.00\n"
             "02/10/2027 permesso 4.00\n05/10/2027 permesso 8.00"},
            {{"assenza", path, "--togli", "01/10/2025", "04/10/2026"},
             "Tolte 3 assenze dal 01/10/2025 al 04/10/2026 da " + at}};
        for (const auto &[args, said] : steps) {
            const Run run = runTool(args);
            QVERIFY2(run.status == 0 && run.err.isEmpty(), describe(run));
            QCOMPARE(run.out, said + '\n');
        }
    }

    void riparaSavesWhatIsOnDisk_data()
    {
        QTest::addColumn<int>("damage");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("report"); // in standard error (or output for status 0); %1 and %2 below
        QTest::newRow("sound, with the balance tables: nothing lost")
            << int(Damage::None) << 0 << "Nessuna riga persa: SQLite non trova danni";
        // %1: the first number on the page that holds row 1000; the pages from there on are gone.
        QTest::newRow("cut inside the page of row 1000")
            << int(Damage::Truncate) << 1
            << "che mancano nel nuovo archivio, righe perse o cancellate prima del danno: NUM_MOV da %1 a ";
        QTest::newRow("header zeroed")
            << int(Damage::ZeroHeader) << 1
            << "nessun NUM_MOV da 1 a 2000 (il più alto trovato) manca nel nuovo archivio";
        // %2: the last number of the first leaf, which the damaged pointer no longer reaches.
        QTest::newRow("interior page: the first child pointer flipped")
            << int(Damage::InteriorPointer) << 1
            << "righe salvate da pagine che la tabella non raggiunge più (controllarle: possono essere righe "
               "cancellate in passato): NUM_MOV da 1 a %2\n";
        QTest::newRow("interior page: two child pointers back to the page itself, no endless loop")
            << int(Damage::InteriorCycle) << 1
            << "righe salvate da pagine che la tabella non raggiunge più (controllarle: possono essere righe "
               "cancellate in passato): NUM_MOV da 1 a %2\n";
        QTest::newRow("leaf with its row numbers out of order: no endless loop")
            << int(Damage::LeafOutOfOrder) << 1 << "il controllo di integrità di SQLite ha trovato danni";
        QTest::newRow("NUM_MOV not the key, one row without it: named, not renumbered")
            << int(Damage::NullNumMov) << 1 << "righe lette ma non salvate: la riga con rowid 1001, pagina ";
    }

    // Rows are read where they lie: every whole row comes over exactly, under its own number, and every
    // number the new archive lacks is named in the report.
    void riparaSavesWhatIsOnDisk()
    {
        QFETCH(int, damage);
        QFETCH(int, status);
        QFETCH(QString, report);
        QTemporaryDir dir;
        const QString source = dir.filePath("DANNEGGIATO.mdb");
        // Added in number order, so the pages hold runs of numbers, and each row names its number. With
        // NUM_MOV a plain column, row 1001 has none.
        makeNumberedArchive(source, damage != int(Damage::NullNumMov));
        if (damage == int(Damage::None))
            QVERIFY(SqlFile(source).exec(QString(kCreateAssenze) + ";" + kCreateImpostazioni +
                                         ";INSERT INTO ASSENZE VALUES ('2024-05-02', 'ferie', 480), "
                                         "('2024-05-03', 'malattia', 480);INSERT INTO IMPOSTAZIONI VALUES "
                                         "('nome', 'Anna');PRAGMA user_version = 1"));
        QByteArray bytes = readBytes(source);
        QCOMPARE(SqlFile(source).value("SELECT rootpage FROM sqlite_master WHERE name = 'MOV_MAG'"), "2");
        const auto numbersOn = [&bytes](qsizetype page) {
            QList<int> numbers;
            for (const auto &match : QRegularExpression("R(\\d+)X")
                                         .globalMatch(QString::fromLatin1(bytes.mid(page * 4096, 4096))))
                numbers.append(match.captured(1).toInt());
            std::sort(numbers.begin(), numbers.end());
            return numbers;
        };
        const qsizetype page1000 = bytes.indexOf("R1000X") / 4096; // from 0
        int saved = 2000;
        if (damage == int(Damage::Truncate)) {
            // The page's first rows lie at its end and are lost; the cells wholly in its first 2000
            // bytes are kept.
            const int first = numbersOn(page1000).first();
            report = report.arg(first);
            bytes.truncate(page1000 * 4096 + 2000);
            saved = first - 1 + int(bytes.mid(page1000 * 4096).count("X57812nota"));
        } else if (damage == int(Damage::ZeroHeader)) {
            bytes.replace(0, 100, QByteArray(100, '\0'));
        } else if (damage == int(Damage::InteriorPointer) || damage == int(Damage::InteriorCycle)) {
            // Page 2, MOV_MAG's root, is an interior page (its header 12 bytes, then the cell pointers;
            // a cell starts with its child's page number). The first child's number now leads past the
            // file; or the first two children's now name page 2 itself, which would read it 2^20 times.
            QCOMPARE(int(bytes.at(4096)), 0x05);
            const auto cell = [&bytes](int i) {
                return 4096 +
                       (quint8(bytes.at(4096 + 12 + 2 * i)) << 8 | quint8(bytes.at(4096 + 13 + 2 * i)));
            };
            qsizetype lastLost = bytes.indexOf("R1X") / 4096;
            if (damage == int(Damage::InteriorPointer)) {
                bytes[cell(0)] = char(bytes.at(cell(0)) ^ 0x40);
            } else {
                lastLost = (quint8(bytes.at(cell(1) + 2)) << 8 | quint8(bytes.at(cell(1) + 3))) - 1;
                for (const int i : {0, 1})
                    bytes.replace(cell(i), 4, QByteArray("\0\0\0\2", 4));
            }
            report = report.arg(numbersOn(lastLost).last());
        } else if (damage == int(Damage::LeafOutOfOrder)) {
            const qsizetype header = page1000 * 4096; // a leaf: 8 bytes, then the cell pointers
            QCOMPARE(int(bytes.at(header)), 0x0d);
            const QByteArray first = bytes.mid(header + 8, 2);
            bytes.replace(header + 8, 2, bytes.mid(header + 8 + 2 * 10, 2));
            bytes.replace(header + 8 + 2 * 10, 2, first);
        } else if (damage == int(Damage::NullNumMov)) {
            saved = 1999;
            report += QString::number(page1000 + 1) + " non ha NUM_MOV";
        }
        QVERIFY(writeBytes(source, bytes));

        const QString target = dir.filePath("NUOVO.mdb");
        const Run run = runTool({"ripara", source, target});
        QVERIFY2(run.status == status, describe(run));
        QVERIFY2(run.out.contains(QString("Salvate %1 righe di MOV_MAG").arg(saved)), describe(run));
        QVERIFY2((status == 0 ? run.out : run.err).contains(report), describe(run));
        QVERIFY2(status == 0 ||
                     run.err.contains("possono essere alterate: confrontarle con una copia giornaliera"),
                 describe(run));
        QVERIFY2(!run.err.contains("altre copie"), describe(run)); // no page was read twice
        QSet<int> present;
        for (const HoursRecord &r : listedRecords(target)) {
            QVERIFY2(r.anno == "R" + r.numMov + "X" &&
                         r.note == QString("nota").repeated(r.numMov.toInt() % 500 == 250 ? 1250 : 1),
                     qPrintable(r.numMov));
            present.insert(r.numMov.toInt());
        }
        QCOMPARE(present.size(), saved);
        // The report names every number the new archive lacks: in its ranges, or above the number past
        // which it says rows may be lost.
        QSet<int> named;
        const QString missingLine = run.err.section("prima del danno: ", 1).section('\n', 0, 0);
        for (const auto &m :
             QRegularExpression("NUM_MOV da (\\d+) a (\\d+)|NUM_MOV (\\d+)").globalMatch(missingLine))
            for (int n = m.captured(m.captured(1).isEmpty() ? 3 : 1).toInt();
                 n <= m.captured(m.captured(1).isEmpty() ? 3 : 2).toInt(); ++n)
                named.insert(n);
        const int above = QRegularExpression("NUM_MOV oltre (\\d+)").match(run.err).captured(1).toInt();
        for (int n = 1; n <= 2000; ++n)
            QVERIFY2(present.contains(n) || named.contains(n) || (above > 0 && n > above),
                     qPrintable(QString::number(n)));
        const QString balance =
            SqlFile(target).value("SELECT group_concat(name) FROM sqlite_master WHERE type = 'table'");
        QCOMPARE(balance, damage == int(Damage::None) ? "MOV_MAG,ASSENZE,IMPOSTAZIONI" : "MOV_MAG");
        QCOMPARE(SqlFile(target).value("PRAGMA user_version"), damage == int(Damage::None) ? "1" : "0");
        if (damage == int(Damage::None))
            QCOMPARE(
                SqlFile(target).value("SELECT group_concat(DATA || ' ' || TIPO || ' ' || MINUTI || ' ' || "
                                      "CHIAVE || ' ' || VALORE, ', ') FROM ASSENZE, IMPOSTAZIONI"),
                "2024-05-02 ferie 480 nome Anna, 2024-05-03 malattia 480 nome Anna");
    }

    void faultAtEveryStep_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("cause");
        for (const auto &[name, code, cause] :
             {std::tuple("I/O error", SQLITE_IOERR, "errore di lettura o scrittura"),
              std::tuple("disk full", SQLITE_FULL, "disco pieno")}) {
            if (ZELVARO_IMPORT)
                QTest::addRow("importa, %s", name)
                    << "importa :mov_mag_97_testo.mdb @NUOVO.mdb" << code << 60 << cause;
            QTest::addRow("ripara, %s", name) << "ripara @ZELVARO_97.mdb @NUOVO.mdb" << code << 8 << cause;
            QTest::addRow("copia, %s", name) << "copia @ZELVARO_97.mdb @NUOVO.mdb" << code << 8 << cause;
        }
    }

    // A file operation at every step in turn fails: the command either
    // makes the whole new archive or says which failure stopped it and leaves nothing; a retry works.
    void faultAtEveryStep()
    {
        QFETCH(QString, args);
        QFETCH(int, code);
        QFETCH(int, rows);
        QFETCH(QString, cause);
        TempArchive archive;
        fillKnownArchive(archive);
        const QString folder = archive.folder();
        const QStringList before = folderEntries(folder);
        const QStringList after = QStringList{"NUOVO.mdb"} + before;
        const auto run = [&] { return runTool(resolved(args, folder)); };
        const int runs = FaultVfs::forEveryFault(code, run, [&](const Run &result) {
            if (result.status != 0) {
                QVERIFY2(result.status == 1 && folderEntries(folder) == before, describe(result));
                QVERIFY2(result.err.contains(cause, Qt::CaseInsensitive), describe(result));
                QVERIFY2(run().status == 0, describe(result));
            }
            QCOMPARE(folderEntries(folder), after);
            QCOMPARE(listedRecords(folder + "/NUOVO.mdb").size(), rows);
            QVERIFY(QFile::remove(folder + "/NUOVO.mdb"));
        });
        QVERIFY(runs > 2); // the command went through the files at all
    }

    void interruptedChange_data()
    {
        QTest::addColumn<QString>("args"); // @NAME: a file of the archive's folder
        QTest::addColumn<bool>("mayWrite");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text"); // in standard output on success, else in standard error
        QTest::newRow("verifica, allowed to write: rolled back, then sound")
            << "verifica @ZELVARO_97.mdb" << true << 0
            << "Modifica interrotta: annullata da SQLite prima del controllo, come fa Zelvaro all'apertura\n"
               "Controllo di integrità di SQLite: ok\n";
        QTest::newRow("copia, allowed to write: rolled back, then copied")
            << "copia @ZELVARO_97.mdb @COPIA.mdb" << true << 0 << "Copiato l'archivio";
        QTest::newRow("verifica, write-protected: an interrupted change, not damage")
            << "verifica @ZELVARO_97.mdb" << false << 1
            << "non è stato controllato: una modifica dell'archivio «%1» è stata interrotta (ne resta il "
               "giornale «%1-journal») e va annullata prima di leggerlo: aprire l'archivio una volta con "
               "Zelvaro, o con \"zelvaro-archivio verifica\" con il permesso di scrivere l'archivio e la sua "
               "cartella\n";
        QTest::newRow("esporta, write-protected")
            << "esporta @ZELVARO_97.mdb" << false << 1 << "aprire l'archivio una volta con Zelvaro";
    }

    // A crash inside a change leaves a journal that SQLite rolls back on a read-write connection only:
    // a tool that may write lets it, one that may not says what to do. Neither calls it damage.
    void interruptedChange()
    {
        QFETCH(QString, args);
        QFETCH(bool, mayWrite);
        QFETCH(int, status);
        QFETCH(QString, text);
        QTemporaryDir dir;
        const QString path = dir.filePath("ZELVARO_97.mdb");
        makeNumberedArchive(path);
        killInsideChange(path);
        QVERIFY(QFileInfo(path + "-journal").size() > 0);
        text.replace("%1", path);

        Run run;
        if (mayWrite) {
            run = runTool(resolved(args, dir.path()));
        } else {
            // Write-protected as for a user who may only read: as root, run the tool as "nobody".
            const QMap<QString, QByteArray> before = snapshot(dir.path());
            const bool root = ::geteuid() == 0;
            QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), root ? 0755 : 0555) == 0);
            for (const QString &file : {path, path + "-journal"})
                QVERIFY(::chmod(QFile::encodeName(file).constData(), 0444) == 0);
            // A copy of the program where "nobody" may run it, whatever the build folder's permissions.
            QTemporaryDir programDir;
            const QString program = programDir.filePath("zelvaro-archivio");
            QVERIFY(QFile::copy(ZELVARO_ARCHIVIO_PROGRAM, program) &&
                    ::chmod(QFile::encodeName(programDir.path()).constData(), 0755) == 0);
            QProcess process;
            process.setChildProcessModifier([root] {
                if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                    ::_exit(126);
            });
            process.start(program, resolved(args, dir.path()));
            QVERIFY(process.waitForFinished(60000));
            run.status = process.exitCode();
            run.out = QString::fromUtf8(process.readAllStandardOutput());
            run.err = QString::fromUtf8(process.readAllStandardError());
            QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0700) == 0);
            QVERIFY2(snapshot(dir.path()) == before, describe(run));
        }
        QVERIFY2(run.status == status && (status == 0 ? run.out : run.err).contains(text), describe(run));
        QVERIFY2(!(run.out + run.err).contains("integro.") || run.status == 0, describe(run));
        QVERIFY2(!(run.out + run.err).contains("danneggiat"), describe(run));
        if (mayWrite) { // the rows as they were before the change, and no journal left
            QVERIFY(!QFileInfo::exists(path + "-journal"));
            QCOMPARE(SqlFile(path).value("SELECT COUNT(*) FROM MOV_MAG WHERE NOTE LIKE 'nota%'"), "2000");
        }
    }

    void interruptedImportLeavesNothing_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("Ctrl-C (SIGINT)") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
    }

    void interruptedImportLeavesNothing()
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
        process.start(ZELVARO_ARCHIVIO_PROGRAM,
                      {"importa", dataPath("mov_mag_97_grande.mdb"), dir.filePath("NUOVO.mdb")});
        // The journal beside the hidden file: the rows are being written.
        QElapsedTimer waited;
        waited.start();
        while (!folderEntries(dir.path()).join(' ').contains("-journal") && waited.elapsed() < 20000)
            QThread::usleep(200);
        QVERIFY(::kill(pid_t(process.processId()), signal) == 0);
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QCOMPARE(folderEntries(dir.path()), QStringList());
    }

    // SIGKILL leaves the tool no say: its reader ends with it all the same, and the next import into
    // the folder removes what they left, their writers gone.
    void killedImportLeavesNoReader()
    {
        if (!ZELVARO_IMPORT)
            QSKIP("built without libmdb");
        QTemporaryDir dir;
        QVERIFY(::prctl(PR_SET_CHILD_SUBREAPER, 1) == 0); // the orphaned reader is handed to this test
        const auto noLongerReaper = qScopeGuard([] { ::prctl(PR_SET_CHILD_SUBREAPER, 0); });
        QProcess process;
        process.start(ZELVARO_ARCHIVIO_PROGRAM,
                      {"importa", dataPath("mov_mag_97_grande.mdb"), dir.filePath("NUOVO.mdb")});
        // The reader at work: it has the hidden file open, so it has passed the request to end with the tool.
        QVERIFY(process.waitForStarted());
        const pid_t tool = pid_t(process.processId());
        const QString children = QString("/proc/%1/task/%1/children").arg(tool);
        pid_t reader = 0;
        QElapsedTimer waited;
        waited.start();
        while (reader == 0 && waited.elapsed() < 20000) {
            const pid_t child = readBytes(children).trimmed().toInt();
            const QDir fds(QString("/proc/%1/fd").arg(child));
            for (const QString &fd : fds.entryList(QDir::AllEntries | QDir::System)) {
                if (child > 0 && QFileInfo(fds.filePath(fd)).symLinkTarget().contains("/.NUOVO.mdb."))
                    reader = child;
            }
        }
        QVERIFY(reader > 0 && ::kill(tool, SIGKILL) == 0 && process.waitForFinished(20000));
        int status = 0;
        QVERIFY(::waitpid(reader, &status, 0) == reader && WIFSIGNALED(status) &&
                WTERMSIG(status) == SIGKILL);
        const QStringList left = folderEntries(dir.path());
        QVERIFY(!left.isEmpty());
        const timespec minutesAgo[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 2 * 60, 0}};
        for (const QString &name : left)
            QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(dir.filePath(name)).constData(), minutesAgo, 0) ==
                    0);
        const Run again = runTool({"importa", dataPath("mov_mag_97_testo.mdb"), dir.filePath("ALTRO.mdb")});
        QVERIFY2(again.status == 0, describe(again));
        QCOMPARE(folderEntries(dir.path()), QStringList{"ALTRO.mdb"});
    }
};

QTEST_GUILESS_MAIN(tst_ArchivioCli)
#include "tst_archiviocli.moc"
