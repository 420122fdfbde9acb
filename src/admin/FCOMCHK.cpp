#include "FCOMCHK.h"

#include "CaptionPanel.h"
#include "Formats.h"
#include "ReaderGrid.h"
#include "ReaderLink.h"
#include "StatusPoll.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kCaption = QStringLiteral("통신상태 확인");
const QString kIdHeader = QStringLiteral("  I D");
const QString kStatusHeader = QStringLiteral("      READER 상태");
const QString kReadersCaption = QStringLiteral("리더갯수");
const QString kReadersUnit = QStringLiteral("대");
const QString kRun = QStringLiteral("실행[&S]");
const QString kClose = QStringLiteral("종료[&X]");
const QString kBlank = QStringLiteral(" ");
constexpr int kPanelHeight = 28;
} // namespace

TComCheck::TComCheck(ReaderLink& link, QWidget* parent) : ReaderDialog(link, kCaption, parent) {
    setObjectName("ComCheck");
    Grid = makeReaderGrid(this, GridLayout{13, {60, 220}, {kIdHeader, kStatusHeader}, QStringLiteral("  ")});
    auto* side = new QWidget(this);
    Panel2 = captionPanel(side, QStringLiteral("Panel2"), kReadersCaption, false);
    Panel2->setMinimumHeight(kPanelHeight);
    Panel1 = captionPanel(side, QStringLiteral("Panel1"), QString());
    Panel1->setMinimumHeight(kPanelHeight);
    QFont bold = Panel1->font();
    bold.setBold(true);
    Panel1->setFont(bold);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->setSpacing(2);
    sideLayout->addWidget(Panel2);
    sideLayout->addWidget(Panel1);
    Button1 = makeButton("Button1", kRun);
    Button2 = makeButton("Button2", kClose);
    connect(Button1, &QPushButton::clicked, this, &TComCheck::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TComCheck::Button2Click);
    layOutGrid(nullptr, Grid, side, Button1, Button2);
    FormCreate();
}

void TComCheck::FormCreate() {
    Panel1->setText(twoDigits(link.ReaderCount) + kReadersUnit);
}

void TComCheck::Button1Click() {
    runJob([this] { checkAll(); });
}

void TComCheck::Button2Click() {
    reject();
}

// Every configured reader is polled once; a failure only shows in its row.
void TComCheck::checkAll() {
    fillColumns(Grid, {1}, 1, 12, kBlank);
    const int count = link.ReaderCount;
    for (int reader = 1; reader <= count; ++reader) {
        link.processEvents();
        setCell(Grid, reader, 1, statusText(pollStatus(link, reader)));
    }
}
