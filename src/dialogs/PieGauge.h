// A pie gauge: the share of progress against the maximum as a filled pie and a percentage.
// Screen readers meet it as a progress bar whose value is the percentage ("42%"), named by the
// label whose buddy it is, or by the percentage when no label names it.
#pragma once

#include <QWidget>

class PieGauge : public QWidget {
    Q_OBJECT
public:
    explicit PieGauge(QWidget* parent = nullptr);
    int maxValue() const { return max_; }
    int progress() const { return progress_; }
    void setMaxValue(int max);
    void setProgress(int progress);
    int percent() const;
    // The percentage as the pie shows it: "42%".
    QString percentText() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void changed(int percentBefore);

    int max_ = 3;
    int progress_ = 0;
};
