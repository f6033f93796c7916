#pragma once

#include "Archive.h"

#include <QDate>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>

#include <initializer_list>

struct sqlite3;

namespace zelvaro::test {

// The columns of MOV_MAG in their usual order, written out apart from the program's own list.
inline constexpr const char *kAllColumns = "NUM_MOV, ANNO, MESE, GIORNO, ORA_INIZIO_1, ORA_FINE_1, "
                                           "ORA_INIZIO_2, ORA_FINE_2, ORA_INIZIO_3, ORA_FINE_3, NOTE";

// A connection of another program to a SQLite file (created when missing), apart from the
// program's own. A failing statement fails the running test with SQLite's message.
class SqlFile
{
public:
    explicit SqlFile(const QString &path);
    ~SqlFile();
    SqlFile(const SqlFile &) = delete;
    SqlFile &operator=(const SqlFile &) = delete;
    bool exec(const QString &sql) const; // one or more statements
    // Every row of one query, each value as text, `nullText` for null.
    QList<QStringList> rows(const QString &sql, const QString &nullText = QStringLiteral("NULL")) const;
    // The first value of the first row, empty when there is none.
    QString value(const QString &sql) const { return rows(sql).value(0).value(0); }

private:
    bool check(int rc, const QString &sql) const;
    sqlite3 *m_db = nullptr;
};

// A fresh archive file in its own temporary folder, with rows put in by plain SQL.
class TempArchive
{
public:
    TempArchive(); // creates an empty archive with the program's schema
    QString path() const { return m_path; }
    QString folder() const { return m_dir.path(); }
    void exec(const QString &sql) const { SqlFile(m_path).exec(sql); }
    // Inserts a row; every value after NUM_MOV as text (a null QString stores NULL).
    void insert(qint64 numMov, const QString &giorno, const QString &mese, const QString &anno,
                std::initializer_list<QString> times, const QString &note = QString()) const;
    // One record a day from `first`, numbered from `numMov`: each day's times "start1|end1|...|end3"
    // (an empty one stored as '', one left out as NULL), in one transaction.
    void insertDays(qint64 numMov, QDate first, const QStringList &days) const;
    // Another program puts a view in the table's place (the table becomes DATI) that fails on every
    // record numbered above `number` when it is listed; new rows still reach the table.
    // restoreTable() undoes it.
    void failListingAbove(qint64 number) const;
    void restoreTable() const
    {
        exec(QStringLiteral("DROP VIEW MOV_MAG; ALTER TABLE DATI RENAME TO MOV_MAG"));
    }
    int rowCount() const
    {
        return SqlFile(m_path).value(QStringLiteral("SELECT COUNT(*) FROM MOV_MAG")).toInt();
    }
    // The field texts of one row, untrimmed, "<NULL>" for null; empty list when missing.
    QStringList row(qint64 numMov) const;

private:
    QTemporaryDir m_dir;
    QString m_path;
};

} // namespace zelvaro::test
