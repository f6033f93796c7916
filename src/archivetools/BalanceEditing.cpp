#include "BalanceEditing.h"

#include "Archive.h"
#include "BalanceTables.h"
#include "BalanceText.h"
#include "Texts.h"

#include <algorithm>

namespace zelvaro {

namespace {

const QString kWeekdays[] = {QStringLiteral("lunedì"),    QStringLiteral("martedì"),
                             QStringLiteral("mercoledì"), QStringLiteral("giovedì"),
                             QStringLiteral("venerdì"),   QStringLiteral("sabato"),
                             QStringLiteral("domenica")};

BalanceEdit done(const QString &text)
{
    return {BalanceEdit::Ending::Done, text, 0};
}

BalanceEdit refused(const QString &text)
{
    return {BalanceEdit::Ending::Refused, text, 0};
}

// «value», the way a refusal names what the user typed.
QString typed(const QString &value)
{
    return QStringLiteral("«") + value + QStringLiteral("»");
}

// The date GG/MM/AAAA, or the refusal naming it.
std::optional<QDate> dateOf(const QString &text, BalanceEdit *refusal)
{
    const QDate date = parseDate(text);
    if (!date.isValid()) {
        *refusal =
            refused(QStringLiteral("data ") + typed(text) +
                    QStringLiteral(" non valida: le date si scrivono GG/MM/AAAA (per esempio 01/04/2025)"));
        return std::nullopt;
    }
    return date;
}

const QString kHourForm = QStringLiteral("si scrivono H o H.MM, con MM da 00 a 59, fino a 24.00");

std::optional<int> dayMinutesOf(const QString &text, const QString &what, BalanceEdit *refusal)
{
    const std::optional<int> minutes = parseDayMinutes(text);
    if (!minutes)
        *refusal = refused(QStringLiteral("ore ") + typed(text) + QLatin1Char(' ') + what +
                           QStringLiteral(" non valide: ") + kHourForm);
    return minutes;
}

// The range DAL [AL]: `to` empty is `from` alone.
bool rangeOf(const QString &fromText, const QString &toText, QDate *from, QDate *to, BalanceEdit *refusal)
{
    const std::optional<QDate> first = dateOf(fromText, refusal);
    if (!first)
        return false;
    const std::optional<QDate> last = toText.isEmpty() ? first : dateOf(toText, refusal);
    if (!last)
        return false;
    if (*last < *first) {
        *refusal = refused(QStringLiteral("la data finale ") + userDateText(*last) +
                           QStringLiteral(" viene prima di quella iniziale ") + userDateText(*first));
        return false;
    }
    *from = *first;
    *to = *last;
    return true;
}

// "dal 06/04/2026 al 10/04/2026", or "il 06/04/2026" for one day.
QString rangeText(QDate from, QDate to)
{
    if (from == to)
        return QStringLiteral("il ") + userDateText(from);
    return QStringLiteral("dal ") + userDateText(from) + QStringLiteral(" al ") + userDateText(to);
}

bool oneLine(const QString &text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            return false;
    }
    return true;
}

// Why a day gets no absence: empty when its expected minutes are above 0.
QString skipReason(const QList<ContractEntry> &contract, const std::optional<PatronDay> &patron, QDate date)
{
    const std::optional<int> expected = expectedMinutes(contract, patron, date);
    if (!expected)
        return QStringLiteral("prima dell'orario contrattuale");
    if (*expected > 0)
        return QString();
    const QString holiday = holidayName(date, patron);
    if (!holiday.isEmpty())
        return QStringLiteral("festività (") + holiday + QLatin1Char(')');
    return QStringLiteral("giorno non lavorativo");
}

} // namespace

QString userDateText(QDate date)
{
    return date.toString(u"dd/MM/yyyy");
}

BalanceEditor::BalanceEditor(Archive &archive, std::function<void()> beforeWrite)
    : m_archive(archive), m_beforeWrite(std::move(beforeWrite))
{
}

BalanceEdit BalanceEditor::failed(const Outcome &error) const
{
    return {BalanceEdit::Ending::Failed,
            quoted(m_archive.path()) + QStringLiteral(": ") + lowerFirst(error.text), error.code};
}

BalanceEdit BalanceEditor::addContractEntry(const QString &fromText, const QStringList &hours)
{
    Q_ASSERT(hours.size() == 7);
    BalanceEdit refusal;
    const std::optional<QDate> from = dateOf(fromText, &refusal);
    if (!from)
        return refusal;
    ContractEntry entry{*from, {}};
    for (int day = 0; day < 7; ++day) {
        const std::optional<int> minutes =
            dayMinutesOf(hours.value(day), QStringLiteral("del ") + kWeekdays[day], &refusal);
        if (!minutes)
            return refusal;
        entry.minutes[day] = *minutes;
    }
    if (m_beforeWrite)
        m_beforeWrite();
    bool replaced = false;
    if (const Outcome error = BalanceTables(m_archive).saveContractEntry(entry, &replaced))
        return failed(error);
    return done((replaced ? QStringLiteral("Sostituito") : QStringLiteral("Registrato")) +
                QStringLiteral(" l'orario contrattuale dal ") + userDateText(entry.from) +
                QStringLiteral(" in ") + quoted(m_archive.path()));
}

