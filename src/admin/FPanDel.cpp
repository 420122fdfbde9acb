#include "FPanDel.h"

#include "AdminLayout.h"
#include "InputDrain.h"
#include "Prompts.h"
#include "ReaderGrid.h"
#include "ReaderLink.h"
#include "ReaderPanel.h"
#include "RecordCount.h"

#include <QPushButton>
#include <QScrollBar>

namespace {
const QString kCaption = QStringLiteral("수집자료 전체삭제");
const QString kIdHeader = QStringLiteral("  I D");
const QString kResultHeader = QStringLiteral("      삭 제 결 과");
const QString kRun = QStringLiteral("삭제[&S]");
const QString kClose = QStringLiteral("종료[&X]");
const QString kConfirm = QStringLiteral("수집자료 전체가 삭제됩니다. 계속하시겠습니까?");
const QString kConfirmCaption = QStringLiteral("삭제경고");
} // namespace

TPanDel::TPanDel(ReaderLink& link, QWidget* parent) : ReaderDialog(link, kCaption, parent) {
    setObjectName("PanDel");
    Grid =
        makeReaderGrid(this, GridLayout{13, {64, 222}, {kIdHeader, kResultHeader}, QStringLiteral("  "), 22});
    addReaderPanel();
    Button1 = makeButton("Button1", kRun);
    Button1->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    Button2 = makeButton("Button2", kClose);
    connect(Button1, &QPushButton::clicked, this, &TPanDel::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TPanDel::Button2Click);
    useAligningFont(Grid);
    layOutAdminDialog(this, nullptr, Grid, panel, Button1, Button2);
    fixSize(sizeHint().width(), sizeHint().height());
    FormCreate();
}

void TPanDel::FormCreate() {
    link.SelectedReader = panel->TSBAR->value();
}

void TPanDel::Button1Click() {
    runJob([this] { deleteAll(); });
}

void TPanDel::Button2Click() {
    reject();
}

// One confirmation covers the whole run; Cancel leaves the line and the grid untouched.
void TPanDel::deleteAll() {
    if (!prompts().confirm(kConfirm, kConfirmCaption, Prompts::Icon::Warning)) return;
    drainInput(link.Comm);
    fillColumns(Grid, {1}, 1, 12, QString());
    forEachSelectedReader(Walk{true, true, true}, [this](int reader) {
        setCell(Grid, reader, 1, deleteResultText(deleteRecords(link, reader)));
    });
}
