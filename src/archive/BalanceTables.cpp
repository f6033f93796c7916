#include "BalanceTables.h"

#include "Archive.h"
#include "ArchiveFailure.h"
#include "BalanceSchema.h"
#include "BalanceText.h"
#include "SqliteConnection.h"
#include "SqliteStatement.h"

namespace zelvaro {

namespace {

constexpr const char *kOrario = "ORARIO_CONTRATTUALE";
constexpr const char *kAssenze = "ASSENZE";
constexpr const char *kImpostazioni = "IMPOSTAZIONI";

constexpr const char *kTableExists =
    R"sql(SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE)sql";
constexpr const char *kUserVersion = R"sql(PRAGMA user_version)sql";

constexpr const char *kReadContract = R"sql(SELECT DAL, MIN_LUN, MIN_MAR, MIN_MER, MIN_GIO, MIN_VEN,
 MIN_SAB, MIN_DOM FROM ORARIO_CONTRATTUALE ORDER BY DAL)sql";
constexpr const char *kReadAbsences = R"sql(SELECT DATA, TIPO, MINUTI FROM ASSENZE ORDER BY DATA)sql";
constexpr const char *kReadSettings = R"sql(SELECT CHIAVE, VALORE FROM IMPOSTAZIONI)sql";

constexpr const char *kContractExists = R"sql(SELECT 1 FROM ORARIO_CONTRATTUALE WHERE DAL = ?1)sql";
constexpr const char *kSaveContract = R"sql(INSERT OR REPLACE INTO ORARIO_CONTRATTUALE (DAL, MIN_LUN,
 MIN_MAR, MIN_MER, MIN_GIO, MIN_VEN, MIN_SAB, MIN_DOM) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8))sql";
constexpr const char *kRemoveContract = R"sql(DELETE FROM ORARIO_CONTRATTUALE WHERE DAL = ?1)sql";
constexpr const char *kAbsenceExists = R"sql(SELECT 1 FROM ASSENZE WHERE DATA = ?1)sql";
constexpr const char *kSaveAbsence =
    R"sql(INSERT OR REPLACE INTO ASSENZE (DATA, TIPO, MINUTI) VALUES (?1, ?2, ?3))sql";
constexpr const char *kRemoveAbsences = R"sql(DELETE FROM ASSENZE WHERE DATA BETWEEN ?1 AND ?2)sql";
constexpr const char *kSaveSetting =
    R"sql(INSERT OR REPLACE INTO IMPOSTAZIONI (CHIAVE, VALORE) VALUES (?1, ?2))sql";
constexpr const char *kRemoveSetting = R"sql(DELETE FROM IMPOSTAZIONI WHERE CHIAVE = ?1)sql";

const QString kWorkerKey = QStringLiteral("nome");
const QString kEmployerKey = QStringLiteral("datore");
const QString kPatronKey = QStringLiteral("patrono");
const QString kOpeningKey = QStringLiteral("saldo_iniziale");

const QString kNotSaved = QStringLiteral("la modifica non è stata salvata");
const QString kSavedUnknown = QStringLiteral("non si è potuto verificare se la modifica è stata salvata");

// The date as stored: 'AAAA-MM-GG'.
QString storedText(QDate date)
{
    return date.toString(u"yyyy-MM-dd");
}

// A stored date, exactly 'AAAA-MM-GG' and a real date; invalid otherwise.
QDate storedDate(const QString &text)
{
    if (text.size() != 10 || text[4] != u'-' || text[7] != u'-')
        return {};
    for (const qsizetype i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (text[i] < u'0' || text[i] > u'9')
            return {};
    }
    const int year = text.first(4).toInt();
    const int month = text.sliced(5, 2).toInt();
    const int day = text.sliced(8, 2).toInt();
    return year >= 1000 && QDate::isValid(year, month, day) ? QDate(year, month, day) : QDate();
}

// Whole minutes of a day as stored: an integer from 0 to 24 hours; -1 otherwise.
int storedMinutes(const SqliteStatement &row, int column)
{
    if (row.columnType(column) != SQLITE_INTEGER)
        return -1;
    const qint64 minutes = row.columnInt64(column);
    return minutes >= 0 && minutes <= kMinutesPerDay ? int(minutes) : -1;
}

