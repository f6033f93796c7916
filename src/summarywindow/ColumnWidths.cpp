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

QModelIndex longestText(const QFontMetrics &metrics, const QList<QModelIndex> &indexes)
{
    QModelIndex found;
    int widest = -1;
    for (const QModelIndex &index : indexes) {
        const int width = metrics.horizontalAdvance(index.data().toString());
        if (width > widest) {
            widest = width;
            found = index;
        }
    }
    return found;
}

void LongestTexts::note(QTreeWidgetItem *item, const QStringList &texts, int first)
{
    for (int column = first; column < kColumns && column - first < texts.size(); ++column) {
        const QString &text = texts.at(column - first);
        qsizetype width = text.size();
        if (column == 0) {
            auto known = nameWidths.find(text);
            if (known == nameWidths.end())
                known = nameWidths.insert(text, metrics.horizontalAdvance(text));
            width = known.value();
        }
        if (width > widths[column]) {
            widths[column] = width;
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
