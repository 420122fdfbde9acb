#include "ExchangeFloor.h"

#include <algorithm>
#include <cmath>

namespace bench {
namespace {

constexpr int kRequestBytes = 8;
constexpr double kTurnaroundMs = 3;
constexpr double kSettleMs = 25;
constexpr double kFirstByteByMs = 205;
constexpr double kReaderGapChars = 3.5;
constexpr double kChunkMs = 4;

// When answer byte i of n, the answer starting at startMs, reaches the host.
double handedOverMs(const LineModel& line, double startMs, int i, int n) {
    const double offWire = startMs + (i + 1) * line.byteMs;
    if (line.adapterMs > 0) return std::ceil(offWire / line.adapterMs) * line.adapterMs;
    const int chunk = std::max(1, int(kChunkMs / line.byteMs));
    return startMs + std::min((i / chunk + 1) * chunk, n) * line.byteMs;
}

} // namespace

double nextInMs(const LineModel& line, Pace pace, double inMs, int answerBytes) {
    const double requestMs = kRequestBytes * line.byteMs;
    if (answerBytes == 0) return inMs + kFirstByteByMs + requestMs;
    const double start = inMs + kTurnaroundMs;
    const double last = handedOverMs(line, start, answerBytes - 1, answerBytes);
    if (pace == Pace::Whole) return last + kReaderGapChars * line.byteMs + requestMs;
    return std::max(handedOverMs(line, start, 0, answerBytes) + kSettleMs, last) + requestMs;
}

double floorMs(const LineModel& line, Pace pace, const std::vector<Exchange>& exchanges) {
    if (exchanges.empty()) return 0;
    double in = exchanges.front().inMs;
    for (const Exchange& e : exchanges) in = nextInMs(line, pace, in, e.answerBytes);
    return in - exchanges.front().inMs;
}

} // namespace bench
