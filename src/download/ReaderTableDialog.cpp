#include "ReaderTableDialog.h"

#include "AdminLayout.h"
#include "InputDrain.h"
#include "Prompts.h"
#include "ReaderLink.h"
#include "ReaderPanel.h"

#include <QPushButton>

namespace {
const QString kWarningCaption = QStringLiteral("삭제경고");
const QString kCloseCaption = QStringLiteral("종료[&X]");
constexpr int kResultColumn = 1;
} // namespace

ReaderTableDialog::ReaderTableDialog(ReaderLink& link, const Shape& shape, Exchange exchange, QWidget* parent)
    : ReaderDialog(link, shape.caption, parent), shape_(shape), exchange_(std::move(exchange)) {
    Grid = makeReaderGrid(this, shape.grid);
    useAligningFont(Grid);
    addReaderPanel();
    Button1 = makeButton("Button1", shape.runCaption);
    if (shape.runInRed) Button1->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    Button2 = makeButton("Button2", kCloseCaption);
    connect(Button1, &QPushButton::clicked, this, &ReaderTableDialog::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &ReaderTableDialog::Button2Click);
    layOutAdminDialog(this, nullptr, Grid, panel, Button1, Button2);
    fixSize(sizeHint().width(), sizeHint().height());
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
    drainInput(link.Comm);
    fillColumns(Grid, {kResultColumn}, 1, shape_.grid.rows - 1, QString());
    forEachSelectedReader(
        shape_.walk, [this](int reader) { setCell(Grid, reader, kResultColumn, exchange_(link, reader)); });
}
