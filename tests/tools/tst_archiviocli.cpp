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

using namespace zelvaro;
using namespace zelvaro::test;

namespace {

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

    void riparaReadsAroundDamage_data()
    {
        QTest::addColumn<int>("marker");     // the row whose page is damaged; 0: the table's root page
        QTest::addColumn<int>("pages");      // how many pages from there
        QTest::addColumn<bool>("numMovKey"); // NUM_MOV INTEGER PRIMARY KEY, else a plain column
        QTest::addColumn<QString>("unread"); // %1 and %2: the first and last number not saved
        QTest::newRow("a page in the middle") << 1000 << 1 << true << "NUM_MOV da %1 a %2";
        QTest::newRow("the first page") << 1 << 1 << true << "NUM_MOV fino a %2";
        QTest::newRow("the last page") << 2000 << 1 << true << "NUM_MOV da %1 in poi";
        QTest::newRow("the table's root page") << 0 << 1 << true << "tutte le righe";
        QTest::newRow("NUM_MOV not the key: read by rowid") << 1000 << 1 << false << "rowid da %1 a %2";
    }

    // Every row on a page that is not damaged comes over whole; the others are named as numbers.
    void riparaReadsAroundDamage()
    {
        QFETCH(int, marker);
        QFETCH(int, pages);
        QFETCH(bool, numMovKey);
        QFETCH(QString, unread);
        QTemporaryDir dir;
        const QString source = dir.filePath("DANNEGGIATO.mdb");
        // Added in number order, so the pages hold runs of numbers, and each row names its number.
        QVERIFY(SqlFile(source).exec(
            QString(kCreateMovMag).replace(" PRIMARY KEY", numMovKey ? " PRIMARY KEY" : "") +
            ";WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 2000) "
            "INSERT INTO MOV_MAG SELECT n, 'R' || n || 'X', '5', '7', '8', '12', NULL, NULL, "
            "NULL, NULL, 'nota' FROM c"));
        QByteArray bytes = readBytes(source);
        // The root page holds no row: losing it loses them all.
        const qsizetype first = marker ? bytes.indexOf("R" + QByteArray::number(marker) + "X") / 4096 : 1;
        QList<int> lost = marker ? QList<int>{} : QList<int>{1, 2000};
        for (qsizetype page = first; page < first + pages; ++page) {
            for (const auto &match : QRegularExpression("R(\\d+)X")
                                         .globalMatch(QString::fromLatin1(bytes.mid(page * 4096, 4096))))
                lost.append(match.captured(1).toInt());
            bytes[page * 4096] = char(~bytes.at(page * 4096)); // the kind of the page
        }
        std::sort(lost.begin(), lost.end());
        const int saved = 2000 - (lost.last() - lost.first() + 1);
        QVERIFY(writeBytes(source, bytes));

        const Run run = runTool({"ripara", source, dir.filePath("NUOVO.mdb")});
        QVERIFY2(run.status == 1 && run.out.startsWith(QString("Salvate %1 righe").arg(saved)),
                 describe(run));
        unread.replace("%1", QString::number(lost.first())).replace("%2", QString::number(lost.last()));
        QVERIFY2(run.err.contains(": righe non leggibili, non salvate: " + unread + '\n') &&
                     run.err.contains("il controllo di integrità di SQLite ha trovato danni"),
                 describe(run));
        const QList<HoursRecord> records = listedRecords(dir.filePath("NUOVO.mdb"));
        QCOMPARE(records.size(), saved);
        for (const HoursRecord &r : records) {
            const int n = r.numMov.toInt();
            QVERIFY2(r.anno == "R" + r.numMov + "X" && r.note == "nota" &&
                         (n < lost.first() || n > lost.last()),
                     qPrintable(r.numMov));
        }
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
