#include "TickTimer.h"

#include "ReaderLink.h"

namespace {
constexpr int kExchangeBits = (13 + 11) * 10;
constexpr int kTurnAroundMs = 20;
} // namespace

int tickIntervalMs(int bitsPerSecond) {
    const int wireMs = (kExchangeBits * 1000 + bitsPerSecond - 1) / std::max(bitsPerSecond, 1);
    return (wireMs + kTurnAroundMs + 2) / 3;
}

TickTimer::TickTimer(ReaderLink& link, QObject* parent) : QTimer(parent) {
    setTimerType(Qt::PreciseTimer);
    connect(this, &QTimer::timeout, this, [&link] { ++link.TickCount; });
}

void TickTimer::followLineSpeed(int bitsPerSecond) {
    setInterval(tickIntervalMs(bitsPerSecond));
}
