#include "ProgressCounters.h"

#include "CaptionPanel.h"
#include "Formats.h"
#include "PieGauge.h"

#include <QGridLayout>
#include <QLabel>

namespace {
QLabel* makeCounter(const QString& name, QWidget* parent) {
    QLabel* label = captionPanel(parent, name, countText(0));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
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
    totalLabel = captionPanel(this, QString(), QStringLiteral("총 건수"), false);
    cap1 = makeCounter("cap1", this);
    doneLabel = captionPanel(this, QString(), QStringLiteral("진행건수"), false);
    cap2 = makeCounter("cap2", this);
    gaugeLabel = captionPanel(this, QString(), QStringLiteral("Work Progress"), false);
    Gauge1 = new PieGauge(this);
    Gauge1->setFixedSize(96, 96);
    gaugeLabel->setBuddy(Gauge1);

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
