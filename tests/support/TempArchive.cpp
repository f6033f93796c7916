#include "TempArchive.h"

#include <QFile>
#include <QTest>

#include <sqlite3.h>

namespace zelvaro::test {

SqlFile::SqlFile(const QString &path)
{
    check(sqlite3_open(QFile::encodeName(path).constData(), &m_db), path);
    sqlite3_busy_timeout(m_db, 2000);
}

SqlFile::~SqlFile()
{
    sqlite3_close_v2(m_db);
}

bool SqlFile::check(int rc, const QString &sql) const
{
    if (rc == SQLITE_OK || rc == SQLITE_DONE)
        return true;
    QTest::qFail(qPrintable(QString::fromUtf8(sqlite3_errmsg(m_db)) + QStringLiteral(" in ") + sql), __FILE__,
                 __LINE__);
    return false;
}

bool SqlFile::exec(const QString &sql) const
{
    return check(sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr), sql);
}

QList<QStringList> SqlFile::rows(const QString &sql, const QString &nullText) const
{
    QList<QStringList> rows;
    sqlite3_stmt *st = nullptr;
    int rc = sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &st, nullptr);
    while (st != nullptr && (rc = sqlite3_step(st)) == SQLITE_ROW) {
        QStringList &row = rows.emplace_back();
        for (int c = 0; c < sqlite3_column_count(st); ++c)
            row.append(sqlite3_column_type(st, c) == SQLITE_NULL
                           ? nullText
                           : QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, c))));
    }
    check(rc, sql);
    sqlite3_finalize(st);
    return rows;
}

TempArchive::TempArchive() : m_path(m_dir.filePath(QStringLiteral("ZELVARO_97.mdb")))
{
    if (const Outcome error = Archive::create(m_path))
        qFatal("cannot create test archive: %s", qPrintable(error.text));
}

namespace {

QString insertStatement(qint64 numMov, const QString &giorno, const QString &mese, const QString &anno,
                        const QStringList &times, const QString &note)
{
    const auto literal = [](const QString &v) {
        return v.isNull() ? QStringLiteral("NULL")
                          : u'\'' + QString(v).replace(u'\'', QStringLiteral("''")) + u'\'';
    };
    QStringList values{QString::number(numMov), literal(anno), literal(mese), literal(giorno)};
    for (const QString &t : times)
        values.append(literal(t));
    values.resize(10, QStringLiteral("NULL"));
    values.append(literal(note));
    return QStringLiteral("INSERT INTO MOV_MAG (%1) VALUES (%2);").arg(kAllColumns, values.join(u','));
}

} // namespace

void TempArchive::insert(qint64 numMov, const QString &giorno, const QString &mese, const QString &anno,
                         std::initializer_list<QString> times, const QString &note) const
{
    exec(insertStatement(numMov, giorno, mese, anno, times, note));
}

void TempArchive::insertDays(qint64 numMov, QDate first, const QStringList &days) const
{
    QString sql = QStringLiteral("BEGIN;");
    for (qsizetype i = 0; i < days.size(); ++i) {
        const QDate date = first.addDays(i);
        sql += insertStatement(numMov + i, QString::number(date.day()), QString::number(date.month()),
                               QString::number(date.year()), days.at(i).split(u'|'), QString());
    }
    exec(sql + QStringLiteral("COMMIT;"));
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

QStringList TempArchive::row(qint64 numMov) const
{
    return SqlFile(m_path)
        .rows(QStringLiteral("SELECT %1 FROM MOV_MAG WHERE NUM_MOV = %2").arg(kAllColumns).arg(numMov),
              QStringLiteral("<NULL>"))
        .value(0);
}

} // namespace zelvaro::test
