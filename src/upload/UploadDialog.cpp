#include "UploadDialog.h"

#include "CaptionPanel.h"
#include "Prompts.h"
#include "ReaderPanel.h"
#include "UploadWidgets.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

UploadDialog::UploadDialog(ReaderLink& link, const QString& caption, QWidget* parent)
    : ReaderDialog(link, caption, parent) {
    list = new RecordList(this);
    Rich = list->Rich;
    marks = new ReaderMarks(this);
    clock = new UploadClock(this);
    addReaderPanel();
}

QLabel* UploadDialog::countPanel(const char* name) {
    QLabel* cap = captionPanel(this, QString::fromLatin1(name), QStringLiteral("000000"));
    QFont countFont = font();
    countFont.setBold(true);
    countFont.setPixelSize(16);
    cap->setFont(countFont);
    cap->setFixedHeight(28);
    cap->setStyleSheet(QStringLiteral("background: white;"));
    return cap;
}

void UploadDialog::layOut(const std::function<void(QVBoxLayout* side)>& middle, int timerIntervalMs) {
    Button1 = makeButton("Button1", QString::fromUtf8("실행[&S]"));
    Button2 = makeButton("Button2", QString::fromUtf8("종료[&X]"));

    auto* side = new QVBoxLayout;
    side->setSpacing(4);
    side->addWidget(panel);
    side->addSpacing(6);
    middle(side);
    side->addStretch();
    side->addWidget(Button1);
    side->addWidget(Button2);

    auto* top = new QHBoxLayout;
    top->addWidget(list);
    top->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->addLayout(top);
    layout->addWidget(marks);
    layout->addWidget(clock);

    Timer1 = new QTimer(this);
    Timer1->setInterval(timerIntervalMs);
    connect(Timer1, &QTimer::timeout, this, &UploadDialog::Timer1Timer);
    connect(Button1, &QPushButton::clicked, this, &UploadDialog::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &UploadDialog::Button2Click);
}

void UploadDialog::Button2Click() {
    Button1->setEnabled(true);
    stopAndClose();
}

void UploadDialog::ClearReaderPanels() {
    marks->clear();
}

void UploadDialog::reportNoOutputFolder() {
    prompts().message(QString::fromUtf8("자료를 출력할 디렉토리가 없습니다"), QString::fromUtf8("에러"),
                      Prompts::Icon::Error);
}
