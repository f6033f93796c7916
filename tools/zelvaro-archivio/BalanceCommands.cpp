#include "BalanceCommands.h"

#include "ArchiveReading.h"
#include "BalanceCsv.h"
#include "BalanceEditing.h"
#include "BalanceTables.h"
#include "CsvFile.h"
#include "Texts.h"

#include <QIODevice>
#include <QMap>

namespace zelvaro {

namespace {

const char kOrarioHelp[] = R"(Uso: zelvaro-archivio orario ARCHIVIO
     zelvaro-archivio orario ARCHIVIO DAL LUN MAR MER GIO VEN SAB DOM
     zelvaro-archivio orario ARCHIVIO --togli DAL

L'orario contrattuale: le ore previste per ogni giorno della settimana, dal
lunedì alla domenica, valide dalla data DAL in poi. A ogni giorno si applica
l'orario con la DAL più recente non successiva al giorno; più orari descrivono
un contratto che è cambiato (tempo pieno, poi part-time).

Con il solo ARCHIVIO elenca gli orari. Con DAL e le sette ore registra l'orario
valido da DAL, al posto di quello che ha la stessa DAL. Con --togli DAL toglie
l'orario che parte da DAL.

Le date si scrivono GG/MM/AAAA; le ore H o H.MM, con MM da 00 a 59 (7.36 sono
7 ore e 36 minuti), fino a 24.00. Un valore scritto in altro modo viene
rifiutato e l'archivio resta com'è (stato di uscita 2). Il comando funziona
anche mentre Zelvaro ha l'archivio aperto.
)";

const char kAssenzaHelp[] = R"(Uso: zelvaro-archivio assenza ARCHIVIO
     zelvaro-archivio assenza ARCHIVIO TIPO DAL [AL] [--ore H.MM]
     zelvaro-archivio assenza ARCHIVIO --togli DAL [AL]

Le assenze, al più una per giorno. TIPO è ferie, malattia, permesso,
festivita (una chiusura aziendale) o recupero (ore prese dalla banca ore: si
vedono, ma non contano nel saldo).

Con il solo ARCHIVIO elenca le assenze. Con TIPO e DAL registra un'assenza in
ogni giorno da DAL ad AL compresi (senza AL, il solo DAL) per cui l'orario
contrattuale prevede ore di lavoro: dura le ore di --ore o, senza, le ore
previste quel giorno, e prende il posto dell'assenza che il giorno aveva già.
I giorni saltati vengono elencati con il motivo: festività, giorno non
lavorativo, prima dell'orario contrattuale. Con --togli toglie le assenze da DAL
ad AL compresi.

Le date si scrivono GG/MM/AAAA; le ore H o H.MM, con MM da 00 a 59, fino a
24.00. Un valore scritto in altro modo viene rifiutato e l'archivio resta com'è
(stato di uscita 2), come quando nessun giorno resta da registrare o da
togliere. Il comando funziona anche mentre Zelvaro ha l'archivio aperto.
)";

const char kImpostazioniHelp[] =
    R"(Uso: zelvaro-archivio impostazioni ARCHIVIO [--nome TESTO] [--datore TESTO]
            [--patrono GG/MM] [--saldo-iniziale [-]H.MM]

Senza opzioni mostra le impostazioni del saldo; con le opzioni cambia quelle
indicate e lascia le altre come sono:
  --nome TESTO              il nome del dipendente (vuoto per nessuno)
  --datore TESTO            il datore di lavoro (vuoto per nessuno)
  --patrono GG/MM           il giorno del santo patrono, festa locale
                            (vuoto per nessuno)
  --saldo-iniziale [-]H.MM  la banca ore alla prima data dell'orario
                            contrattuale, con - davanti se negativa

Le ore si scrivono H o H.MM, con MM da 00 a 59. Un valore scritto in altro
modo viene rifiutato e l'archivio resta com'è (stato di uscita 2). Il comando
funziona anche mentre Zelvaro ha l'archivio aperto.
)";

const char kSaldoHelp[] = R"(Uso: zelvaro-archivio saldo [--settimane] ARCHIVIO [FILE.csv]

Scrive in CSV il saldo delle ore rispetto all'orario contrattuale, una riga per
mese in ordine di data:
  Anno;Mese;Minuti lavorati;Minuti di assenza;Minuti previsti;Saldo minuti;Saldo progressivo minuti
Con --settimane una riga per settimana ISO 8601 (Dal e Al sono il lunedì e la
domenica della settimana intera):
  Anno ISO;Settimana;Dal;Al;Minuti lavorati;...;Saldo progressivo minuti
L'ultima riga, "Totale", ha le somme e il saldo progressivo finale.

