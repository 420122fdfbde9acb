#include "ReaderGrid.h"

#include <QHeaderView>

QTableWidget* makeReaderGrid(QWidget* parent, const GridLayout& layout) {
    auto* grid = new QTableWidget(layout.rows, int(layout.widths.size()), parent);
    grid->setObjectName("Grid");
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    grid->setFocusPolicy(Qt::NoFocus);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    int width = 2 * grid->frameWidth();
    for (int c = 0; c < layout.widths.size(); ++c) {
        grid->setColumnWidth(c, layout.widths[c]);
        width += layout.widths[c];
    }
    for (int r = 0; r < layout.rows; ++r) grid->setRowHeight(r, layout.rowHeight);
    grid->setFixedSize(width, layout.rows * layout.rowHeight + 2 * grid->frameWidth());
    const QBrush fixed = grid->palette().button();
    for (int r = 0; r < layout.rows; ++r)
        for (int c = 0; c < layout.widths.size(); ++c) {
            auto* item = new QTableWidgetItem;
            if (r == 0 || c == 0) item->setBackground(fixed);
            grid->setItem(r, c, item);
        }
    for (int c = 0; c < layout.headers.size(); ++c) setCell(grid, 0, c, layout.headers[c]);
    for (int r = 1; r < layout.rows; ++r)
        setCell(grid, r, 0, layout.idPrefix + QStringLiteral("%1").arg(r, 2, 10, QLatin1Char('0')));
    return grid;
}

void setCell(QTableWidget* grid, int row, int column, const QString& text) {
    grid->item(row, column)->setText(text);
}

QString cellText(const QTableWidget* grid, int row, int column) {
    return grid->item(row, column)->text();
}

void fillColumns(QTableWidget* grid, const QList<int>& columns, int first, int last, const QString& text) {
    for (int r = first; r <= last; ++r)
        for (int c : columns) setCell(grid, r, c, text);
}
