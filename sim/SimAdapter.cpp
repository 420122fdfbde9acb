#include "SimAdapter.h"

namespace sim {

void Adapter::receive(Clock::time_point at, std::uint8_t byte, Bytes& out) {
    if (!held_.empty() && tickAt(firstAt_) <= at) handOver(out);
    if (held_.empty()) firstAt_ = at;
    held_.push_back(byte);
    if (!on() || held_.size() >= kPacketBytes) handOver(out);
}

void Adapter::tick(Clock::time_point now, Bytes& out) {
    if (!held_.empty() && nextHandOver() <= now) handOver(out);
}

Adapter::Clock::time_point Adapter::nextHandOver() const {
    return held_.empty() ? Clock::time_point::max() : tickAt(firstAt_);
}

Adapter::Clock::time_point Adapter::tickAt(Clock::time_point t) const {
    if (!on() || t <= start_ || t == Clock::time_point::max()) return t;
    const Clock::rep ticks = ((t - start_) + latency_ - Clock::duration(1)) / latency_;
    return start_ + latency_ * ticks;
}

void Adapter::handOver(Bytes& out) {
    out.insert(out.end(), held_.begin(), held_.end());
    held_.clear();
}

} // namespace sim
