// The main timer: every firing adds one to the link's TickCount, which WaitTicks counts. The
// link runs it only while WaitTicks waits.
#pragma once

#include <QTimer>

class LineTiming;
class ReaderLink;

class TickTimer : public QTimer {
public:
    TickTimer(ReaderLink& link, QObject* parent = nullptr);
    // Makes WaitTicks(3) last long enough for a short exchange on this line.
    void followLine(const LineTiming& timing);
};

// The tick length for a line: three ticks (WaitTicks(3) ends at the fourth firing, and the
// first may come at once) cover the longest request and answer read after WaitTicks
// (13 + 11 bytes) with a reader's turn-around and the adapter's delay.
int tickIntervalMs(const LineTiming& timing);
