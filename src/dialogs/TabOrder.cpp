#include "TabOrder.h"

#include <QGridLayout>
#include <QLayout>
#include <QWidget>

#include <algorithm>

namespace {
// A grid's items in reading order; it keeps them in the order they were added.
QList<QLayoutItem*> readingOrder(QLayout* layout) {
    QList<QLayoutItem*> items;
    for (int i = 0; i < layout->count(); ++i) items << layout->itemAt(i);
    if (auto* grid = qobject_cast<QGridLayout*>(layout)) {
        const auto cell = [grid](QLayoutItem* item) {
            int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
            grid->getItemPosition(grid->indexOf(item), &row, &column, &rowSpan, &columnSpan);
            return std::pair(row, column);
        };
        std::stable_sort(items.begin(), items.end(),
                         [&cell](QLayoutItem* a, QLayoutItem* b) { return cell(a) < cell(b); });
    }
    return items;
}

void collectTabStops(QLayout* layout, QList<QWidget*>& stops) {
    if (!layout) return;
    for (QLayoutItem* item : readingOrder(layout)) {
        if (QWidget* widget = item->widget()) {
            if (widget->focusPolicy() != Qt::NoFocus) stops << widget;
            collectTabStops(widget->layout(), stops);
        } else {
            collectTabStops(item->layout(), stops);
        }
    }
}
} // namespace

void orderTabsByLayout(QWidget* window) {
    QList<QWidget*> stops;
    collectTabStops(window->layout(), stops);
    if (stops.isEmpty()) return;
    for (qsizetype i = 1; i < stops.size(); ++i) QWidget::setTabOrder(stops[i - 1], stops[i]);
    // The chain is a ring through the window, and the reordering can leave the window anywhere
    // in it: the first stop is given the keyboard explicitly (it takes it when the window opens).
    if (!window->focusWidget()) stops.first()->setFocus(Qt::TabFocusReason);
}
