#include "ArchivioCommands.h"

#include "AccessImport.h"
#include "Archive.h"
#include "ArchiveCheck.h"
#include "ArchiveFailure.h"
#include "ArchiveReading.h"
#include "ArchiveRepair.h"
#include "BalanceCommands.h"
#include "CommandLine.h"
#include "CsvFile.h"
#include "HoursExport.h"
#include "HoursSummary.h"
#include "SummaryCsv.h"
#include "Texts.h"
#include "ToolTexts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QIODevice>

#include <algorithm>
#include <cerrno>
#include <functional>

#include <unistd.h>

namespace zelvaro {

namespace {

const char kProgramHelp[] = R"(Uso: zelvaro-archivio COMANDO ARGOMENTI...
     zelvaro-archivio --help | --version

Strumenti per l'archivio delle ore di Zelvaro.

Comandi:
  crea PERCORSO                       crea un archivio nuovo e vuoto
  importa [--avanzamento] ORIGINE.mdb DESTINAZIONE
                                      porta la tabella MOV_MAG di un archivio
                                      Access in un archivio nuovo
  esporta ARCHIVIO [FILE.csv]         scrive le ore in CSV per un foglio di calcolo
  riepilogo ARCHIVIO [FILE.csv]       scrive in CSV i totali delle ore per mese
                                      (o per settimana, con --settimane)
  verifica ARCHIVIO                   controlla l'archivio
  ripara DANNEGGIATO NUOVO            salva in un archivio nuovo le righe ancora
                                      leggibili di un archivio danneggiato
  copia ARCHIVIO DESTINAZIONE         copia l'archivio, anche mentre Zelvaro lo usa
  orario ARCHIVIO [DAL LUN MAR MER GIO VEN SAB DOM | --togli DAL]
                                      elenca, registra o toglie l'orario
                                      contrattuale
  assenza ARCHIVIO [TIPO DAL [AL] [--ore H.MM] | --togli DAL [AL]]
                                      elenca, registra o toglie le assenze
  impostazioni ARCHIVIO [--nome TESTO] [--datore TESTO] [--patrono GG/MM]
               [--saldo-iniziale [-]H.MM]
                                      mostra o cambia le impostazioni del saldo
  saldo [--settimane] ARCHIVIO [FILE.csv]
                                      scrive in CSV il saldo delle ore rispetto
                                      all'orario contrattuale, per mese (o per
                                      settimana)

"zelvaro-archivio COMANDO --help" descrive il comando.
Stato di uscita: 0 se il comando riesce, 1 se non riesce, 2 se il comando o
gli argomenti sono sbagliati.
)";

const char kCreaHelp[] = R"(Uso: zelvaro-archivio crea PERCORSO

Crea in PERCORSO un archivio delle ore nuovo e vuoto, con la tabella MOV_MAG,
pronto per Zelvaro. Se in PERCORSO c'è già un file non lo tocca e termina con
un errore.
)";

const char kImportaHelp[] = R"(Uso: zelvaro-archivio importa [--avanzamento] ORIGINE.mdb DESTINAZIONE

Porta tutte le righe della tabella MOV_MAG di un archivio Access 97 (Jet 3) o
Access 2000 e successivi (Jet 4, ACE) nell'archivio nuovo DESTINAZIONE.
Ogni riga conserva il suo NUM_MOV, così i numeri delle stampe di prima restano
validi; gli altri valori arrivano come testo così come sono, spazi compresi, in
UTF-8; un valore vuoto diventa nullo. Le righe con NUM_MOV 0 o negativo arrivano
anch'esse, anche se la finestra non le mostra.

DESTINAZIONE non deve esistere: un file già presente non viene mai toccato.
Il nuovo archivio prende il suo nome solo quando tutte le righe sono scritte e
contate; se qualcosa non va (un file che non è Access o è troncato, senza
MOV_MAG o senza una sua colonna, un NUM_MOV mancante o ripetuto, righe perse
dalla lettura) il comando si ferma e non crea nulla.

