#include "FSikDn.h"

#include "DownloadFiles.h"
#include "MealDownload.h"
#include "ProgressCounters.h"
#include "ReaderLink.h"
#include "ReaderPanel.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace {
const QString kCaption = QStringLiteral("식사가능시간/금액  DOWNLOAD");
const QString kRunCaption = QStringLiteral("실행[&S]");
const QString kCloseCaption = QStringLiteral("종료[&X]");
const QString kAll = QStringLiteral("ALL");
} // namespace

TSikDn::TSikDn(ReaderLink& link, QWidget* parent) : ReaderDialog(link, kCaption, parent) {
    Label1 = new QLabel(QStringLiteral("Reader ID"), this);
    Label1->setObjectName("Label1");
    capid = makeIdCaption(this, QString());
    counters = new ProgressCounters(this);
    Button1 = makeButton("Button1", kRunCaption);
    Button2 = makeButton("Button2", kCloseCaption);
    connect(Button1, &QPushButton::clicked, this, &TSikDn::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TSikDn::Button2Click);

    auto* layout = new QGridLayout(this);
    layout->addWidget(Label1, 0, 0);
    layout->addWidget(capid, 1, 0);
    layout->addWidget(counters, 0, 1, 3, 2);
    layout->addWidget(Button1, 3, 1);
    layout->addWidget(Button2, 3, 2);
    layout->setColumnMinimumWidth(0, 110);
    layout->setRowStretch(2, 1);
    const QSize size = layout->sizeHint();
    fixSize(size.width(), size.height());
    FormCreate();
}

void TSikDn::FormCreate() {
    capid->setText(kAll);
}

void TSikDn::Button1Click() {
    if (jobRunning()) return;
    runJob([this] { download(); });
    capid->setText(kAll);
}

void TSikDn::Button2Click() {
    reject();
}

void TSikDn::download() {
    counters->reset();
    if (!dataFileReady(kMealFile)) return;
    const QList<MealLine> lines = loadMealLines(kMealFile);
    counters->setTotal(int(lines.size()));

    MealDownload job(link);
    job.lineTaken = [this](int handled) {
        counters->setDone(handled);
        link.processEvents();
    };
    job.readerShown = [this](const QByteArray& idText) { capid->setText(QString::fromLatin1(idText)); };
    job.stopRequested = [this] { return stopRequested(); };
    job.run(lines);
}
