#include "MovementListView.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace zelvaro {

MovementListView::MovementListView(QWidget *parent) : QListView(parent)
{
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWordWrap(false);
}

void MovementListView::focusInEvent(QFocusEvent *event)
{
    // A list box that takes the focus selects nothing: the item view's own focus-in would make the
    // first line current, so that the first arrow key would skip it.
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void MovementListView::mousePressEvent(QMouseEvent *event)
{
    // Only the left button on a line selects; elsewhere the selection stays as it is.
    if (event->button() != Qt::LeftButton || !indexAt(event->position().toPoint()).isValid()) {
        event->accept();
        return;
    }
    m_leftPressed = true;
    QListView::mousePressEvent(event);
}

void MovementListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !indexAt(event->position().toPoint()).isValid()) {
        event->accept();
        return;
    }
    m_leftPressed = true;
    QListView::mouseDoubleClickEvent(event);
}

void MovementListView::mouseReleaseEvent(QMouseEvent *event)
{
    const bool wasPressed = m_leftPressed && event->button() == Qt::LeftButton;
    if (event->button() == Qt::LeftButton)
        m_leftPressed = false;
    QListView::mouseReleaseEvent(event);
    if (!wasPressed)
        return;
    const QModelIndex under = indexAt(event->position().toPoint());
    if (under.isValid() && under == currentIndex() && selectionModel()->isSelected(under))
        emit picked(under.row());
}

void MovementListView::keyPressEvent(QKeyEvent *event)
{
    const QPersistentModelIndex before = currentIndex();
    QListView::keyPressEvent(event);
    const QModelIndex after = currentIndex();
    if (after.isValid() && after != before && selectionModel()->isSelected(after))
        emit picked(after.row());
}

} // namespace zelvaro
