// The host's side of the line towards the readers. What the host writes leaves its UART at the
// line speed, queued behind what is still going out, and is cut into frames as it is written;
// each piece reaches the readers only once its last byte is in. A frame start followed by
// silence (counted from when its last byte got in) goes to them as an incomplete piece.
#pragma once

#include "SimFrameSplitter.h"

#include <chrono>
#include <deque>
#include <optional>

namespace sim {

class Inbound {
public:
    using Clock = std::chrono::steady_clock;
    struct Arrived {
        Piece piece;
        Clock::time_point at;    // when its last byte got in
        Clock::time_point begun; // when its first byte began on the wire
    };

    void setStaleAfter(Clock::duration silence) { staleAfter_ = silence; }
    // Bytes the host wrote at `now`; with no byte time they are in at once.
    void write(const std::uint8_t* bytes, std::size_t count, Clock::time_point now, Clock::duration byteTime);
    // The next piece that is in by `now`, in the order written.
    std::optional<Arrived> next(Clock::time_point now);
    // When next() has something again; max() while it waits for the host.
    Clock::time_point nextDue() const;
    // Nothing on its way to the readers; a frame start that waits for its rest does not count.
    bool empty() const { return onWire_.empty(); }

private:
    void cut();
    Clock::time_point staleAt() const { return held_.back().in + staleAfter_; }
    void flushStale();

    // When a byte the splitter holds began on the wire and when it got in.
    struct Held {
        Clock::time_point begun;
        Clock::time_point in;
    };
    FrameSplitter splitter_;
    std::deque<Held> held_;
    std::deque<Arrived> onWire_;
    Clock::time_point free_;
    Clock::duration staleAfter_ = std::chrono::milliseconds(500);
};

} // namespace sim
