// The main timer: every firing adds one to the link's TickCount, which WaitTicks counts.
#pragma once

#include <QTimer>

class ReaderLink;

class TickTimer : public QTimer {
public:
    TickTimer(ReaderLink& link, QObject* parent = nullptr);
    // Makes WaitTicks(3) last long enough for a short exchange at this line speed.
    void followLineSpeed(int bitsPerSecond);
};

// The tick length for a line speed: three ticks (WaitTicks(3) ends at the fourth firing, and
// the first may come at once) cover the longest request and answer read after WaitTicks
// (13 + 11 bytes of 10 bits) plus a reader's turn-around.
int tickIntervalMs(int bitsPerSecond);
