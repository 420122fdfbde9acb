#include "LineTiming.h"

#include "CommInt.h"

namespace {
// Room for a loaded computer's scheduling on top of what the line needs.
constexpr int kMarginMs = 5;
// A pause inside an answer is waited out generously: a whole frame is read as soon as its length
// value says it is in, so this only costs time after a cut or garbled answer, while ending an
// answer too early on a busy computer costs a repeat.
constexpr int kQuietMarginMs = 30;
constexpr int kQuietBytes = 3;
constexpr int kShortRequestBytes = 13;
constexpr int kShortAnswerBytes = 11;
constexpr int kReaderGapTenthChars = 35;
} // namespace

std::int64_t LineTiming::wireUs(int bytes) const {
    if (bitsPerSecond_ == 0 || bytes <= 0) return 0;
    const std::int64_t bits = std::int64_t(bytes) * bitsPerByte_ * 1'000'000;
    return (bits + bitsPerSecond_ - 1) / bitsPerSecond_;
}

std::int64_t LineTiming::readerGapUs() const {
    if (bitsPerSecond_ == 0) return 0;
    const std::int64_t tenthBits = std::int64_t(kReaderGapTenthChars) * bitsPerByte_ * 1'000'000;
    return (tenthBits + 10 * bitsPerSecond_ - 1) / (10 * bitsPerSecond_);
}

void LineTiming::follow(const TCustomComm& comm) {
    setSpeed(baudRateValue(comm.BaudRate()));
    setFraming(comm.Databits() + 4, comm.Parity() != paNone, comm.Stopbits() == sb10 ? 1 : 2);
}

int LineTiming::firstByteMs() const {
    return kTurnaroundMs + wireMs(1) + adapterLatencyMs_ + kMarginMs;
}

int LineTiming::interByteMs() const {
    return adapterLatencyMs_ + wireMs(kQuietBytes) + kQuietMarginMs;
}

int LineTiming::shortExchangeMs() const {
    return wireMs(kShortRequestBytes + kShortAnswerBytes) + kTurnaroundMs + adapterLatencyMs_;
}