Con --avanzamento scrive sullo standard output, prima della riga finale, una
riga "Righe lette: N di M" appena la tabella è aperta e poi ogni 1000 righe
lette (M sono le righe che la tabella dichiara).
)";

const char kEsportaHelp[] = R"(Uso: zelvaro-archivio esporta ARCHIVIO [FILE.csv]

Scrive in CSV ogni movimento che la finestra elenca (NUM_MOV maggiore di 0, in
ordine di numero): numero, giorno, mese, anno, i sei orari, le durate dei tre
periodi, il totale del giorno e il totale progressivo calcolati come nella
finestra e nella stampa, e infine il totale del giorno in minuti.
Il file è per un foglio di calcolo italiano: UTF-8 con BOM, campi separati da
';', righe terminate da CR LF, una riga di intestazione. Un testo che inizia
con =, +, -, @, una tabulazione, un ritorno carrello (CR) o un a capo (LF), e
non è un numero, riceve un apostrofo davanti, perché il foglio di calcolo non
lo prenda per una formula.
Senza FILE.csv scrive sullo standard output. FILE.csv viene sostituito per
intero solo a lavoro finito; un file che è un archivio non viene sovrascritto.
)";

const char kRiepilogoHelp[] = R"(Uso: zelvaro-archivio riepilogo [--settimane] ARCHIVIO [FILE.csv]

Scrive in CSV il riepilogo delle ore dei movimenti che la finestra elenca, una
riga per mese in ordine di data:
  Anno;Mese;Giorni;Incompleti;Minuti;Ore;Ore decimali
Con --settimane una riga per settimana ISO 8601, dal lunedì alla domenica:
  Anno ISO;Settimana;Dal;Al;Giorni;Incompleti;Minuti;Ore;Ore decimali
Seguono la riga "Data non valida", se ci sono movimenti il cui anno, mese o
giorno non formano una data vera, e la riga "Totale".
Giorni sono le date con almeno un movimento con il 1° periodo completo;
Incompleti i movimenti con il 1° periodo incompleto, che contano 0 minuti.
Minuti e Ore sono la somma dei totali del giorno calcolati come nella finestra;
Ore decimali ha due decimali con la virgola.
Il file è per un foglio di calcolo italiano: UTF-8 con BOM, campi separati da
';', righe terminate da CR LF, una riga di intestazione.
Senza FILE.csv scrive sullo standard output. FILE.csv viene sostituito per
intero solo a lavoro finito; un file che è un archivio non viene sovrascritto.
)";

const char kVerificaHelp[] = R"(Uso: zelvaro-archivio verifica ARCHIVIO

Controlla l'archivio senza modificarlo: il controllo di integrità di SQLite, la
tabella MOV_MAG con tutte le sue colonne come li controlla Zelvaro all'avvio,
il numero delle righe, i NUM_MOV mancanti o ripetuti, le tabelle del saldo ore
(ORARIO_CONTRATTUALE, ASSENZE, IMPOSTAZIONI) quando ci sono, con le loro colonne
e le loro righe; un danno è attribuito per nome alla tabella in cui si trova.
Elenca poi le righe che "Conferma" rifiuterebbe così come sono (1° periodo
incompleto, un periodo dato a metà, NUM_MOV non maggiore di 0): sono un avviso,
non un danno del file. Controlla anche che la lunghezza del file sia quella
delle sue pagine.
Se accanto all'archivio c'è il giornale (ARCHIVIO-journal) di una modifica
interrotta, per esempio da un arresto improvviso durante "Conferma", e si ha il
permesso di scrivere l'archivio e la sua cartella, SQLite annulla la modifica
come fa Zelvaro all'apertura; senza quel permesso il comando non controlla
l'archivio e dice come farlo: non è un danno.
Stato di uscita 0 solo se l'archivio è integro.
)";

