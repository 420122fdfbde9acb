// The readers' side of the line towards the host: answers go out one byte after another at the
// line speed, each one queued behind what is still on the wire, and a byte has come off the
// wire once its last bit is in.
#pragma once

#include "SimCodec.h"

#include <chrono>
#include <deque>
#include <vector>

namespace sim {

class Wire {
public:
    using Clock = std::chrono::steady_clock;
    struct Arrival {
        Clock::time_point at;
        std::uint8_t byte;
    };

    // `bytes` start at `earliest`, or once the bytes ahead of them have gone. With no byte time
    // they all come off at their start.
    void queue(const Bytes& bytes, Clock::time_point earliest, Clock::duration byteTime);
    // When the last queued byte is in.
    Clock::time_point freeAt() const { return free_; }
    bool empty() const { return batches_.empty(); }
    // When the byte `ahead` places behind the next one comes off; max() when fewer are queued.
    Clock::time_point arrivalOf(std::size_t ahead) const;
    // When about `chunk`'s worth of bytes (at least one, at most the rest of the batch that goes
    // out now) has come off; max() when nothing is queued.
    Clock::time_point chunkDue(Clock::duration chunk) const;
    // Hands out every byte that has come off by `now`, in order.
    void take(Clock::time_point now, std::vector<Arrival>& out);

private:
    struct Batch {
        Clock::time_point start;
        Bytes bytes;
        Clock::duration byteTime;
        std::size_t taken = 0;

        Clock::time_point arrival(std::size_t index) const {
            return start + byteTime * Clock::rep(index + 1);
        }
    };

    std::deque<Batch> batches_;
    Clock::time_point free_;
};

} // namespace sim
