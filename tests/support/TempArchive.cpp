#include "TempArchive.h"

#include <QTest>

#include <sqlite3.h>

namespace zelvaro::test {

namespace {

struct Db
{
    sqlite3 *db = nullptr;
    explicit Db(const QString &path)
    {
        if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            qFatal("cannot open test archive %s", qPrintable(path));
        sqlite3_busy_timeout(db, 2000);
    }
    ~Db() { sqlite3_close(db); }
};

} // namespace

TempArchive::TempArchive()
{
    m_path = m_dir.filePath(QStringLiteral("ZELVARO_97.mdb"));
    const ArchiveError error = Archive::create(m_path);
    if (error.failed())
        qFatal("cannot create test archive: %s", qPrintable(error.text));
}

void TempArchive::exec(const QString &sql) const
{
    Db d(m_path);
    char *message = nullptr;
    if (sqlite3_exec(d.db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        const QString text = QString::fromUtf8(message ? message : "?");
        sqlite3_free(message);
        QTest::qFail(qPrintable(QStringLiteral("SQL failed: ") + text + QStringLiteral(" in ") + sql),
                     __FILE__, __LINE__);
    }
}

void TempArchive::insert(qint64 numMov, const QString &giorno, const QString &mese, const QString &anno,
                         std::initializer_list<QString> times, const QString &note) const
{
    Db d(m_path);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(d.db,
                       "INSERT INTO MOV_MAG (NUM_MOV, ANNO, MESE, GIORNO, ORA_INIZIO_1, ORA_FINE_1, "
                       "ORA_INIZIO_2, ORA_FINE_2, ORA_INIZIO_3, ORA_FINE_3, NOTE) "
                       "VALUES (?,?,?,?,?,?,?,?,?,?,?)",
                       -1, &st, nullptr);
    auto bind = [&](int i, const QString &v) {
        if (v.isNull())
            sqlite3_bind_null(st, i);
        else
            sqlite3_bind_text(st, i, v.toUtf8().constData(), -1, SQLITE_TRANSIENT);
    };
    sqlite3_bind_int64(st, 1, numMov);
    bind(2, anno);
    bind(3, mese);
    bind(4, giorno);
    int i = 5;
    for (const QString &t : times)
        bind(i++, t);
    while (i <= 10)
        sqlite3_bind_null(st, i++);
    bind(11, note);
    if (sqlite3_step(st) != SQLITE_DONE)
        QTest::qFail(sqlite3_errmsg(d.db), __FILE__, __LINE__);
    sqlite3_finalize(st);
}

void TempArchive::failListingAbove(qint64 number) const
{
    exec(QStringLiteral(R"(ALTER TABLE MOV_MAG RENAME TO DATI;
        CREATE VIEW MOV_MAG AS SELECT NUM_MOV, iif(NUM_MOV <= %1, ANNO, abs(-9223372036854775808)) AS ANNO,
          MESE, GIORNO, ORA_INIZIO_1, ORA_FINE_1, ORA_INIZIO_2, ORA_FINE_2, ORA_INIZIO_3, ORA_FINE_3, NOTE
          FROM DATI;
        CREATE TRIGGER nessuna INSTEAD OF UPDATE ON MOV_MAG BEGIN SELECT 1; END;
        CREATE TRIGGER aggiunta INSTEAD OF INSERT ON MOV_MAG BEGIN INSERT INTO DATI VALUES (NEW.NUM_MOV,
          NEW.ANNO, NEW.MESE, NEW.GIORNO, NEW.ORA_INIZIO_1, NEW.ORA_FINE_1, NEW.ORA_INIZIO_2,
          NEW.ORA_FINE_2, NEW.ORA_INIZIO_3, NEW.ORA_FINE_3, NEW.NOTE); END;)")
             .arg(number));
}

void TempArchive::restoreTable() const
{
    exec(QStringLiteral("DROP VIEW MOV_MAG; ALTER TABLE DATI RENAME TO MOV_MAG"));
}

int TempArchive::rowCount() const
{
    Db d(m_path);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(d.db, "SELECT COUNT(*) FROM MOV_MAG", -1, &st, nullptr);
    int n = -1;
    if (sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    return n;
}

QStringList TempArchive::row(qint64 numMov) const
{
    Db d(m_path);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(d.db,
                       "SELECT NUM_MOV, ANNO, MESE, GIORNO, ORA_INIZIO_1, ORA_FINE_1, ORA_INIZIO_2, "
                       "ORA_FINE_2, ORA_INIZIO_3, ORA_FINE_3, NOTE FROM MOV_MAG WHERE NUM_MOV = ?",
                       -1, &st, nullptr);
    sqlite3_bind_int64(st, 1, numMov);
    QStringList result;
    if (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < 11; ++c) {
            if (sqlite3_column_type(st, c) == SQLITE_NULL)
                result.append(QStringLiteral("<NULL>"));
            else
                result.append(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, c))));
        }
    }
    sqlite3_finalize(st);
    return result;
}

} // namespace zelvaro::test