// A signed number of minutes written in digits, within an int.
std::optional<int> storedSignedMinutes(const QString &text)
{
    const QStringView digits = text.startsWith(u'-') ? QStringView(text).sliced(1) : QStringView(text);
    if (digits.isEmpty() || digits.size() > 10)
        return std::nullopt;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

Outcome badValue(const char *table, const char *column, const QString &row, const QString &value)
{
    return archiveFailure(SQLITE_MISMATCH,
                          QStringLiteral("Valore non valido nella tabella %1, colonna %2, %3: «%4»")
                              .arg(QLatin1String(table), QLatin1String(column), row, value));
}

// Runs a statement with the texts bound as ?1, ?2, ...; `gaveRow` (may be null) says whether it gave a
// row. SQLITE_DONE when it ran.
int run(const SqliteConnection &db, const char *sql, const QStringList &texts, bool *gaveRow = nullptr)
{
    SqliteStatement statement(db, sql);
    int rc = statement.prepareResult();
    for (int i = 0; rc == SQLITE_OK && i < texts.size(); ++i)
        rc = statement.bindText(i + 1, texts.at(i));
    if (rc == SQLITE_OK)
        rc = statement.step();
    if (gaveRow)
        *gaveRow = rc == SQLITE_ROW;
    return rc == SQLITE_ROW ? SQLITE_DONE : rc;
}

int tableExists(const SqliteConnection &db, const char *name, bool *exists)
{
    const int rc = run(db, kTableExists, {QString::fromLatin1(name)}, exists);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

// PRAGMA user_version into `version`; SQLITE_ROW when read.
int layoutVersion(const SqliteConnection &db, qint64 *version)
{
    SqliteStatement statement(db, kUserVersion);
    int rc = statement.prepareResult();
    if (rc == SQLITE_OK)
        rc = statement.step();
    if (rc == SQLITE_ROW)
        *version = statement.columnInt64(0);
    return rc;
}

// Creates the tables that are missing and marks the layout, inside the running transaction.
int createMissingTables(const SqliteConnection &db)
{
    const std::pair<const char *, const char *> tables[] = {{kOrario, kCreateOrarioContrattuale},
                                                            {kAssenze, kCreateAssenze},
                                                            {kImpostazioni, kCreateImpostazioni}};
    for (const auto &[name, create] : tables) {
        bool exists = false;
        int rc = tableExists(db, name, &exists);
        if (rc == SQLITE_OK && !exists)
            rc = db.exec(create);
        if (rc != SQLITE_OK)
            return rc;
    }
    qint64 version = 0;
    if (const int rc = layoutVersion(db, &version); rc != SQLITE_ROW)
        return rc;
    if (version >= kArchiveLayoutVersion)
        return SQLITE_OK;
    return db.exec(
        QByteArray("PRAGMA user_version = " + QByteArray::number(kArchiveLayoutVersion)).constData());
}

Outcome withOutcome(Outcome error, const QString &outcome)
{
    error.text += QStringLiteral(": ") + outcome;
    return error;
}

} // namespace

Outcome checkLayoutVersion(const SqliteConnection &connection)
{
    qint64 version = 0;
    if (const int rc = layoutVersion(connection, &version); rc != SQLITE_ROW)
        return connection.failure(rc);
    if (version <= kArchiveLayoutVersion)
        return {};
    return archiveFailure(
        SQLITE_CANTOPEN,
        QStringLiteral("L'archivio è stato creato da una versione più recente di Zelvaro "
                       "(versione %1 del formato; questa versione di Zelvaro arriva alla %2): "
                       "non viene aperto, perché non vada perso ciò che contiene")
            .arg(version)
            .arg(kArchiveLayoutVersion));
}

Outcome BalanceTables::read(StoredBalance *stored) const
{
    Q_ASSERT(stored != nullptr);
    const SqliteConnection *db = m_archive.m_connection.get();
    if (!db)
        return archiveFailure(SQLITE_MISUSE, QStringLiteral("Archivio chiuso"));
    StoredBalance result;
    bool exists = false;

    int rc = tableExists(*db, kOrario, &exists);
    if (rc == SQLITE_OK && exists) {
        SqliteStatement row(*db, kReadContract);
        rc = row.prepareResult();
        while (rc == SQLITE_OK && (rc = row.step()) == SQLITE_ROW) {
            const QString from = row.columnText(0);
            ContractEntry entry{storedDate(from), {}};
            if (!entry.from.isValid())
                return badValue(kOrario, "DAL", QStringLiteral("riga ") + from, from);
            for (int day = 0; day < 7; ++day) {
                entry.minutes[day] = storedMinutes(row, day + 1);
                if (entry.minutes[day] < 0)
                    return badValue(kOrario, sqlite3_column_name(row.get(), day + 1),
                                    QStringLiteral("riga del ") + from, row.columnText(day + 1));
            }
            result.contract.append(entry);
            rc = SQLITE_OK;
        }
        rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
    }

    if (rc == SQLITE_OK)
        rc = tableExists(*db, kAssenze, &exists);
    if (rc == SQLITE_OK && exists) {
        SqliteStatement row(*db, kReadAbsences);
        rc = row.prepareResult();
        while (rc == SQLITE_OK && (rc = row.step()) == SQLITE_ROW) {
            const QString day = row.columnText(0);
            const QDate date = storedDate(day);
            if (!date.isValid())
                return badValue(kAssenze, "DATA", QStringLiteral("riga ") + day, day);
            const std::optional<AbsenceType> type = absenceTypeFromWord(row.columnText(1));
            if (!type)
                return badValue(kAssenze, "TIPO", QStringLiteral("riga del ") + day, row.columnText(1));
            const int minutes = storedMinutes(row, 2);
            if (minutes < 0)
                return badValue(kAssenze, "MINUTI", QStringLiteral("riga del ") + day, row.columnText(2));
            result.absences.insert(date, Absence{*type, minutes});
            rc = SQLITE_OK;
        }
        rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
    }

    if (rc == SQLITE_OK)
        rc = tableExists(*db, kImpostazioni, &exists);
    if (rc == SQLITE_OK && exists) {
        SqliteStatement row(*db, kReadSettings);
        rc = row.prepareResult();
        BalanceSettings &settings = result.settings;
        while (rc == SQLITE_OK && (rc = row.step()) == SQLITE_ROW) {
            const QString key = row.columnText(0);
            const QString value = row.columnText(1);
            const QString where = QStringLiteral("riga ") + key;
            if (key == kWorkerKey) {
                settings.worker = value;
            } else if (key == kEmployerKey) {
                settings.employer = value;
            } else if (key == kPatronKey) {
                settings.patron = parsePatronDay(value);
                if (!settings.patron)
                    return badValue(kImpostazioni, "VALORE", where, value);
            } else if (key == kOpeningKey) {
                const std::optional<int> minutes = storedSignedMinutes(value);
                if (!minutes)
                    return badValue(kImpostazioni, "VALORE", where, value);
                settings.openingBalance = *minutes;
            } // a key of a later version is left for it
            rc = SQLITE_OK;
        }
        rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
    }
    if (rc != SQLITE_OK)
        return db->failure(rc);
    *stored = std::move(result);
    return {};
}

Outcome BalanceTables::write(const std::function<int(const SqliteConnection &)> &change)
{
    const SqliteConnection *db = m_archive.m_connection.get();
    if (!db)
        return withOutcome(archiveFailure(SQLITE_MISUSE, QStringLiteral("Archivio chiuso")), kNotSaved);
    Outcome commitError;
    {
        WriteTransaction transaction(*db);
        if (Outcome error = transaction.begin())
            return withOutcome(error, kNotSaved);
        int rc = change(*db);
        if (rc != SQLITE_OK && rc != SQLITE_DONE)
            return withOutcome(db->writeFailure(rc), kNotSaved);
        rc = transaction.commit();
        if (rc != SQLITE_OK)
            commitError = db->writeFailure(rc);
    }
    if (commitError.failed())
        return withOutcome(commitError, m_archive.journalLeft() ? kNotSaved : kSavedUnknown);
    return {};
}

Outcome BalanceTables::saveContractEntry(const ContractEntry &entry, bool *replaced)
{
    Q_ASSERT(replaced != nullptr);
    return write([&](const SqliteConnection &db) {
        int rc = createMissingTables(db);
        if (rc == SQLITE_OK)
            rc = run(db, kContractExists, {storedText(entry.from)}, replaced);
        if (rc != SQLITE_DONE)
            return rc;
        SqliteStatement statement(db, kSaveContract);
        rc = statement.prepareResult();
        if (rc == SQLITE_OK)
            rc = statement.bindText(1, storedText(entry.from));
        for (int day = 0; rc == SQLITE_OK && day < 7; ++day)
            rc = statement.bindInt64(day + 2, entry.minutes[day]);
        return rc == SQLITE_OK ? statement.step() : rc;
    });
}

Outcome BalanceTables::removeContractEntry(QDate from, bool *removed)
{
    Q_ASSERT(removed != nullptr);
    *removed = false;
    return write([&](const SqliteConnection &db) {
        bool exists = false;
        int rc = tableExists(db, kOrario, &exists);
        if (rc != SQLITE_OK || !exists)
            return rc;
        rc = run(db, kRemoveContract, {storedText(from)});
        *removed = rc == SQLITE_DONE && sqlite3_changes(db.get()) > 0;
        return rc;
    });
}

Outcome BalanceTables::saveAbsences(const QMap<QDate, Absence> &absences, int *replaced)
{
    Q_ASSERT(replaced != nullptr);
    return write([&](const SqliteConnection &db) {
        *replaced = 0;
        int rc = createMissingTables(db);
        if (rc != SQLITE_OK)
            return rc;
        SqliteStatement exists(db, kAbsenceExists);
        SqliteStatement save(db, kSaveAbsence);
        rc = exists.prepareResult() != SQLITE_OK ? exists.prepareResult() : save.prepareResult();
        for (auto it = absences.cbegin(); rc == SQLITE_OK && it != absences.cend(); ++it) {
            exists.reset();
            save.reset();
            const QString day = storedText(it.key());
            rc = exists.bindText(1, day);
            if (rc == SQLITE_OK)
                rc = exists.step();
            if (rc == SQLITE_ROW)
                ++*replaced;
            else if (rc != SQLITE_DONE)
                break;
            rc = save.bindText(1, day);
            if (rc == SQLITE_OK)
                rc = save.bindText(2, absenceTypeWord(it->type));
            if (rc == SQLITE_OK)
                rc = save.bindInt64(3, it->minutes);
            if (rc == SQLITE_OK)
                rc = save.step();
            if (rc == SQLITE_DONE)
                rc = SQLITE_OK;
        }
        return rc;
    });
}

Outcome BalanceTables::removeAbsences(QDate from, QDate to, int *removed)
{
    Q_ASSERT(removed != nullptr);
    *removed = 0;
    return write([&](const SqliteConnection &db) {
        bool exists = false;
        int rc = tableExists(db, kAssenze, &exists);
        if (rc != SQLITE_OK || !exists)
            return rc;
        rc = run(db, kRemoveAbsences, {storedText(from), storedText(to)});
        if (rc == SQLITE_DONE)
            *removed = sqlite3_changes(db.get());
        return rc;
    });
}

Outcome BalanceTables::saveSettings(const SettingsChange &change)
{
    return write([&](const SqliteConnection &db) {
        int rc = createMissingTables(db);
        const auto save = [&](const QString &key, const QString &value) {
            if (rc == SQLITE_OK || rc == SQLITE_DONE)
                rc = run(db, kSaveSetting, {key, value});
        };
        if (change.worker)
            save(kWorkerKey, *change.worker);
        if (change.employer)
            save(kEmployerKey, *change.employer);
        if (change.patron && *change.patron)
            save(kPatronKey, patronDayText(**change.patron));
        else if (change.patron && (rc == SQLITE_OK || rc == SQLITE_DONE))
            rc = run(db, kRemoveSetting, {kPatronKey});
        if (change.openingBalance)
            save(kOpeningKey, QString::number(*change.openingBalance));
        return rc;
    });
}

} // namespace zelvaro
