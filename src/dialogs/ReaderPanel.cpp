#include "ReaderPanel.h"

#include "ReaderLink.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {
const char* const kOneReader = "개별ID";
const char* const kAllReaders = "전체ID";
} // namespace

QLabel* makeIdCaption(QWidget* parent, const QString& text) {
    auto* capid = new QLabel(text, parent);
    capid->setObjectName("capid");
    capid->setAlignment(Qt::AlignCenter);
    capid->setFixedHeight(40);
    capid->setStyleSheet(QStringLiteral("background: #0000C0; color: white; border: 2px inset gray;"));
    QFont digits(QStringLiteral("Arial Black"));
    digits.setPixelSize(29);
    digits.setBold(true);
    capid->setFont(digits);
    return capid;
}

ReaderPanel::ReaderPanel(ReaderLink& link, QWidget* parent) : QWidget(parent), link_(link) {
    setObjectName("ReaderPanel");
    RadioGroup1 = new QGroupBox(this);
    RadioGroup1->setObjectName("RadioGroup1");
    items = new QButtonGroup(RadioGroup1);
    auto* groupLayout = new QVBoxLayout(RadioGroup1);
    groupLayout->setContentsMargins(8, 4, 8, 4);
    int index = 0;
    for (const char* caption : {kOneReader, kAllReaders}) {
        auto* button = new QRadioButton(QString::fromUtf8(caption), RadioGroup1);
        button->setObjectName(QStringLiteral("RadioGroup1_%1").arg(index));
        items->addButton(button, index++);
        groupLayout->addWidget(button);
    }
    items->button(0)->setChecked(true);

    Label1 = new QLabel(QStringLiteral("Reader ID"), this);
    Label1->setObjectName("Label1");
    capid = makeIdCaption(this, QStringLiteral("01"));

    TSBAR = new QScrollBar(Qt::Horizontal, this);
    TSBAR->setObjectName("TSBAR");
    TSBAR->setRange(1, 12);
    TSBAR->setSingleStep(1);
    TSBAR->setPageStep(1);
    TSBAR->setValue(1);
    // A scroll bar takes no focus of its own; this one is the reader choice, so the keyboard
    // must reach it, and a screen reader names it by its caption. Qt turns a scroll bar's arrow
    // keys round (Right would go back to a lower reader): Right and Up step to the next reader.
    TSBAR->setFocusPolicy(Qt::TabFocus);
    TSBAR->setInvertedControls(false);
    Label1->setBuddy(TSBAR);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(RadioGroup1);
    layout->addWidget(Label1);
    layout->addWidget(capid);
    layout->addWidget(TSBAR);

    connect(items, &QButtonGroup::idClicked, this, &ReaderPanel::RadioGroup1Click);
    connect(TSBAR, &QScrollBar::valueChanged, this, &ReaderPanel::TSBARChange);
    link_.SelectedReader = TSBAR->value();
}

void ReaderPanel::RadioGroup1Click(int index) {
    if (index == 0) {
        TSBAR->setEnabled(true);
        link_.SelectedReader = TSBAR->value();
        showReader(TSBAR->value());
    } else if (index == 1) {
        TSBAR->setEnabled(false);
        showAll();
        link_.SelectedReader = 0;
    }
}

void ReaderPanel::TSBARChange(int position) {
    link_.SelectedReader = position;
    showReader(position);
}

void ReaderPanel::showReader(int id) {
    capid->setText(QStringLiteral("%1").arg(id, 2, 10, QLatin1Char('0')));
}

void ReaderPanel::showAll() {
    capid->setText(QStringLiteral("ALL"));
}
