#include "ReaderTableDialog.h"

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

ReaderTableDialog::Shape ReaderTableDialog::deleteShape(const QString& caption, const QString& warning) {
    Shape shape;
    shape.caption = caption;
    shape.runCaption = QStringLiteral("삭제[&S]");
    shape.runInRed = true;
    shape.grid.widths = {64, 222};
    shape.grid.headers = {QStringLiteral("  I D"), QStringLiteral("      삭 제 결 과")};
    shape.grid.idPrefix = QStringLiteral("  ");
    shape.warning = warning;
    shape.walk = {true, true, true};
    return shape;
}

ReaderTableDialog::ReaderTableDialog(ReaderLink& link, const Shape& shape, Exchange exchange, QWidget* parent)
    : ReaderDialog(link, shape.caption, parent), shape_(shape), exchange_(std::move(exchange)) {
    setObjectName(shape.objectName);
    Grid = makeReaderGrid(this, shape.grid);
    addReaderPanel();
    Button1 = makeButton("Button1", shape.runCaption);
    if (shape.runInRed) Button1->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    Button2 = makeButton("Button2", kCloseCaption);
    connect(Button1, &QPushButton::clicked, this, &ReaderTableDialog::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &ReaderTableDialog::Button2Click);
    layOutGrid(nullptr, Grid, panel, Button1, Button2);
}

void ReaderTableDialog::Button1Click() {
    runJob([this] { run(); });
}

void ReaderTableDialog::Button2Click() {
    reject();
}

// One confirmation covers the whole run; Cancel leaves the line and the grid untouched.
void ReaderTableDialog::run() {
    if (!shape_.warning.isEmpty() &&
        !prompts().confirm(shape_.warning, kWarningCaption, Prompts::Icon::Warning))
        return;
    // Also when an error ends the run: what it did to the readers so far is told.
    struct Ended {
        ReaderTableDialog* dialog;
        ~Ended() { dialog->runEnded(); }
    } ended{this};
    if (shape_.keepsEarlierRows) {
        link.ClearInput();
    } else {
        drainInput(link.Comm);
        fillColumns(Grid, {kResultColumn}, 1, shape_.grid.rows - 1, QString());
    }
    forEachSelectedReader(
        shape_.walk, [this](int reader) { setCell(Grid, reader, kResultColumn, exchange_(link, reader)); });
}
