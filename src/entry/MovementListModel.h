#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QString>

namespace zelvaro {

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

    // Replaces every line in one reset; `numbers` is parallel to `lines`.
    void setLines(QList<QString> lines, QList<qint64> numbers);
    void clear();

    const QString &line(int row) const { return m_lines.at(row); }
    // The record number of the line; 0 when the record's number is not a whole number.
    qint64 recordNumber(int row) const { return m_numbers.at(row); }
    const QList<QString> &lines() const { return m_lines; }

private:
    QList<QString> m_lines;
    QList<qint64> m_numbers;
};

} // namespace zelvaro