BalanceEdit BalanceEditor::removeContractEntry(const QString &fromText)
{
    BalanceEdit refusal;
    const std::optional<QDate> from = dateOf(fromText, &refusal);
    if (!from)
        return refusal;
    StoredBalance stored;
    if (const Outcome error = BalanceTables(m_archive).read(&stored))
        return failed(error);
    const auto entry = std::find_if(stored.contract.cbegin(), stored.contract.cend(),
                                    [&](const ContractEntry &e) { return e.from == *from; });
    const QString absent = QStringLiteral("nessun orario contrattuale dal ") + userDateText(*from) +
                           QStringLiteral(" in ") + quoted(m_archive.path());
    if (entry == stored.contract.cend())
        return refused(absent);
    if (m_beforeWrite)
        m_beforeWrite();
    bool removed = false;
    if (const Outcome error = BalanceTables(m_archive).removeContractEntry(*from, &removed))
        return failed(error);
    if (!removed) // removed meanwhile by another program
        return refused(absent);
    return done(QStringLiteral("Tolto l'orario contrattuale dal ") + userDateText(*from) +
                QStringLiteral(" da ") + quoted(m_archive.path()));
}

BalanceEdit BalanceEditor::addAbsences(const QString &typeText, const QString &fromText,
                                       const QString &toText, const std::optional<QString> &hours)
{
    const std::optional<AbsenceType> type = absenceTypeFromWord(typeText);
    if (!type)
        return refused(
            QStringLiteral("tipo di assenza ") + typed(typeText) +
            QStringLiteral(" sconosciuto: i tipi sono ferie, malattia, permesso, festivita e recupero"));
    BalanceEdit refusal;
    QDate from, to;
    if (!rangeOf(fromText, toText, &from, &to, &refusal))
        return refusal;
    std::optional<int> lasting;
    if (hours) {
        lasting = dayMinutesOf(*hours, QStringLiteral("dell'assenza"), &refusal);
        if (!lasting)
            return refusal;
    }
    StoredBalance stored;
    if (const Outcome error = BalanceTables(m_archive).read(&stored))
        return failed(error);

    QMap<QDate, Absence> absences;
    QStringList skipped; // consecutive days skipped for the same reason make one line
    QDate skipFrom;
    QString skipWhy;
    const auto closeSkip = [&](QDate last) {
        if (skipFrom.isValid())
            skipped << QStringLiteral("  ") +
                           (skipFrom == last ? userDateText(skipFrom) : rangeText(skipFrom, last)) +
                           QStringLiteral(": ") + skipWhy;
        skipFrom = QDate();
    };
    for (QDate date = from; date <= to; date = date.addDays(1)) {
        const QString why = skipReason(stored.contract, stored.settings.patron, date);
        if (skipFrom.isValid() && why != skipWhy)
            closeSkip(date.addDays(-1));
        if (why.isEmpty()) {
            const int expected = *expectedMinutes(stored.contract, stored.settings.patron, date);
            absences.insert(date, Absence{*type, lasting.value_or(expected)});
        } else if (!skipFrom.isValid()) {
            skipFrom = date;
            skipWhy = why;
        }
    }
    closeSkip(to);
    const QString skipList = skipped.isEmpty()
                                 ? QString()
                                 : QStringLiteral("\nGiorni saltati:\n") + skipped.join(QLatin1Char('\n'));
    if (absences.isEmpty())
        return refused(QStringLiteral("nessuna assenza registrata: nessun giorno ") + rangeText(from, to) +
                       QStringLiteral(" prevede ore di lavoro") + skipList);
    if (m_beforeWrite)
        m_beforeWrite();
    int replaced = 0;
    if (const Outcome error = BalanceTables(m_archive).saveAbsences(absences, &replaced))
        return failed(error);
    QString text = (absences.size() == 1 ? QStringLiteral("Registrata 1 assenza")
                                         : QStringLiteral("Registrate %1 assenze").arg(absences.size())) +
                   QStringLiteral(" di tipo ") + absenceTypeWord(*type) + QLatin1Char(' ') +
                   rangeText(from, to) + QStringLiteral(" in ") + quoted(m_archive.path());
    if (replaced == 1)
        text += QStringLiteral(" (1 al posto di un'assenza già registrata)");
    else if (replaced > 1)
        text += QStringLiteral(" (%1 al posto di assenze già registrate)").arg(replaced);
    return done(text + skipList);
}

