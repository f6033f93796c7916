#pragma once

#include <QList>
#include <QModelIndex>
#include <QStringList>

#include <utility>

class QAbstractItemView;
class QHeaderView;
class QTreeWidget;
class QTreeWidgetItem;

namespace zelvaro {

// Column widths taken from the few cells that can be the widest (the longest text of each kind of
// line) instead of from every line, as ResizeToContents would: a month's sheet or the tree of a long
// archive is sized in a few measures.

// Sizes `column` of `view` to the widest of its header and of the `cells`, each with the pixels the
// view adds to it (a tree's indentation, a grid line).
void fitColumn(QAbstractItemView &view, QHeaderView &header, int column,
               const QList<std::pair<QModelIndex, int>> &cells);

// The index among `indexes` whose text is the longest (the first of equal ones), or an invalid one.
QModelIndex longestText(const QList<QModelIndex> &indexes);

// The line of each of the tree's columns (four, eight with the balance) with the longest text, among
// the lines of one level.
struct LongestTexts
{
    static constexpr int kColumns = 8;
    QTreeWidgetItem *items[kColumns] = {};
    qsizetype lengths[kColumns] = {-1, -1, -1, -1, -1, -1, -1, -1};

    // Counts the line `item`, which shows `texts` from column `first` on.
    void note(QTreeWidgetItem *item, const QStringList &texts, int first = 0);
};

// The tree's columns fitted to the longest texts of its years (top level) and of its months.
void fitTreeColumns(QTreeWidget &tree, const LongestTexts &years, const LongestTexts &months);

} // namespace zelvaro