const char kRiparaHelp[] = R"(Uso: zelvaro-archivio ripara DANNEGGIATO NUOVO

Salva nell'archivio nuovo NUOVO ogni riga della tabella MOV_MAG, e delle tabelle
del saldo ore quando ci sono, che si trova ancora intera nel file DANNEGGIATO.
Le righe sono lette direttamente dalle pagine del file, come fa il recupero di
SQLite: anche da un file troncato, con l'intestazione danneggiata o con byte
estranei in coda; le pagine che la tabella non raggiunge più sono riconosciute
dalla forma delle loro righe, quelle libere (righe cancellate) sono escluse.
Ogni riga conserva il suo NUM_MOV; se due pagine danno lo stesso numero resta la
prima copia trovata e le altre sono elencate. Ogni pagina è letta una volta
sola, così un file danneggiato non può far girare il comando all'infinito.

Alla fine dice quante righe ha salvato e, letto il nuovo archivio, quali NUM_MOV
da 1 al più alto trovato mancano ("NUM_MOV da 926 a 1055"): righe perse, o
cancellate prima del danno. Le righe lette da pagine danneggiate possono essere
alterate: vanno confrontate con una copia giornaliera.

DANNEGGIATO è solo letto; soltanto una modifica interrotta (il suo giornale
-journal) viene annullata da SQLite prima della lettura, e le modifiche di un
file -wal vengono riportate nell'archivio, quando si ha il permesso di scrivere
l'archivio e la sua cartella, come fa Zelvaro all'apertura.
NUOVO non deve esistere: un file già presente non viene mai toccato. Il nuovo
archivio prende il suo nome solo a lavoro finito; se qualcosa non va il comando
non crea nulla.
Stato di uscita 0 solo se non si è perso nulla (il controllo di integrità di
SQLite non trova danni e ogni riga è stata letta e salvata), 1 altrimenti.
)";

const char kCopiaHelp[] = R"(Uso: zelvaro-archivio copia ARCHIVIO DESTINAZIONE

Scrive in DESTINAZIONE una copia coerente dell'archivio con la copia in linea
di SQLite: si può fare anche mentre Zelvaro usa l'archivio.
DESTINAZIONE non deve esistere: un file già presente non viene mai toccato. La
copia prende il suo nome solo quando è completa e controllata; se qualcosa non
va non resta nulla.
)";

bool isHelp(const QString &word)
{
    return word == QLatin1String("--help") || word == QLatin1String("-h");
}

int crea(const QStringList &args, QIODevice &out, QIODevice &err)
{
    const QString &path = args.at(0);
    const Outcome error = Archive::create(path);
    if (error.failed())
        return fail(err, QStringLiteral("archivio ") + quoted(path) + QStringLiteral(" non creato: ") +
                             lowerFirst(error.text));
    writeLine(out, QStringLiteral("Creato l'archivio vuoto ") + quoted(path));
    return kExitOk;
}

const QString kAvanzamento = QStringLiteral("--avanzamento");

// One "Righe lette: N di M" line, written by the reading process straight to standard output so
// that a program that runs the import can show how far it has come.
void writeImportProgress(qint64 read, qint64 declared)
{
    const QByteArray line =
        "Righe lette: " + QByteArray::number(read) + " di " + QByteArray::number(declared) + '\n';
    for (qsizetype written = 0; written < line.size();) {
        const ssize_t n = ::write(STDOUT_FILENO, line.constData() + written, size_t(line.size() - written));
        if (n <= 0 && errno != EINTR)
            return; // no reader: the import goes on all the same
        written += std::max<ssize_t>(n, 0);
    }
}

