#include "ClockPanels.h"

#include "CaptionPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>

namespace {
// Often enough that the shown second never lags visibly; the clock-set job takes its own
// snapshot right before it uses one.
constexpr int kRefreshMs = 100;

QLabel* makePanel(const char* name, QWidget* parent) {
    QLabel* panel = captionPanel(parent, QString::fromLatin1(name), QString());
    panel->setMinimumHeight(26);
    QFont font = panel->font();
    font.setBold(true);
    panel->setFont(font);
    return panel;
}
} // namespace

ClockPanels::ClockPanels(QWidget* parent) : QWidget(parent) {
    setObjectName("ClockPanels");
    Panel1 = makePanel("Panel1", this);
    Panel2 = makePanel("Panel2", this);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Panel1);
    layout->addWidget(Panel2);
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(kRefreshMs);
    connect(Timer1, &QTimer::timeout, this, &ClockPanels::Timer1Timer);
    Timer1->start();
}

void ClockPanels::Timer1Timer() {
    snapshot = source();
    Panel1->setText(snapshot.dateText());
    Panel2->setText(snapshot.timeText());
}
