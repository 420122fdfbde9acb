#include "ReaderTableDialog.h"

#include "Prompts.h"
#include "ReaderLink.h"
#include "ReaderPanel.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {
const QString kWarningCaption = QStringLiteral("삭제경고");
const QString kCloseCaption = QStringLiteral("종료[&X]");
constexpr int kResultColumn = 1;
} // namespace

ReaderTableDialog::ReaderTableDialog(ReaderLink& link, const Shape& shape, Exchange exchange, QWidget* parent)
    : ReaderDialog(link, shape.caption, parent), shape_(shape), exchange_(std::move(exchange)) {
    Grid = makeReaderGrid(this, shape.grid);
    QFont cells(QStringLiteral("굴림체"));
    cells.setPixelSize(12);
    Grid->setFont(cells);
    addReaderPanel();
    Button1 = makeButton("Button1", shape.runCaption);
    if (shape.runInRed) Button1->setStyleSheet(QStringLiteral("color: red;"));
    Button2 = makeButton("Button2", kCloseCaption);
    connect(Button1, &QPushButton::clicked, this, &ReaderTableDialog::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &ReaderTableDialog::Button2Click);

    auto* side = new QVBoxLayout;
    side->addWidget(panel);
    side->addStretch();
    side->addWidget(Button1);
    side->addWidget(Button2);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(Grid, 0, Qt::AlignTop);
    layout->addLayout(side);
    const QSize size = layout->sizeHint();
    fixSize(std::max(size.width(), Grid->width() + 150), size.height());
}

void ReaderTableDialog::Button1Click() {
    runJob([this] { run(); });
}

void ReaderTableDialog::Button2Click() {
    reject();
}

void ReaderTableDialog::run() {
    if (!shape_.warning.isEmpty() &&
        !prompts().confirm(shape_.warning, kWarningCaption, Prompts::Icon::Warning))
        return;
    link.ClearInput();
    fillColumns(Grid, {kResultColumn}, 1, shape_.grid.rows - 1, QString());
    forEachSelectedReader(
        shape_.walk, [this](int reader) { setCell(Grid, reader, kResultColumn, exchange_(link, reader)); });
}
