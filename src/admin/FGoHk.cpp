#include "FGoHk.h"

#include "HostPaths.h"
#include "InputDrain.h"
#include "ModeTable.h"
#include "Prompts.h"
#include "ReaderGrid.h"
#include "ReaderLink.h"
#include "ReaderPanel.h"

#include <QPushButton>
#include <QScrollBar>

namespace {
const QString kCaption = QStringLiteral("자동 근태모드 설정");
const QString kZoneHeader = QStringLiteral(" Zone");
const QString kBandHeader = QStringLiteral("   시 간 대");
const QString kModeHeader = QStringLiteral("  근태코드");
const QString kRun = QStringLiteral("실행[&S]");
const QString kClose = QStringLiteral("종료[&X]");
const QString kNoDataFile = QStringLiteral("지정된 경로에 DataFile이 없습니다");
const QString kErrorCaption = QStringLiteral("에러");
} // namespace

TGoHk::TGoHk(ReaderLink& link, QWidget* parent) : ReaderDialog(link, kCaption, parent) {
    setObjectName("GoHk");
    Grid = makeReaderGrid(this, GridLayout{kModeRecords + 1,
                                           {64, 145, 102},
                                           {kZoneHeader, kBandHeader, kModeHeader},
                                           QStringLiteral("  "),
                                           24});
    addReaderPanel();
    Button1 = makeButton("Button1", kRun);
    Button2 = makeButton("Button2", kClose);
    connect(Button1, &QPushButton::clicked, this, &TGoHk::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TGoHk::Button2Click);
    layOutGrid(nullptr, Grid, panel, Button1, Button2);
    FormCreate();
}

void TGoHk::FormCreate() {
    link.SelectedReader = panel->TSBAR->value();
}

void TGoHk::Button1Click() {
    runJob([this] { loadAll(); });
}

void TGoHk::Button2Click() {
    reject();
}

// In all-readers mode the table is cleared after each reader, so each reader's outcome shows
// only in its notices and the table is empty when the run ends.
void TGoHk::loadAll() {
    drainInput(link.Comm);
    blankTable();
    const bool allReaders = link.SelectedReader == 0;
    forEachSelectedReader(Walk{false, true, true}, [this, allReaders](int reader) {
        loadReader(reader);
        if (allReaders) blankTable();
    });
}

// The schedule file is read afresh for every reader.
void TGoHk::loadReader(int reader) {
    link.ClearInput();
    const std::optional<QByteArray> table = readScheduleFile(hostPath(kScheduleFile));
    if (!table) {
        prompts().message(kNoDataFile, kErrorCaption, Prompts::Icon::Error);
        return;
    }
    const Reply reply = sendModeTable(link, reader, *table);
    if (reply.status == Reply::Good) {
        showTable(reply.data);
    } else if (const QString notice = modeTableNotice(reply.status); !notice.isEmpty()) {
        link.ShowNotice(notice);
    }
}

void TGoHk::showTable(const QByteArray& table) {
    for (int k = 0; k < kModeRecords; ++k) {
        const QByteArray record = table.mid(k * kModeRecordSize, kModeRecordSize);
        setCell(Grid, k + 1, 1, bandText(record));
        setCell(Grid, k + 1, 2, modeText(record));
    }
}

void TGoHk::blankTable() {
    fillColumns(Grid, {1, 2}, 1, kModeRecords, QString());
}