int importa(const QStringList &options, QIODevice &out, QIODevice &err)
{
    QStringList args = options;
    const bool progress = args.removeAll(kAvanzamento) > 0;
    const QString &source = args.at(0);
    const QString &destination = args.at(1);
    QElapsedTimer timer;
    timer.start();
    const ImportReport outcome = importAccessArchive(
        source, destination, progress ? ImportProgress(writeImportProgress) : ImportProgress());
    const qint64 elapsed = timer.elapsed();
    if (outcome.outcome.failed()) {
        QString message =
            QStringLiteral("importazione non eseguita, nessun archivio creato: ") + outcome.outcome.text;
        for (const QString &note : outcome.libmdbNotes)
            message += QStringLiteral("\n  libmdb: ") + note;
        return fail(err, message);
    }
    for (const QString &note : outcome.libmdbNotes)
        writeLine(err, kProgram + QStringLiteral(": avviso di libmdb: ") + note);
    if (outcome.unlistedRows == 1)
        writeLine(err, kProgram + QStringLiteral(": attenzione: 1 riga con NUM_MOV 0 o negativo è stata "
                                                 "importata, ma la finestra non la mostra"));
    else if (outcome.unlistedRows > 1)
        writeLine(err,
                  kProgram + QStringLiteral(": attenzione: ") + QString::number(outcome.unlistedRows) +
                      QStringLiteral(" righe con NUM_MOV 0 o negativo sono state importate, ma la finestra "
                                     "non le mostra"));
    writeLine(out, (outcome.rows == 1 ? QStringLiteral("Importata 1 riga")
                                      : QStringLiteral("Importate ") + QString::number(outcome.rows) +
                                            QStringLiteral(" righe")) +
                       QStringLiteral(" da ") + quoted(source) + QStringLiteral(" in ") +
                       quoted(destination) + QStringLiteral(" in ") + secondsText(elapsed));
    return kExitOk;
}

int esporta(const QStringList &args, QIODevice &out, QIODevice &err)
{
    const QString &path = args.at(0);
    ArchiveReading reading(path);
    const std::unique_ptr<Archive> archive = openForReading(reading, path, err);
    if (!archive)
        return kExitFailure;
    qsizetype rows = 0;
    return writeCsv([&](CsvWriter &csv) { return writeHoursCsv(*archive, csv, &rows); }, path, args.value(1),
                    [&] { return exportDoneText(rows, args.value(1)); }, out, err);
}

const QString kSettimane = QStringLiteral("--settimane");

int riepilogo(const QStringList &options, QIODevice &out, QIODevice &err)
{
    QStringList args = options;
    const bool weeks = args.removeAll(kSettimane) > 0;
    const QString &path = args.at(0);
    ArchiveReading reading(path);
    const std::unique_ptr<Archive> archive = openForReading(reading, path, err);
    if (!archive)
        return kExitFailure;
    HoursSummary summary;
    if (const Outcome error = summarizeArchive(*archive, &summary); error.failed())
        return readFailure(err, path, error);
    archive->close();
    const QString groups = groupsText(weeks ? summary.weeks.size() : summary.months.size(), weeks);
    const auto write = [&](CsvWriter &csv) {
        writeSummaryCsv(summary, weeks ? SummaryRows::Weeks : SummaryRows::Months, csv);
        return Outcome();
    };
    return writeCsv(
        write, path, args.value(1),
        [&] {
            return QStringLiteral("Scritto il riepilogo di ") + groups + QStringLiteral(" in ") +
                   quoted(args.value(1));
        },
        out, err);
}

int verifica(const QStringList &args, QIODevice &out, QIODevice &err)
{
    const QString &path = args.at(0);
    const CheckReport report = checkArchive(path);
    for (const QString &line : reportLines(path, report))
        writeLine(out, line);
    if (!report.interrupted.isEmpty())
        return fail(err, QStringLiteral("l'archivio non è stato controllato: ") + report.interrupted);
    if (!report.sound)
        return fail(err, QStringLiteral("l'archivio ") + quoted(path) + QStringLiteral(" non è integro: ") +
                             report.problems.join(QStringLiteral("; ")));
    return kExitOk;
}

