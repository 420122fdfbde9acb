#include "TickTimer.h"

#include "LineTiming.h"
#include "ReaderLink.h"

int tickIntervalMs(const LineTiming& timing) {
    return (timing.shortExchangeMs() + 2) / 3;
}

TickTimer::TickTimer(ReaderLink& link, QObject* parent) : QTimer(parent) {
    setTimerType(Qt::PreciseTimer);
    connect(this, &QTimer::timeout, this, [&link] { ++link.TickCount; });
    link.setTickSource([this](bool run) { run ? start() : stop(); });
}

void TickTimer::followLine(const LineTiming& timing) {
    setInterval(tickIntervalMs(timing));
}
