#pragma once

#include <QAbstractItemView>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTest>

namespace zelvaro::test {

// Drives a window as its user does, reaching each control by its objectName. A control that is not
// there stops the test program with its name; a click on a disabled button fails the running test.
class WindowDriver
{
public:
    explicit WindowDriver(QWidget *window = nullptr) : m_window(window) {}

    template <typename T = QWidget> T *find(const QString &name) const
    {
        T *control = m_window->findChild<T *>(name);
        if (!control)
            qFatal("no control %s", qPrintable(name));
        return control;
    }
    QLineEdit *box(const QString &name) const { return find<QLineEdit>(name); }
    QPushButton *button(const QString &name) const { return find<QPushButton>(name); }

    // The box emptied, then the text typed key by key.
    void type(const QString &name, const QString &text) const
    {
        box(name)->clear();
        QTest::keyClicks(box(name), text);
    }
    void click(const QString &name) const
    {
        QVERIFY2(button(name)->isEnabled(), qPrintable(name + QStringLiteral(" is disabled")));
        QTest::mouseClick(button(name), Qt::LeftButton);
    }
    // A click on a line of a list (the hours window's List1 unless named).
    void pick(int row, const QString &list = QStringLiteral("List1")) const
    {
        auto *view = find<QAbstractItemView>(list);
        const QRect line = view->visualRect(view->model()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, line.center());
    }
    QStringList texts(const QStringList &boxes) const
    {
        QStringList result;
        for (const QString &name : boxes)
            result.append(box(name)->text());
        return result;
    }
    // The lines of a list, a table or a tree (each child line after its parent, indented by two
    // blanks), the given columns joined by '|'.
    QStringList rows(const QString &view = QStringLiteral("List1"), const QList<int> &columns = {0}) const
    {
        return rowsOf(find<QAbstractItemView>(view)->model(), columns, {});
    }

private:
    static QStringList rowsOf(const QAbstractItemModel *model, const QList<int> &columns,
                              const QModelIndex &parent)
    {
        QStringList lines;
        for (int row = 0; row < model->rowCount(parent); ++row) {
            QStringList cells;
            for (const int column : columns)
                cells.append(model->index(row, column, parent).data().toString());
            lines.append(QString(parent.isValid() ? 2 : 0, u' ') + cells.join(u'|'));
            lines.append(rowsOf(model, columns, model->index(row, 0, parent)));
        }
        return lines;
    }

    QWidget *m_window;
};

} // namespace zelvaro::test