int ripara(const QStringList &args, QIODevice &out, QIODevice &err)
{
    const QString &source = args.at(0);
    const QString &destination = args.at(1);
    QElapsedTimer timer;
    timer.start();
    const RepairReport report = repairArchive(source, destination);
    if (report.outcome.failed())
        return fail(err, QStringLiteral("riparazione non eseguita, nessun archivio creato: ") +
                             report.outcome.text);
    const auto [outLines, errLines] = repairReportLines(report, source, destination, timer.elapsed());
    for (const QString &line : outLines)
        writeLine(out, line);
    for (const QString &line : errLines)
        writeLine(err, kProgram + QStringLiteral(": ") + line);
    return report.lossless() ? kExitOk : kExitFailure;
}

int copia(const QStringList &args, QIODevice &out, QIODevice &err)
{
    const QString &source = args.at(0);
    const QString &destination = args.at(1);
    QElapsedTimer timer;
    timer.start();
    ArchiveReading reading(source);
    Outcome error = prepareReading(reading, source, err);
    if (error)
        return fail(err, backupFailureText(error.text));
    const std::unique_ptr<Archive> archive = Archive::open(source, &error, Archive::OpenMode::ReadOnly);
    if (!archive)
        return fail(err, backupFailureText(QStringLiteral("impossibile aprire l'archivio ") + quoted(source) +
                                           QStringLiteral(": ") + lowerFirst(error.text)));
    error = archive->backupTo(destination);
    if (error.failed())
        return fail(err, backupFailureText(error.text));
    writeLine(out, backupDoneText(source, destination, timer.elapsed()));
    return kExitOk;
}

const QList<Command> &commands()
{
    static const QList<Command> list =
        QList<Command>{
            {QStringLiteral("crea"), kCreaHelp, 1, 1, crea},
            {QStringLiteral("importa"), kImportaHelp, 2, 2, importa, {kAvanzamento}},
            {QStringLiteral("esporta"), kEsportaHelp, 1, 2, esporta},
            {QStringLiteral("riepilogo"), kRiepilogoHelp, 1, 2, riepilogo, {kSettimane}},
            {QStringLiteral("verifica"), kVerificaHelp, 1, 1, verifica},
            {QStringLiteral("ripara"), kRiparaHelp, 2, 2, ripara},
            {QStringLiteral("copia"), kCopiaHelp, 2, 2, copia},
        } +
        balanceCommands();
    return list;
}

} // namespace

int runArchivio(const QStringList &arguments, QIODevice &out, QIODevice &err)
{
    if (arguments.isEmpty()) {
        write(err, QString::fromUtf8(kProgramHelp));
        return kExitUsage;
    }
    const QString &name = arguments.first();
    if (isHelp(name)) {
        write(out, QString::fromUtf8(kProgramHelp));
        return kExitOk;
    }
    if (name == QLatin1String("--version")) {
        write(out, versionText(kProgram, QCoreApplication::applicationVersion()));
        return kExitOk;
    }
    for (const Command &command : commands()) {
        if (command.name != name)
            continue;
        const QStringList args = arguments.mid(1);
        if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
            write(out, QString::fromUtf8(command.help));
            return kExitOk;
        }
        qsizetype words = args.size();
        for (const QString &option : command.options)
            words -= args.count(option);
        if (words < command.minArguments)
            return usageError(err, name,
                              QStringLiteral("argomenti mancanti per \"") + name + QLatin1Char('"'));
        if (words > command.maxArguments)
            return usageError(err, name, QStringLiteral("troppi argomenti per \"") + name + QLatin1Char('"'));
        if (name == QLatin1String("importa") && !accessImportAvailable())
            return fail(err, importAccessArchive(QString(), QString()).outcome.text);
        return command.run(args, out, err);
    }
    return usageError(err, QString(), QStringLiteral("comando sconosciuto \"") + name + QLatin1Char('"'));
}

} // namespace zelvaro
