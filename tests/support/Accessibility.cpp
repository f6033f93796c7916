#include "Accessibility.h"

#include <QAccessible>
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace zelvaro::test {

namespace {

QString nameOf(QWidget *widget)
{
    return widget->objectName() + QLatin1Char('/') + QLatin1String(widget->metaObject()->className());
}

bool named(QObject *object)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    return iface && !iface->text(QAccessible::Name).trimmed().isEmpty();
}

// A menu bar or menu, its items, and the menus they open.
void checkMenu(QWidget *menu, QStringList &unnamed)
{
    if (!named(menu))
        unnamed.append(nameOf(menu));
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(menu);
    for (int i = 0; iface && i < iface->childCount(); ++i) {
        QAccessibleInterface *item = iface->child(i);
        if (item->role() != QAccessible::Separator && item->text(QAccessible::Name).trimmed().isEmpty())
            unnamed.append(nameOf(menu) + QStringLiteral(" item ") + QString::number(i));
    }
    for (QAction *action : menu->actions()) {
        if (action->menu())
            checkMenu(action->menu(), unnamed);
    }
}

} // namespace

QStringList unnamedControls(QWidget *root)
{
    QStringList unnamed;
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *widget : widgets) {
        if (widget != root && !widget->isVisibleTo(root))
            continue; // nothing a screen reader reaches while it is hidden
        if (qobject_cast<QMenuBar *>(widget))
            checkMenu(widget, unnamed);
        else if (widget->focusPolicy() != Qt::NoFocus && !named(widget))
            unnamed.append(nameOf(widget));
    }
    return unnamed;
}

} // namespace zelvaro::test
