#include "MovementListModel.h"

#include "MovementLine.h"

namespace zelvaro {

void MovementRows::reserve(qsizetype rows)
{
    m_latin1.reserve(rows * kMovementLineLength);
    m_numbers.reserve(std::size_t(rows));
}

void MovementRows::append(const HoursRecord &record, qint64 number)
{
    const qsizetype row = size();
    m_latin1.resize((row + 1) * kMovementLineLength);
    if (!movementLineLatin1(record, m_latin1.data() + row * kMovementLineLength))
        m_wide.insert(row, movementLine(record));
    m_numbers.push_back(number);
}

QString MovementRows::line(qsizetype row) const
{
    Q_ASSERT(row >= 0 && row < size());
    if (!m_wide.isEmpty()) {
        const auto wide = m_wide.constFind(row);
        if (wide != m_wide.cend())
            return *wide;
    }
    return QString::fromLatin1(m_latin1.constData() + row * kMovementLineLength, kMovementLineLength);
}

int MovementListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant MovementListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return m_rows.line(index.row());
    case RecordNumberRole:
        return m_rows.number(index.row());
    default:
        return {};
    }
}

void MovementListModel::setRows(MovementRows rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void MovementListModel::clear()
{
    setRows({});
}

} // namespace zelvaro
