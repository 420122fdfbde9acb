// The counters of a download: total lines ("총 건수", cap1), lines done ("진행건수", cap2), both
// written "%0:2.2d건", and the pie gauge (Gauge1) between 0 and the total.
#pragma once

#include <QWidget>

class PieGauge;
class QLabel;

class ProgressCounters : public QWidget {
public:
    explicit ProgressCounters(QWidget* parent);

    QLabel* totalLabel;
    QLabel* cap1;
    QLabel* doneLabel;
    QLabel* cap2;
    QLabel* gaugeLabel;
    PieGauge* Gauge1;

    // Both counters back to 00건, the gauge empty.
    void reset();
    void setTotal(int total);
    void setDone(int done);
};
