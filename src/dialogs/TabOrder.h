// Keyboard order of a window's controls.
#pragma once

class QWidget;

// Makes Tab visit the window's controls in the order its layout shows them: the items of a box
// one after the other, the cells of a grid row by row, the controls inside a widget where that
// widget stands. The order the controls happened to be created in no longer counts. The first
// of them has the keyboard when the window opens, unless another control has been given it.
void orderTabsByLayout(QWidget* window);
