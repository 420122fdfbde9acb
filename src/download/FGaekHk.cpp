#include "FGaekHk.h"

#include "CaptionPanel.h"
#include "CustomerRecords.h"
#include "Prompts.h"
#include "ReaderGrid.h"
#include "ReaderLink.h"
#include "ReaderPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const QString kCaption = QStringLiteral("고객자료 개인별 확인/관리");
const QString kRunCaption = QStringLiteral("실행[&S]");
const QString kCloseCaption = QStringLiteral("종료[&X]");
const QString kNumberLabel = QStringLiteral("사원번호");
const QString kBadEntry = QStringLiteral("입력오류-다시 입력하십시요");
const QString kChooseOneReader = QStringLiteral("개별ID로 리더를 하나 선택하십시요");
const QString kAdded = QStringLiteral("  추가성공!");
const QString kDeleted = QStringLiteral("  삭제성공!");
const QString kChanged = QStringLiteral("  변경성공!");
const QString kLinkGood = QStringLiteral("통신상태 양호!");
const QString kMealCountsReset = QStringLiteral("식사횟수가 초기화 되었습니다!");
const QString kDoneCaption = QStringLiteral("확인");

constexpr int kNumberColumn = 1;
constexpr int kLastReaderRow = 12;
constexpr int kEntryLength = 10;
} // namespace

TGaekHk::TGaekHk(ReaderLink& link, QWidget* parent) : ReaderDialog(link, kCaption, parent) {
    addReaderPanel();
    Panel2 = captionPanel(this, QStringLiteral("Panel2"), kNumberLabel, false);
    Panel2->setFixedSize(80, 26);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->setFixedSize(120, 26);
    Panel2->setBuddy(Edit1);
    Grid = makeReaderGrid(this, GridLayout{13,
                                           {50, 130, 40, 110},
                                           {QStringLiteral(" I D"), QStringLiteral("  사 원 번 호"),
                                            QStringLiteral("음수"), QStringLiteral("   잔  액")},
                                           QStringLiteral(" "),
                                           22});
    Button1 = makeButton("Button1", kRunCaption);
    Button2 = makeButton("Button2", kCloseCaption);
    connect(Button1, &QPushButton::clicked, this, &TGaekHk::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TGaekHk::Button2Click);
    connect(Edit1, &QLineEdit::returnPressed, this, [this] { Edit1KeyPress('\r'); });

    auto* entry = new QWidget(this);
    auto* entryLayout = new QHBoxLayout(entry);
    entryLayout->setContentsMargins(0, 0, 0, 0);
    entryLayout->addWidget(Panel2);
    entryLayout->addWidget(Edit1);
    entryLayout->addStretch();
    layOutGrid(entry, Grid, panel, Button1, Button2);
    FormCreate();
}

void TGaekHk::FormCreate() {
    Edit1->setMaxLength(kEntryLength);
}

void TGaekHk::Button1Click() {
    runJob([this] { query(); });
}

void TGaekHk::Edit1KeyPress(char key) {
    if (key == '\r') Button1Click();
}

void TGaekHk::Button2Click() {
    reject();
}

void TGaekHk::query() {
    fillColumns(Grid, {1, 2, 3}, 1, kLastReaderRow, QString());
    QByteArray number;
    if (!packEmployeeNumber(Edit1->text(), number)) {
        link.ShowNotice(kBadEntry);
        return;
    }
    forEachSelectedReader(Walk{false, true, true}, [this, &number](int reader) {
        link.processEvents();
        const CustomerRow row = queryCustomer(link, reader, number);
        setCell(Grid, reader, 1, row.number);
        setCell(Grid, reader, 2, row.negative);
        setCell(Grid, reader, 3, row.balance);
    });
}

bool TGaekHk::oneReaderChosen() {
    if (link.SelectedReader != 0) return true;
    link.ShowNotice(kChooseOneReader);
    return false;
}

void TGaekHk::addOrChange(bool add) {
    if (!oneReaderChosen()) return;
    const int reader = link.SelectedReader;
    setCell(Grid, reader, kNumberColumn, QString());
    QByteArray number;
    if (!packEmployeeNumber(Edit1->text(), number)) {
        link.ShowNotice(kBadEntry);
        return;
    }
    if (add ? addCustomer(link, reader, number) : changeCustomer(link, reader, number))
        setCell(Grid, reader, kNumberColumn, add ? kAdded : kChanged);
}

void TGaekHk::Button3Click() {
    runJob([this] {
        if (!oneReaderChosen()) return;
        const int reader = link.SelectedReader;
        setCell(Grid, reader, kNumberColumn, QString());
        // A short or mistyped prefix would delete whichever customer happens to match it.
        QByteArray prefix;
        if (!packEmployeePrefix(Edit1->text(), prefix)) {
            link.ShowNotice(kBadEntry);
            return;
        }
        if (deleteCustomer(link, reader, prefix)) setCell(Grid, reader, kNumberColumn, kDeleted);
    });
}

void TGaekHk::Button4Click() {
    runJob([this] { addOrChange(true); });
}

void TGaekHk::Button5Click() {
    runJob([this] { addOrChange(false); });
}

void TGaekHk::Button6Click() {
    runJob([this] {
        if (oneReaderChosen() && testLink(link, link.SelectedReader))
            prompts().message(kLinkGood, kDoneCaption, Prompts::Icon::Information);
    });
}

void TGaekHk::Button7Click() {
    runJob([this] {
        if (oneReaderChosen() && resetMealCounts(link, link.SelectedReader))
            prompts().message(kMealCountsReset, kDoneCaption, Prompts::Icon::Information);
    });
}
