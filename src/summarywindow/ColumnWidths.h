#pragma once

#include <QFontMetrics>
#include <QHash>
#include <QList>
#include <QModelIndex>
#include <QStringList>

#include <utility>

class QAbstractItemView;
class QHeaderView;
class QTreeWidget;
class QTreeWidgetItem;

namespace zelvaro {

// Column widths taken from the few cells that can be the widest (the widest text of each kind of
// line, measured in the font it is shown in) instead of from every line's size hint, as
// ResizeToContents would: a month's sheet or the tree of a long archive is sized in a few measures.

// Sizes `column` of `view` to the widest of its header and of the `cells`, each with the pixels the
// view adds to it (a tree's indentation, a grid line).
void fitColumn(QAbstractItemView &view, QHeaderView &header, int column,
               const QList<std::pair<QModelIndex, int>> &cells);

// The index among `indexes` whose text is the widest in `metrics` (the first of equal ones), or an
// invalid one. Not the one with the most characters: "dom" is wider than "mar".
QModelIndex longestText(const QFontMetrics &metrics, const QList<QModelIndex> &indexes);

// The line of each of the tree's columns (four, eight with the balance) with the widest text, among
// the lines of one level. The figures (digits of one width) are compared by their length; the names
// of the first column ("marzo" is wider than "aprile") in the tree's font, each name measured once.
struct LongestTexts
{
    explicit LongestTexts(const QFontMetrics &metrics) : metrics(metrics) {}
    static constexpr int kColumns = 8;
    QFontMetrics metrics;
    QHash<QString, int> nameWidths;
    QTreeWidgetItem *items[kColumns] = {};
    qsizetype widths[kColumns] = {-1, -1, -1, -1, -1, -1, -1, -1};

    // Counts the line `item`, which shows `texts` from column `first` on.
    void note(QTreeWidgetItem *item, const QStringList &texts, int first = 0);
};

// The tree's columns fitted to the longest texts of its years (top level) and of its months.
void fitTreeColumns(QTreeWidget &tree, const LongestTexts &years, const LongestTexts &months);

} // namespace zelvaro
