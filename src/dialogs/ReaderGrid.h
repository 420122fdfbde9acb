// The per-reader result grid: row 0 is the header row, row n holds reader n's result, and
// column 0 of rows 1..12 names the reader ("  01" or " 01").
#pragma once

#include <QList>
#include <QStringList>
#include <QTableWidget>

struct GridLayout {
    int rows = 13;
    QList<int> widths;   // pixels, one per column
    QStringList headers; // row 0
    QString idPrefix;    // blanks before the two-digit id in column 0
    int rowHeight = 22;
};

QTableWidget* makeReaderGrid(QWidget* parent, const GridLayout& layout);
void setCell(QTableWidget* grid, int row, int column, const QString& text);
QString cellText(const QTableWidget* grid, int row, int column);
// Writes text into the given columns of rows first..last.
void fillColumns(QTableWidget* grid, const QList<int>& columns, int first, int last, const QString& text);
