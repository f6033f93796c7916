#pragma once

#include <QListView>

namespace zelvaro {

// The movement list box. `picked` is raised when the user selects a line: by a click of the left
// button on a line (also on the line already selected) or by a key that moves the selection.
// Filling the list or selecting by program raises nothing.
class MovementListView : public QListView
{
    Q_OBJECT
public:
    explicit MovementListView(QWidget *parent = nullptr);

signals:
    void picked(int row);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool m_leftPressed = false;
};

} // namespace zelvaro
