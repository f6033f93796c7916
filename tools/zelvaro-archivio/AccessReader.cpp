#include "AccessReader.h"

#include "ArchiveFailure.h"
#include "MovMagSchema.h"
#include "SqliteStatement.h"
#include "Texts.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>

#include <mdbtools.h>

#include <array>
#include <clocale>
#include <cmath>
#include <memory>
#include <vector>

namespace zelvaro {

namespace {

constexpr const auto &kColumns = kMovMagColumns;
constexpr int kColumnCount = kMovMagColumnCount;
constexpr int kAnno = 1, kMese = 2, kGiorno = 3;

// Room for one value as libmdb writes it. A Text column holds at most 255 characters; a memo of
// 65,535 characters takes at most three bytes each in UTF-8. libmdb works through a buffer of this
// size for every value it reads, so the large one is taken only when a memo column is read. A value
// that fills the buffer may have been cut, and is refused.
constexpr size_t kBindSize = 16 * 1024;
constexpr size_t kMemoBindSize = 256 * 1024;

struct MdbCloser
{
    void operator()(MdbHandle *mdb) const { mdb_close(mdb); }
};
struct TableFreer
{
    void operator()(MdbTableDef *table) const { mdb_free_tabledef(table); }
};

// libmdb writes numbers with printf and dates with strftime: the C locale keeps the decimal point
// and the date text the same whatever the user's settings.
class CLocaleScope
{
public:
    CLocaleScope() : m_c(newlocale(LC_ALL_MASK, "C", locale_t(nullptr)))
    {
        if (m_c != locale_t(nullptr))
            m_previous = uselocale(m_c);
    }
    ~CLocaleScope()
    {
        if (m_c != locale_t(nullptr)) {
            uselocale(m_previous);
            freelocale(m_c);
        }
    }
    CLocaleScope(const CLocaleScope &) = delete;
    CLocaleScope &operator=(const CLocaleScope &) = delete;

private:
    locale_t m_c;
    locale_t m_previous = LC_GLOBAL_LOCALE;
};

// libmdb converts texts to the character set named by MDBICONV (UTF-8 when unset) when it opens a
// file; the archive holds UTF-8 whatever the environment says.
class Utf8TargetScope
{
public:
    Utf8TargetScope() : m_had(qEnvironmentVariableIsSet(kName)), m_previous(qgetenv(kName))
    {
        qputenv(kName, "UTF-8");
    }
    ~Utf8TargetScope()
    {
        if (m_had)
            qputenv(kName, m_previous);
        else
            qunsetenv(kName);
    }
    Utf8TargetScope(const Utf8TargetScope &) = delete;
    Utf8TargetScope &operator=(const Utf8TargetScope &) = delete;

private:
    static constexpr const char *kName = "MDBICONV";
    bool m_had;
    QByteArray m_previous;
};

// NUM_MOV as libmdb wrote it: a whole number (a Double column gives "12.000000" or the like).
bool readNumber(const QString &text, qint64 *number)
{
    bool ok = false;
    *number = text.toLongLong(&ok);
    if (ok)
        return true;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value != std::floor(value) || std::fabs(value) >= 9.0e15)
        return false;
    *number = static_cast<qint64>(value);
    return true;
}

// Reads MOV_MAG with libmdb and writes its rows into the empty file `temporary`.
class MdbReader
{
public:
    MdbReader(const QString &source, const QString &temporary, const ImportProgress &progress)
        : m_source(source), m_temporary(temporary), m_progress(progress)
    {
    }
    AccessReadResult run();

private:
    QString openSource();
    QString bindColumns();
    QString openTemporary();
    QString copyRows();
    QString rowName(qint64 row, bool withDate = true) const;
    QString sqliteError(int rc) const;

