#include "SimWire.h"

#include <algorithm>

namespace sim {

void Wire::queue(const Bytes& bytes, Clock::time_point earliest, Clock::duration byteTime) {
    if (bytes.empty()) return;
    const auto start = std::max(earliest, free_);
    batches_.push_back(Batch{start, bytes, byteTime});
    free_ = start + byteTime * Clock::rep(bytes.size());
}

Wire::Clock::time_point Wire::arrivalOf(std::size_t ahead) const {
    for (const Batch& b : batches_) {
        const std::size_t left = b.bytes.size() - b.taken;
        if (ahead < left) return b.arrival(b.taken + ahead);
        ahead -= left;
    }
    return Clock::time_point::max();
}

Wire::Clock::time_point Wire::chunkDue(Clock::duration chunk) const {
    if (batches_.empty()) return Clock::time_point::max();
    const Batch& b = batches_.front();
    const std::size_t left = b.bytes.size() - b.taken;
    const std::size_t bytes = b.byteTime > Clock::duration::zero()
                                  ? std::size_t(std::max<Clock::rep>(1, chunk / b.byteTime))
                                  : left;
    return b.arrival(b.taken + std::min(bytes, left) - 1);
}

void Wire::take(Clock::time_point now, std::vector<Arrival>& out) {
    while (!batches_.empty()) {
        Batch& b = batches_.front();
        if (now < b.start) return;
        std::size_t off = b.bytes.size();
        if (b.byteTime > Clock::duration::zero())
            off = std::min(off, std::size_t((now - b.start) / b.byteTime));
        for (; b.taken < off; ++b.taken) out.push_back({b.arrival(b.taken), b.bytes[b.taken]});
        if (b.taken < b.bytes.size()) return;
        batches_.pop_front();
    }
}

} // namespace sim
