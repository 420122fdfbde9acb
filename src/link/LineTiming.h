// What time the line itself costs: bytes on the wire at the line's speed and framing, the
// reader's turn-around and the delay of a USB adapter, which hands received bytes to the
// computer in bursts (every 16 ms by default on FTDI chips). The reader link asks it how long an
// answer may take to begin and how long the line may pause inside one; the main timer asks it
// how long a tick must be.
#pragma once

#include <cstdint>

class TCustomComm;

class LineTiming {
public:
    // A reader's time between the last byte of a request and the first byte of its answer, as far
    // as the host allows for it.
    static constexpr int kTurnaroundMs = 30;
    static constexpr int kDefaultAdapterLatencyMs = 16;

    // bitsPerSecond 0 means unknown: the wire then costs nothing.
    void setSpeed(int bitsPerSecond) { bitsPerSecond_ = bitsPerSecond > 0 ? bitsPerSecond : 0; }
    // Start bit, data bits, parity bit and stop bits (1.5 counted as 2).
    void setFraming(int dataBits, bool parity, int stopBits) {
        bitsPerByte_ = 1 + dataBits + (parity ? 1 : 0) + stopBits;
    }
    void setAdapterLatencyMs(int ms) { adapterLatencyMs_ = ms > 0 ? ms : 0; }
    // Speed and framing as the port is set (whether or not it is open).
    void follow(const TCustomComm& comm);

    int bitsPerSecond() const { return bitsPerSecond_; }
    int adapterLatencyMs() const { return adapterLatencyMs_; }

    // Microseconds that `bytes` take on the wire, rounded up.
    std::int64_t wireUs(int bytes) const;
    // How long after the last byte of its answer a reader hears the next request: 3.5
    // characters' time, as on an RS-485 bus, where the reader turns its line around first.
    std::int64_t readerGapUs() const;
    int wireMs(int bytes) const { return int((wireUs(bytes) + 999) / 1000); }

    // After a request has left: how long the first byte of the answer may take to reach the
    // computer (the reader's turn-around, the byte itself, the adapter's delay and a margin).
    int firstByteMs() const;
    // How long the line may stay quiet in the middle of one answer before it counts as ended:
    // the adapter's delay plus a few bytes' time.
    int interByteMs() const;
    // The longest request and answer that are read after counting ticks (13 + 11 bytes) with
    // the reader's turn-around and the adapter's delay.
    int shortExchangeMs() const;

private:
    int bitsPerSecond_ = 0;
    int bitsPerByte_ = 10;
    int adapterLatencyMs_ = kDefaultAdapterLatencyMs;
};
