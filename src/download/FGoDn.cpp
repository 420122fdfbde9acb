#include "FGoDn.h"

#include "ReaderPanel.h"

#include "DownloadFiles.h"
#include "FixedAmounts.h"
#include "ProgressCounters.h"
#include "ReaderLink.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace {
const QString kCaption = QStringLiteral("고정금액 DOWNLOAD");
const QString kTitle = QStringLiteral("고정금액 DownLoad");
const QString kRunCaption = QStringLiteral("실행[&S]");
const QString kCloseCaption = QStringLiteral("종료[&X]");
} // namespace

TGODN::TGODN(ReaderLink& link, QWidget* parent) : ReaderDialog(link, kCaption, parent) {
    Panel1 = new QLabel(kTitle, this);
    Panel1->setObjectName("Panel1");
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setFixedHeight(36);
    QFont title = Panel1->font();
    title.setPixelSize(20);
    title.setBold(true);
    Panel1->setFont(title);
    Label1 = new QLabel(QStringLiteral("Reader ID"), this);
    Label1->setObjectName("Label1");
    capid = makeIdCaption(this, QStringLiteral("01"));
    counters = new ProgressCounters(this);
    counters->totalLabel->setObjectName("Panel2");
    counters->doneLabel->setObjectName("Panel3");
    Button1 = makeButton("Button1", kRunCaption);
    Button2 = makeButton("Button2", kCloseCaption);
    Button3 = makeButton("Button3", QStringLiteral("Button3"));
    Button4 = makeButton("Button4", QStringLiteral("Button4"));
    connect(Button1, &QPushButton::clicked, this, &TGODN::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TGODN::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TGODN::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TGODN::Button4Click);

    auto* layout = new QGridLayout(this);
    layout->addWidget(Panel1, 0, 0, 1, 3);
    layout->addWidget(Label1, 1, 0);
    layout->addWidget(capid, 2, 0);
    layout->addWidget(counters, 1, 1, 3, 2);
    layout->addWidget(Button3, 4, 0);
    layout->addWidget(Button1, 4, 1);
    layout->addWidget(Button4, 5, 0);
    layout->addWidget(Button2, 5, 1);
    layout->setColumnMinimumWidth(0, 110);
    layout->setRowStretch(3, 1);
    const QSize size = layout->sizeHint();
    fixSize(size.width(), size.height());
    FormCreate();
}

void TGODN::FormCreate() {
    counters->reset();
}

void TGODN::Button1Click() {
    runJob([this] { download(); });
}

void TGODN::Button2Click() {
    reject();
}

void TGODN::Button3Click() {
    runJob([this] { runGrowingTextTest(link); });
}

void TGODN::Button4Click() {
    runJob([this] { runNibbleTest(link); });
}

void TGODN::download() {
    counters->reset();
    if (!dataFileReady(kFixedAmountFile)) return;
    const QList<FixedAmountLine> amounts = loadFixedAmounts(kFixedAmountFile);
    counters->setTotal(int(amounts.size()));
    int sent = 0;
    for (const FixedAmountLine& amount : amounts) {
        capid->setText(QString::fromLatin1(amount.idText));
        sendFixedAmount(link, amount);
        counters->setDone(++sent);
        link.processEvents();
    }
}
