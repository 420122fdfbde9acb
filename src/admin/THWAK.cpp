#include "THWAK.h"

#include "ClockPanels.h"
#include "ReaderClock.h"
#include "ReaderGrid.h"
#include "ReaderLink.h"
#include "ReaderPanel.h"

#include <QPushButton>
#include <QScrollBar>

namespace {
const QString kCaption = QStringLiteral("리더 시간확인");
const QString kIdHeader = QStringLiteral("  I D");
const QString kClockHeader = QStringLiteral("    READER 날짜/시간");
const QString kRun = QStringLiteral("실행[&S]");
const QString kClose = QStringLiteral("종료[&X]");
const QString kBlank = QStringLiteral(" ");
} // namespace

TForm_Th::TForm_Th(ReaderLink& link, QWidget* parent) : ReaderDialog(link, kCaption, parent) {
    setObjectName("Form_Th");
    clock = new ClockPanels(this);
    Grid = makeReaderGrid(this, GridLayout{13, {60, 220}, {kIdHeader, kClockHeader}, QStringLiteral("  ")});
    addReaderPanel();
    Button1 = makeButton("Button1", kRun);
    Button2 = makeButton("Button2", kClose);
    connect(Button1, &QPushButton::clicked, this, &TForm_Th::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm_Th::Button2Click);
    layOutGrid(clock, Grid, panel, Button1, Button2);
    FormCreate();
}

void TForm_Th::FormCreate() {
    Timer1Timer();
    link.SelectedReader = panel->TSBAR->value();
}

void TForm_Th::Timer1Timer() {
    clock->Timer1Timer();
}

void TForm_Th::Button1Click() {
    runJob([this] { checkClocks(); });
}

void TForm_Th::Button2Click() {
    reject();
}

void TForm_Th::checkClocks() {
    link.ClearInput();
    fillColumns(Grid, {1}, 1, 12, kBlank);
    link.processEvents();
    forEachSelectedReader(Walk{true, false, false}, [this](int reader) {
        setCell(Grid, reader, 1, clockCheckText(readReaderClock(link, reader)));
    });
}
