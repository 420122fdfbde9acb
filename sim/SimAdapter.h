// The USB serial adapter on the host's end of the line. Bytes that come off the line gather in
// it and go to the host together at its next latency tick (ticks fall every `latency` counted
// from the line's start), or as soon as a full packet's worth has gathered; so the host sees
// answers in bursts, up to one latency late. With no latency every byte goes on as it comes.
#pragma once

#include "SimCodec.h"

#include <chrono>

namespace sim {

class Adapter {
public:
    using Clock = std::chrono::steady_clock;
    // A USB packet is 64 bytes, two of which carry the adapter's status.
    static constexpr std::size_t kPacketBytes = 62;

    explicit Adapter(Clock::time_point start) : start_(start) {}
    void setLatency(Clock::duration latency) { latency_ = latency; }
    bool on() const { return latency_ > Clock::duration::zero(); }

    // A byte that came off the line at `at`; what the adapter hands to the host up to then is
    // appended to `out`.
    void receive(Clock::time_point at, std::uint8_t byte, Bytes& out);
    // Hands what it holds to the host if its tick has come by `now`.
    void tick(Clock::time_point now, Bytes& out);
    // When it hands over without more bytes coming; max() when it holds none.
    Clock::time_point nextHandOver() const;
    // The first tick at or after `t`.
    Clock::time_point tickAt(Clock::time_point t) const;
    std::size_t held() const { return held_.size(); }
    bool empty() const { return held_.empty(); }

private:
    void handOver(Bytes& out);

    Clock::time_point start_;
    Clock::duration latency_{};
    Bytes held_;
    Clock::time_point firstAt_; // when the first byte held came off the line
};

} // namespace sim
