// The computer's clock on the clock dialogs: the date in Panel1, the time in Panel2, refreshed
// by Timer1 together with the snapshot that the clock-set job sends.
#pragma once

#include "ClockSnapshot.h"

#include <QWidget>

#include <functional>

class QLabel;
class QTimer;

class ClockPanels : public QWidget {
public:
    explicit ClockPanels(QWidget* parent);

    QLabel* Panel1;
    QLabel* Panel2;
    QTimer* Timer1;
    ClockSnapshot snapshot;
    // Where the time comes from (the computer's local time; a test sets its own).
    std::function<ClockSnapshot()> source = &ClockSnapshot::now;

    // Takes a fresh snapshot and shows it.
    void Timer1Timer();
};
