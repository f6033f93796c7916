#include "ColumnWidths.h"

#include <QHeaderView>
#include <QTreeWidget>

#include <algorithm>

namespace zelvaro {

void fitColumn(QAbstractItemView &view, QHeaderView &header, int column,
               const QList<std::pair<QModelIndex, int>> &cells)
{
    int width = header.sectionSizeHint(column);
    for (const auto &[index, extra] : cells) {
        if (index.isValid())
            width = std::max(width, view.sizeHintForIndex(index).width() + extra);
    }
    header.resizeSection(column, std::clamp(width, header.minimumSectionSize(), header.maximumSectionSize()));
}

QModelIndex longestText(const QList<QModelIndex> &indexes)
{
    QModelIndex found;
    qsizetype length = -1;
    for (const QModelIndex &index : indexes) {
        const qsizetype size = index.data().toString().size();
        if (size > length) {
            length = size;
            found = index;
        }
    }
    return found;
}

void LongestTexts::note(QTreeWidgetItem *item, const QStringList &texts, int first)
{
    for (int column = first; column < kColumns && column - first < texts.size(); ++column) {
        if (texts.at(column - first).size() > lengths[column]) {
            lengths[column] = texts.at(column - first).size();
            items[column] = item;
        }
    }
}

void fitTreeColumns(QTreeWidget &tree, const LongestTexts &years, const LongestTexts &months)
{
    const int indent = tree.rootIsDecorated() ? tree.indentation() : 0;
    for (int column = 0; column < std::min(tree.columnCount(), LongestTexts::kColumns); ++column) {
        const int first = column == 0 ? indent : 0; // the tree's indentation is in its first column
        const auto index = [&](QTreeWidgetItem *item) {
            return item ? tree.indexFromItem(item, column) : QModelIndex();
        };
        fitColumn(tree, *tree.header(), column,
                  {{index(years.items[column]), first}, {index(months.items[column]), 2 * first}});
    }
}

} // namespace zelvaro