Contano i giorni dalla prima data dell'orario contrattuale all'ultimo giorno
con un movimento o un'assenza; ogni mese o settimana compare, anche senza
movimenti. Minuti lavorati: i totali del giorno dei movimenti che la finestra
elenca, come nel riepilogo. Minuti previsti: quelli dell'orario contrattuale
per quel giorno della settimana, 0 nelle festività. Le assenze contano, tranne
il recupero. Saldo = lavorati + assenza - previsti; il saldo progressivo parte
dal saldo iniziale.
Festività: 1 gennaio, 6 gennaio (dal 1986), Pasqua e lunedì dell'Angelo,
25 aprile, 1 maggio, 2 giugno (dal 2001), 15 agosto, 4 ottobre (dal 2026),
1 novembre, 8 dicembre, 25 e 26 dicembre, e il santo patrono se indicato.

Il file è per un foglio di calcolo italiano: UTF-8 con BOM, campi separati da
';', righe terminate da CR LF. Senza FILE.csv scrive sullo standard output.
Senza orario contrattuale non scrive nulla e termina con stato 1.
)";

const QString kTogli = QStringLiteral("--togli");
const QString kOre = QStringLiteral("--ore");
const QString kSettimane = QStringLiteral("--settimane");

// The words of a command line: the arguments in order, the options with a value and the flags.
struct Words
{
    QStringList arguments;
    QMap<QString, QString> values;
    QStringList flags;
};

// Splits `args`: each word of `valued` takes the next word as its value (also one that begins with
// '-'), each of `flags` stands alone, any other word that begins with "--" is refused.
bool splitWords(const QStringList &args, const QStringList &valued, const QStringList &flags, Words *words,
                QString *error)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &word = args.at(i);
        if (!word.startsWith(QLatin1String("--"))) {
            words->arguments << word;
            continue;
        }
        if (words->values.contains(word) || words->flags.contains(word)) {
            *error = QStringLiteral("opzione \"") + word + QStringLiteral("\" ripetuta");
            return false;
        }
        if (flags.contains(word)) {
            words->flags << word;
        } else if (!valued.contains(word)) {
            *error = QStringLiteral("opzione sconosciuta \"") + word + QLatin1Char('"');
            return false;
        } else if (i + 1 == args.size()) {
            *error = QStringLiteral("manca il valore di \"") + word + QLatin1Char('"');
            return false;
        } else {
            words->values.insert(word, args.at(++i));
        }
    }
    return true;
}

int countError(QIODevice &err, const QString &command, bool missing)
{
    return usageError(
        err, command,
        (missing ? QStringLiteral("argomenti mancanti per \"") : QStringLiteral("troppi argomenti per \"")) +
            command + QLatin1Char('"'));
}

int report(const BalanceEdit &edit, QIODevice &out, QIODevice &err)
{
    switch (edit.ending) {
    case BalanceEdit::Ending::Done:
        writeLine(out, edit.text);
        return kExitOk;
    case BalanceEdit::Ending::Refused:
        return fail(err, edit.text, kExitUsage);
    case BalanceEdit::Ending::Failed:
        break;
    }
    return fail(err, edit.text);
}

// Opens the archive for a change and makes it; the change reports how it ended.
int change(const QString &path, QIODevice &out, QIODevice &err,
           const std::function<BalanceEdit(BalanceEditor &)> &edit)
{
    const std::unique_ptr<Archive> archive = openArchive(path, err, Archive::OpenMode::ReadWrite);
    if (!archive)
        return kExitFailure;
    BalanceEditor editor(*archive);
    return report(edit(editor), out, err);
}

// Reads what is stored and lists it.
int list(const QString &path, QIODevice &out, QIODevice &err,
         const std::function<QStringList(const StoredBalance &)> &lines)
{
    ArchiveReading reading(path);
    const std::unique_ptr<Archive> archive = openForReading(reading, path, err);
    if (!archive)
        return kExitFailure;
    StoredBalance stored;
    if (const Outcome error = BalanceTables(*archive).read(&stored))
        return readFailure(err, path, error);
    for (const QString &line : lines(stored))
        writeLine(out, line);
    return kExitOk;
}

int orario(const QStringList &args, QIODevice &out, QIODevice &err)
{
    const QString name = QStringLiteral("orario");
    Words words;
    QString error;
    if (!splitWords(args, {}, {kTogli}, &words, &error))
        return usageError(err, name, error);
    const QStringList &a = words.arguments;
    if (words.flags.contains(kTogli)) {
        if (a.size() != 2)
            return countError(err, name, a.size() < 2);
        return change(a.at(0), out, err, [&](BalanceEditor &e) { return e.removeContractEntry(a.at(1)); });
    }
    if (a.size() == 1)
        return list(a.at(0), out, err, [&](const StoredBalance &stored) {
            QStringList lines;
            for (const ContractEntry &entry : stored.contract)
                lines << contractEntryText(entry);
            if (lines.isEmpty())
                lines << QStringLiteral("Nessun orario contrattuale in ") + quoted(a.at(0));
            return lines;
        });
    if (a.size() != 9)
        return countError(err, name, a.size() < 9);
    return change(a.at(0), out, err, [&](BalanceEditor &e) { return e.addContractEntry(a.at(1), a.mid(2)); });
}