    QString m_source, m_temporary;
    const ImportProgress &m_progress;
    std::unique_ptr<MdbHandle, MdbCloser> m_mdb;
    std::unique_ptr<MdbTableDef, TableFreer> m_table;
    std::array<std::vector<char>, kColumnCount> m_buffers;
    std::array<int, kColumnCount> m_lengths{};
    std::array<QString, kColumnCount> m_texts; // the current row, decoded
    size_t m_bindSize = kBindSize;
    SqliteConnection m_db;
    AccessReadResult m_result;
};

AccessReadResult MdbReader::run()
{
    QString error = openSource();
    if (error.isEmpty())
        error = bindColumns();
    if (error.isEmpty())
        error = openTemporary();
    if (error.isEmpty())
        error = copyRows();
    if (error.isEmpty()) {
        if (const Outcome closeError = m_db.close())
            error = QStringLiteral("errore nella chiusura del nuovo archivio: ") + closeError.text;
    }
    m_result.error = error;
    return m_result;
}

QString MdbReader::openSource()
{
    {
        const Utf8TargetScope utf8;
        m_mdb.reset(mdb_open(QFile::encodeName(m_source).constData(), MDB_NOFLAGS));
    }
    if (!m_mdb)
        return QStringLiteral("libmdb non riesce ad aprire ") + quoted(m_source) +
               QStringLiteral(": il file è danneggiato o non è un archivio Access");
    mdb_set_date_fmt(m_mdb.get(), "%Y-%m-%d %H:%M:%S");
    mdb_set_shortdate_fmt(m_mdb.get(), "%Y-%m-%d");

    GPtrArray *catalog = mdb_read_catalog(m_mdb.get(), MDB_TABLE);
    if (catalog == nullptr)
        return QStringLiteral("impossibile leggere l'elenco delle tabelle di ") + quoted(m_source) +
               QStringLiteral(": il file è danneggiato");
    // Access compares table names without regard to case.
    MdbCatalogEntry *entry = nullptr;
    for (guint i = 0; i < catalog->len; ++i) {
        auto *candidate = static_cast<MdbCatalogEntry *>(g_ptr_array_index(catalog, i));
        if (candidate->object_type == MDB_TABLE &&
            g_ascii_strcasecmp(candidate->object_name, "MOV_MAG") == 0) {
            entry = candidate;
            break;
        }
    }
    if (entry == nullptr)
        return quoted(m_source) + QStringLiteral(" non contiene la tabella MOV_MAG");
    m_table.reset(mdb_read_table(entry));
    if (!m_table || mdb_read_columns(m_table.get()) == nullptr)
        return QStringLiteral("impossibile leggere la definizione della tabella MOV_MAG di ") +
               quoted(m_source) + QStringLiteral(": il file è danneggiato");
    return {};
}

QString MdbReader::bindColumns()
{
    GPtrArray *columns = m_table->columns;
    std::array<int, kColumnCount> found;
    for (int c = 0; c < kColumnCount; ++c) {
        found[c] = -1;
        for (guint i = 0; i < columns->len; ++i) {
            const auto *column = static_cast<MdbColumn *>(g_ptr_array_index(columns, i));
            if (g_ascii_strcasecmp(column->name, kColumns[c]) == 0) {
                found[c] = int(i);
                if (column->col_type == MDB_MEMO || column->col_type == MDB_OLE)
                    m_bindSize = kMemoBindSize;
                break;
            }
        }
        if (found[c] < 0)
            return QStringLiteral("nella tabella MOV_MAG di ") + quoted(m_source) +
                   QStringLiteral(" manca la colonna ") + QLatin1String(kColumns[c]);
    }
    mdb_set_bind_size(m_mdb.get(), m_bindSize);
    for (int c = 0; c < kColumnCount; ++c) {
        m_buffers[c].assign(m_bindSize, '\0');
        if (mdb_bind_column(m_table.get(), found[c] + 1, m_buffers[c].data(), &m_lengths[c]) < 0)
            return QStringLiteral("impossibile leggere la colonna ") + QLatin1String(kColumns[c]) +
                   QStringLiteral(" della tabella MOV_MAG");
    }
    return {};
}

QString MdbReader::openTemporary()
{
    if (const Outcome error = m_db.open(m_temporary, SQLITE_OPEN_READWRITE, 0))
        return QStringLiteral("errore nella scrittura del nuovo archivio: ") + error.text;
    return {};
}

QString MdbReader::sqliteError(int rc) const
{
    return QStringLiteral("errore nella scrittura del nuovo archivio: ") + m_db.failure(rc).text;
}

// "riga 7 di MOV_MAG (giorno 3/1/1998)": the row counted in the order libmdb reads the table.
QString MdbReader::rowName(qint64 row, bool withDate) const
{
    QString name = QStringLiteral("riga ") + QString::number(row) + QStringLiteral(" di MOV_MAG");
    if (withDate && (!m_texts[kGiorno].isEmpty() || !m_texts[kMese].isEmpty() || !m_texts[kAnno].isEmpty()))
        name += QStringLiteral(" (giorno ") + m_texts[kGiorno].trimmed() + QLatin1Char('/') +
                m_texts[kMese].trimmed() + QLatin1Char('/') + m_texts[kAnno].trimmed() + QLatin1Char(')');
    return name;
}

QString MdbReader::copyRows()
{
    int rc = m_db.exec("PRAGMA synchronous = FULL");
    if (rc != SQLITE_OK)
        return sqliteError(rc);
    WriteTransaction transaction(m_db);
    if (const Outcome error = transaction.begin())
        return QStringLiteral("errore nella scrittura del nuovo archivio: ") + error.text;
    rc = m_db.exec(kCreateMovMag);
    if (rc != SQLITE_OK)
        return sqliteError(rc);
    SqliteStatement insert(m_db, kInsertMovMagRow);
    if (insert.prepareResult() != SQLITE_OK)
        return sqliteError(insert.prepareResult());

    QHash<qint64, qint64> rowOfNumber; // NUM_MOV -> the row that holds it
    // A damaged table definition may declare any count: it sizes nothing beyond a guess.
    rowOfNumber.reserve(qsizetype(qMin(m_table->num_rows, 1u << 16)));
    QStringDecoder decoder(QStringDecoder::Utf8);
    const CLocaleScope cLocale;
    mdb_rewind_table(m_table.get());
    qint64 row = 0;
    if (m_progress)
        m_progress(0, qint64(m_table->num_rows));
    while (mdb_fetch_row(m_table.get())) {
        ++row;
        if (m_progress && row % kImportProgressRows == 0)
            m_progress(row, qint64(m_table->num_rows));
        for (int c = 0; c < kColumnCount; ++c) {
            const int length = m_lengths[c];
            if (length <= 0) {
                m_texts[c] = QString(); // libmdb gives an empty text for a null: both become null
                continue;
            }
            const QByteArrayView bytes(m_buffers[c].data(), qMin<qsizetype>(length, qsizetype(m_bindSize)));
            m_texts[c] = decoder.decode(bytes);
            if (decoder.hasError()) {
                decoder.resetState();
                return QStringLiteral("il testo della colonna ") + QLatin1String(kColumns[c]) +
                       QStringLiteral(" nella ") + rowName(row, false) +
                       QStringLiteral(" non è UTF-8 valido dopo la conversione di libmdb");
            }
            if (size_t(length) >= m_bindSize - 1)
                return QStringLiteral("il testo della colonna ") + QLatin1String(kColumns[c]) +
                       QStringLiteral(" nella ") + rowName(row, false) +
                       QStringLiteral(" è troppo lungo per essere letto per intero");
        }
        if (m_texts[0].isNull())
            return QStringLiteral("la ") + rowName(row) +
                   QStringLiteral(" non ha NUM_MOV: ogni riga deve avere il suo numero");
        qint64 number = 0;
        if (!readNumber(m_texts[0].trimmed(), &number))
            return QStringLiteral("la ") + rowName(row) + QStringLiteral(" ha NUM_MOV \"") + m_texts[0] +
                   QStringLiteral("\", che non è un numero intero");
        const auto seen = rowOfNumber.constFind(number);
        if (seen != rowOfNumber.cend())
            return QStringLiteral("NUM_MOV ") + QString::number(number) +
                   QStringLiteral(" compare due volte: nella riga ") + QString::number(*seen) +
                   QStringLiteral(" e nella ") + rowName(row);
        rowOfNumber.insert(number, row);
        if (number <= 0)
            ++m_result.unlisted;

        insert.bindInt64(1, number);
        for (int c = 1; c < kColumnCount; ++c) {
            if (m_texts[c].isNull())
                insert.bindNull(c + 1);
            else
                insert.bindUtf8(c + 1, QByteArrayView(m_buffers[c].data(), m_lengths[c]));
        }
        rc = insert.step();
        if (rc != SQLITE_DONE)
            return sqliteError(rc); // read before the reset, which would replace the message
        insert.reset();
    }
    m_result.rows = row;
    m_result.declared = qint64(m_table->num_rows);
    // A damaged page can make libmdb pass over rows without a word: the table's own count decides.
    if (qint64(m_table->num_rows) != row)
        return QStringLiteral("in MOV_MAG sono state trovate ") + QString::number(row) +
               QStringLiteral(" righe, ma la tabella ne dichiara ") + QString::number(m_table->num_rows) +
               QStringLiteral(": ") + quoted(m_source) + QStringLiteral(" è danneggiato");
    rc = transaction.commit();
    if (rc != SQLITE_OK)
        return sqliteError(rc);
    return {};
}

} // namespace

AccessReadResult readAccessTable(const QString &source, const QString &temporary,
                                 const ImportProgress &progress)
{
    return MdbReader(source, temporary, progress).run();
}

} // namespace zelvaro
