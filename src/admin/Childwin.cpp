#include "Childwin.h"

#include "ClockPanels.h"
#include "ReaderClock.h"
#include "ReaderGrid.h"
#include "ReaderLink.h"
#include "ReaderPanel.h"

#include <QPushButton>
#include <QScrollBar>

namespace {
const QString kIdHeader = QStringLiteral(" ID");
const QString kComputerHeader = QStringLiteral("    PC 날짜/시간");
const QString kReaderHeader = QStringLiteral("  READER 날짜/시간");
const QString kRun = QStringLiteral("실행[&S]");
const QString kClose = QStringLiteral("종료[&X]");
const QString kBlank = QStringLiteral(" ");
} // namespace

TMDIChild::TMDIChild(ReaderLink& link, const QString& caption, QWidget* parent)
    : ReaderDialog(link, caption, parent) {
    setObjectName("MDIChild");
    clock = new ClockPanels(this);
    Grid = makeReaderGrid(
        this,
        GridLayout{13, {42, 180, 180}, {kIdHeader, kComputerHeader, kReaderHeader}, QStringLiteral(" ")});
    addReaderPanel();
    Button1 = makeButton("Button1", kRun);
    Button2 = makeButton("Button2", kClose);
    connect(Button1, &QPushButton::clicked, this, &TMDIChild::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TMDIChild::Button2Click);
    layOutGrid(clock, Grid, panel, Button1, Button2);
    FormCreate();
}

void TMDIChild::FormCreate() {
    Timer1Timer();
    link.SelectedReader = panel->TSBAR->value();
}

void TMDIChild::Timer1Timer() {
    clock->Timer1Timer();
}

void TMDIChild::Button1Click() {
    runJob([this] { setClocks(); });
}

void TMDIChild::Button2Click() {
    reject();
}

void TMDIChild::setClocks() {
    link.ClearInput();
    fillColumns(Grid, {1, 2}, 1, 12, kBlank);
    link.processEvents();
    forEachSelectedReader(Walk{true, false, false}, [this](int reader) { setClock(reader); });
}

// The time shown in column 1 is the time sent, even when the reader then stays silent. The
// snapshot is taken here rather than left to the timer, so the block is never older than the job.
void TMDIChild::setClock(int reader) {
    Timer1Timer();
    const ClockSnapshot now = clock->snapshot;
    setCell(Grid, reader, 1, computerClockText(now));
    setCell(Grid, reader, 2, clockSetText(setReaderClock(link, reader, clockBlock(now))));
}
