#pragma once

#include "HoursRecord.h"

#include <QAbstractListModel>
#include <QByteArray>
#include <QHash>
#include <QString>

#include <vector>

namespace zelvaro {

// The rows of the movement list, kept compact: each line's 87 characters as Latin-1 bytes in one
// buffer (a line with a character beyond Latin-1 apart), each with the number of its record. A
// line's text is made when it is asked for, so that a long list costs no string per row.
class MovementRows
{
public:
    void reserve(qsizetype rows);
    // Adds the line of `record`; `number` is its record number (0 when it is not a whole number).
    void append(const HoursRecord &record, qint64 number);
    qsizetype size() const { return qsizetype(m_numbers.size()); }
    QString line(qsizetype row) const;
    qint64 number(qsizetype row) const { return m_numbers.at(std::size_t(row)); }

private:
    QByteArray m_latin1;
    QHash<qsizetype, QString> m_wide;
    std::vector<qint64> m_numbers;
};

// The lines of the movement list, each with the number of the record it shows, so that a picked
// line never has to be read back out of its (possibly cut) text.
class MovementListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role { RecordNumberRole = Qt::UserRole + 1 };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // Replaces every line in one reset.
    void setRows(MovementRows rows);
    void clear();

    QString line(int row) const { return m_rows.line(row); }
    // The record number of the line; 0 when the record's number is not a whole number.
    qint64 recordNumber(int row) const { return m_rows.number(row); }

private:
    MovementRows m_rows;
};

} // namespace zelvaro
