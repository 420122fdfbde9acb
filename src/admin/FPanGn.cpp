#include "FPanGn.h"

#include "AdminLayout.h"
#include "ReaderGrid.h"
#include "ReaderLink.h"
#include "ReaderPanel.h"
#include "RecordCount.h"

#include <QPushButton>
#include <QScrollBar>

namespace {
const QString kCaption = QStringLiteral("수집자료 건수 확인");
const QString kIdHeader = QStringLiteral("  I D");
const QString kCountHeader = QStringLiteral(" Reader건수");
const QString kRun = QStringLiteral("실행[&S]");
const QString kClose = QStringLiteral("종료[&X]");
} // namespace

TPanGn::TPanGn(ReaderLink& link, QWidget* parent) : ReaderDialog(link, kCaption, parent) {
    setObjectName("PanGn");
    Grid =
        makeReaderGrid(this, GridLayout{13, {65, 116}, {kIdHeader, kCountHeader}, QStringLiteral("  "), 22});
    addReaderPanel();
    Button1 = makeButton("Button1", kRun);
    Button2 = makeButton("Button2", kClose);
    connect(Button1, &QPushButton::clicked, this, &TPanGn::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TPanGn::Button2Click);
    useAligningFont(Grid);
    layOutAdminDialog(this, nullptr, Grid, panel, Button1, Button2);
    fixSize(sizeHint().width(), sizeHint().height());
    FormCreate();
}

void TPanGn::FormCreate() {
    link.SelectedReader = panel->TSBAR->value();
}

void TPanGn::Button1Click() {
    runJob([this] { countAll(); });
}

void TPanGn::Button2Click() {
    reject();
}

// Rows the run does not reach keep what an earlier run wrote.
void TPanGn::countAll() {
    link.ClearInput();
    forEachSelectedReader(Walk{false, true, true}, [this](int reader) {
        setCell(Grid, reader, 1, recordCountText(askRecordCount(link, reader)));
    });
}