BalanceEdit BalanceEditor::removeAbsences(const QString &fromText, const QString &toText)
{
    BalanceEdit refusal;
    QDate from, to;
    if (!rangeOf(fromText, toText, &from, &to, &refusal))
        return refusal;
    StoredBalance stored;
    if (const Outcome error = BalanceTables(m_archive).read(&stored))
        return failed(error);
    const QString absent = QStringLiteral("nessuna assenza ") + rangeText(from, to) + QStringLiteral(" in ") +
                           quoted(m_archive.path());
    const auto first = stored.absences.lowerBound(from);
    if (first == stored.absences.cend() || first.key() > to)
        return refused(absent);
    if (m_beforeWrite)
        m_beforeWrite();
    int removed = 0;
    if (const Outcome error = BalanceTables(m_archive).removeAbsences(from, to, &removed))
        return failed(error);
    if (removed == 0)
        return refused(absent);
    return done((removed == 1 ? QStringLiteral("Tolta 1 assenza ")
                              : QStringLiteral("Tolte %1 assenze ").arg(removed)) +
                rangeText(from, to) + QStringLiteral(" da ") + quoted(m_archive.path()));
}

BalanceEdit BalanceEditor::changeSettings(const SettingsTexts &texts)
{
    SettingsChange change;
    QStringList names;
    if (texts.worker) {
        if (!oneLine(*texts.worker))
            return refused(
                QStringLiteral("nome ") + typed(*texts.worker) +
                QStringLiteral(" non valido: va scritto su una riga, senza caratteri di controllo"));
        change.worker = *texts.worker;
        names << QStringLiteral("nome");
    }
    if (texts.employer) {
        if (!oneLine(*texts.employer))
            return refused(
                QStringLiteral("datore di lavoro ") + typed(*texts.employer) +
                QStringLiteral(" non valido: va scritto su una riga, senza caratteri di controllo"));
        change.employer = *texts.employer;
        names << QStringLiteral("datore di lavoro");
    }
    if (texts.patron) {
        const std::optional<PatronDay> patron = parsePatronDay(*texts.patron);
        if (!patron && !texts.patron->isEmpty())
            return refused(
                QStringLiteral("santo patrono ") + typed(*texts.patron) +
                QStringLiteral(" non valido: si scrive GG/MM (per esempio 04/10), o vuoto per nessuno"));
        change.patron = patron;
        names << QStringLiteral("santo patrono");
    }
    if (texts.openingBalance) {
        change.openingBalance = parseSignedMinutes(*texts.openingBalance);
        if (!change.openingBalance)
            return refused(
                QStringLiteral("saldo iniziale ") + typed(*texts.openingBalance) +
                QStringLiteral(" non valido: si scrive H o H.MM, con MM da 00 a 59, e un - davanti se "
                               "è negativo"));
        names << QStringLiteral("saldo iniziale");
    }
    if (names.isEmpty())
        return done(QStringLiteral("Nessuna impostazione da salvare"));
    if (m_beforeWrite)
        m_beforeWrite();
    if (const Outcome error = BalanceTables(m_archive).saveSettings(change))
        return failed(error);
    return done(QStringLiteral("Salvate le impostazioni in ") + quoted(m_archive.path()) +
                QStringLiteral(": ") + names.join(QStringLiteral(", ")));
}

QString contractEntryText(const ContractEntry &entry)
{
    static const char *const days[] = {"lun", "mar", "mer", "gio", "ven", "sab", "dom"};
    QStringList hours;
    for (int day = 0; day < 7; ++day)
        hours << QLatin1String(days[day]) + QLatin1Char(' ') + hourValueText(entry.minutes[day]);
    return QStringLiteral("Dal ") + userDateText(entry.from) + QStringLiteral(": ") +
           hours.join(QStringLiteral(", "));
}

QString absenceText(QDate date, const Absence &absence)
{
    return userDateText(date) + QLatin1Char(' ') + absenceTypeWord(absence.type) + QLatin1Char(' ') +
           hourValueText(absence.minutes);
}

QStringList settingsLines(const BalanceSettings &settings)
{
    const auto orNone = [](const QString &text) {
        return text.isEmpty() ? QStringLiteral("(non indicato)") : text;
    };
    return {QStringLiteral("Nome: ") + orNone(settings.worker),
            QStringLiteral("Datore di lavoro: ") + orNone(settings.employer),
            QStringLiteral("Santo patrono: ") +
                (settings.patron ? patronDayText(*settings.patron) : QStringLiteral("(nessuno)")),
            QStringLiteral("Saldo iniziale: ") + hourValueText(settings.openingBalance)};
}

} // namespace zelvaro
