#include "FGaekDn.h"

#include "CustomerDownload.h"
#include "DownloadFiles.h"
#include "ProgressCounters.h"
#include "ReaderLink.h"
#include "ReaderPanel.h"

#include <QGridLayout>
#include <QPushButton>

namespace {
const QString kCaption = QStringLiteral("고객자료 DOWNLOAD");
const QString kRunCaption = QStringLiteral("실행[&S]");
const QString kCloseCaption = QStringLiteral("종료[&X]");
} // namespace

TGaekDn::TGaekDn(ReaderLink& link, QWidget* parent) : ReaderDialog(link, kCaption, parent) {
    addReaderPanel();
    counters = new ProgressCounters(this);
    Button1 = makeButton("Button1", kRunCaption);
    Button2 = makeButton("Button2", kCloseCaption);
    connect(Button1, &QPushButton::clicked, this, &TGaekDn::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TGaekDn::Button2Click);

    auto* layout = new QGridLayout(this);
    layout->addWidget(panel, 0, 0, 2, 1);
    layout->addWidget(counters, 0, 1, 1, 2);
    layout->addWidget(Button1, 1, 1, Qt::AlignBottom);
    layout->addWidget(Button2, 1, 2, Qt::AlignBottom);
    layout->setColumnMinimumWidth(0, 130);
    const QSize size = layout->sizeHint();
    fixSize(size.width(), size.height());
}

void TGaekDn::Button1Click() {
    runJob([this] {
        link.ClearInput();
        download();
    });
}

void TGaekDn::Button2Click() {
    reject();
}

void TGaekDn::download() {
    counters->reset();
    if (!dataFileReady(kCustomerFile)) return;
    const QList<QByteArray> records = loadCustomerRecords(kCustomerFile);
    counters->setTotal(int(records.size()));
    const int reader = link.SelectedReader;
    if (reader == 0)
        panel->showAll();
    else
        panel->showReader(reader);

    CustomerDownload job(link);
    job.recordSent = [this](int sent) {
        counters->setDone(sent);
        link.processEvents();
    };
    job.stopRequested = [this] { return stopRequested(); };
    job.run(reader, records);
}
