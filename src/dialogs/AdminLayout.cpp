#include "AdminLayout.h"

#include <QGridLayout>
#include <QPushButton>
#include <QTableWidget>

namespace {
constexpr int kSideWidth = 120;
constexpr int kButtonHeight = 30;
} // namespace

void layOutAdminDialog(QWidget* dialog, QWidget* top, QWidget* grid, QWidget* side, QPushButton* run,
                       QPushButton* close) {
    auto* layout = new QGridLayout(dialog);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setHorizontalSpacing(10);
    int row = 0;
    if (top) layout->addWidget(top, row++, 0, 1, 2);
    auto* column = new QVBoxLayout;
    column->setSpacing(6);
    side->setFixedWidth(kSideWidth);
    column->addWidget(side);
    column->addStretch();
    for (QPushButton* button : {run, close}) {
        button->setFixedSize(kSideWidth, kButtonHeight);
        column->addWidget(button);
    }
    layout->addWidget(grid, row, 0, Qt::AlignTop);
    layout->addLayout(column, row, 1);
}

void useAligningFont(QTableWidget* grid) {
    QFont font(QStringLiteral("굴림체"));
    font.setPixelSize(12);
    grid->setFont(font);
}