int assenza(const QStringList &args, QIODevice &out, QIODevice &err)
{
    const QString name = QStringLiteral("assenza");
    Words words;
    QString error;
    if (!splitWords(args, {kOre}, {kTogli}, &words, &error))
        return usageError(err, name, error);
    const QStringList &a = words.arguments;
    if (words.flags.contains(kTogli)) {
        if (words.values.contains(kOre))
            return usageError(err, name, QStringLiteral("\"--ore\" non va con \"--togli\""));
        if (a.size() < 2 || a.size() > 3)
            return countError(err, name, a.size() < 2);
        return change(a.at(0), out, err,
                      [&](BalanceEditor &e) { return e.removeAbsences(a.at(1), a.value(2)); });
    }
    if (a.size() == 1 && words.values.isEmpty())
        return list(a.at(0), out, err, [&](const StoredBalance &stored) {
            QStringList lines;
            for (auto it = stored.absences.cbegin(); it != stored.absences.cend(); ++it)
                lines << absenceText(it.key(), *it);
            if (lines.isEmpty())
                lines << QStringLiteral("Nessuna assenza in ") + quoted(a.at(0));
            return lines;
        });
    if (a.size() < 3 || a.size() > 4)
        return countError(err, name, a.size() < 3);
    const std::optional<QString> hours =
        words.values.contains(kOre) ? std::optional<QString>(words.values.value(kOre)) : std::nullopt;
    return change(a.at(0), out, err,
                  [&](BalanceEditor &e) { return e.addAbsences(a.at(1), a.at(2), a.value(3), hours); });
}

int impostazioni(const QStringList &args, QIODevice &out, QIODevice &err)
{
    const QString name = QStringLiteral("impostazioni");
    const QString nome = QStringLiteral("--nome"), datore = QStringLiteral("--datore"),
                  patrono = QStringLiteral("--patrono"), saldoIniziale = QStringLiteral("--saldo-iniziale");
    Words words;
    QString error;
    if (!splitWords(args, {nome, datore, patrono, saldoIniziale}, {}, &words, &error))
        return usageError(err, name, error);
    const QStringList &a = words.arguments;
    if (a.size() != 1)
        return countError(err, name, a.isEmpty());
    if (words.values.isEmpty())
        return list(a.at(0), out, err,
                    [](const StoredBalance &stored) { return settingsLines(stored.settings); });
    const auto given = [&](const QString &option) {
        return words.values.contains(option) ? std::optional<QString>(words.values.value(option))
                                             : std::nullopt;
    };
    const SettingsTexts texts{given(nome), given(datore), given(patrono), given(saldoIniziale)};
    return change(a.at(0), out, err, [&](BalanceEditor &e) { return e.changeSettings(texts); });
}

int saldo(const QStringList &options, QIODevice &out, QIODevice &err)
{
    QStringList args = options;
    const SummaryRows rows = args.removeAll(kSettimane) > 0 ? SummaryRows::Weeks : SummaryRows::Months;
    const QString &path = args.at(0);
    const QString target = args.value(1);
    std::optional<Balance> balance;
    ArchiveReading reading(path);
    {
        const std::unique_ptr<Archive> archive = openForReading(reading, path, err);
        if (!archive)
            return kExitFailure;
        BalanceInput input;
        if (const Outcome error = readBalanceInput(*archive, &input))
            return readFailure(err, path, error);
        balance = computeBalance(input);
    }
    if (!balance)
        return fail(err,
                    QStringLiteral("nessun orario contrattuale in ") + quoted(path) +
                        QStringLiteral(": il saldo si misura sull'orario contrattuale, da registrare con "
                                       "\"zelvaro-archivio orario\""));
    const auto write = [&](CsvWriter &csv) {
        writeBalanceCsv(*balance, rows, csv);
        return Outcome();
    };
    return writeCsv(
        write, path, target,
        [&] {
            const bool weeks = rows == SummaryRows::Weeks;
            return QStringLiteral("Scritto il saldo di ") +
                   groupsText(weeks ? balance->weeks.size() : balance->months.size(), weeks) +
                   QStringLiteral(" in ") + quoted(target);
        },
        out, err);
}

} // namespace

QList<Command> balanceCommands()
{
    // The counts of arguments are checked again by each command, which knows its forms.
    return {
        {QStringLiteral("orario"), kOrarioHelp, 1, 9, orario},
        {QStringLiteral("assenza"), kAssenzaHelp, 1, 6, assenza},
        {QStringLiteral("impostazioni"), kImpostazioniHelp, 1, 9, impostazioni},
        {QStringLiteral("saldo"), kSaldoHelp, 1, 2, saldo, {kSettimane}},
    };
}

} // namespace zelvaro
