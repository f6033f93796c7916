#include "MovementListModel.h"

namespace zelvaro {

int MovementListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

QVariant MovementListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_lines.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return m_lines.at(index.row());
    case RecordNumberRole:
        return m_numbers.at(index.row());
    default:
        return {};
    }
}

void MovementListModel::setLines(QList<QString> lines, QList<qint64> numbers)
{
    Q_ASSERT(lines.size() == numbers.size());
    beginResetModel();
    m_lines = std::move(lines);
    m_numbers = std::move(numbers);
    endResetModel();
}

void MovementListModel::clear()
{
    setLines({}, {});
}

} // namespace zelvaro
