#pragma once

#include "Archive.h"

#include <QString>
#include <QTemporaryDir>

#include <initializer_list>

namespace zelvaro::test {

// A fresh archive file in its own temporary folder, with rows put in by plain SQL.
class TempArchive
{
public:
    TempArchive(); // creates an empty archive with the program's schema
    QString path() const { return m_path; }
    QString folder() const { return m_dir.path(); }
    // Runs SQL directly on the file (outside the program's connection); fails the test on error.
    void exec(const QString &sql) const;
    // Inserts a row; every value after NUM_MOV as text (a null QString stores NULL).
    void insert(qint64 numMov, const QString &giorno, const QString &mese, const QString &anno,
                std::initializer_list<QString> times, const QString &note = QString()) const;
    // Another program puts a view in the table's place (the table becomes DATI) that fails on every
    // record numbered above `number` when it is listed; new rows still reach the table.
    // restoreTable() undoes it.
    void failListingAbove(qint64 number) const;
    void restoreTable() const;
    int rowCount() const;
    // The field texts of one row, untrimmed, "<NULL>" for null; empty list when missing.
    QStringList row(qint64 numMov) const;

private:
    QTemporaryDir m_dir;
    QString m_path;
};

} // namespace zelvaro::test
