#pragma once

#include <QStringList>

class QWidget;

namespace zelvaro::test {

// What a screen reader would announce without a name under `root` (itself included): every shown
// widget that takes the focus, every shown menu bar with its items, and the menus those items
// open with their items, as their accessible interfaces report them. Each is listed by
// objectName and class.
QStringList unnamedControls(QWidget *root);

} // namespace zelvaro::test
