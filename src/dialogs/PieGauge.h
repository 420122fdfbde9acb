// A pie gauge: the share of progress against the maximum as a filled pie and a percentage.
#pragma once

#include <QWidget>

class PieGauge : public QWidget {
public:
    explicit PieGauge(QWidget* parent = nullptr);
    int maxValue() const { return max_; }
    int progress() const { return progress_; }
    void setMaxValue(int max);
    void setProgress(int progress);
    int percent() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int max_ = 3;
    int progress_ = 0;
};
