#include "ProgressCounters.h"

#include "Formats.h"
#include "PieGauge.h"

#include <QGridLayout>
#include <QLabel>

namespace {
QLabel* makeTitle(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setFrameStyle(QFrame::Panel | QFrame::Raised);
    return label;
}

QLabel* makeCounter(const QString& name, QWidget* parent) {
    auto* label = new QLabel(countText(0), parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setMinimumWidth(110);
    label->setFixedHeight(30);
    QFont f = label->font();
    f.setPixelSize(18);
    f.setBold(true);
    label->setFont(f);
    return label;
}
} // namespace

ProgressCounters::ProgressCounters(QWidget* parent) : QWidget(parent) {
    setObjectName("ProgressCounters");
    totalLabel = makeTitle(QStringLiteral("총 건수"), this);
    cap1 = makeCounter("cap1", this);
    doneLabel = makeTitle(QStringLiteral("진행건수"), this);
    cap2 = makeCounter("cap2", this);
    gaugeLabel = makeTitle(QStringLiteral("Work Progress"), this);
    Gauge1 = new PieGauge(this);
    Gauge1->setFixedSize(96, 96);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(totalLabel, 0, 0);
    layout->addWidget(cap1, 1, 0);
    layout->addWidget(doneLabel, 2, 0);
    layout->addWidget(cap2, 3, 0);
    layout->addWidget(gaugeLabel, 0, 1);
    layout->addWidget(Gauge1, 1, 1, 3, 1, Qt::AlignCenter);
}

void ProgressCounters::reset() {
    cap1->setText(countText(0));
    cap2->setText(countText(0));
    Gauge1->setProgress(0);
}

void ProgressCounters::setTotal(int total) {
    cap1->setText(countText(total));
    Gauge1->setMaxValue(total);
}

void ProgressCounters::setDone(int done) {
    cap2->setText(countText(done));
    Gauge1->setProgress(done);
}
