#include "SimInbound.h"

#include <algorithm>

namespace sim {

void Inbound::write(const std::uint8_t* bytes, std::size_t count, Clock::time_point now,
                    Clock::duration byteTime) {
    if (count == 0) return;
    const auto start = std::max(now, free_);
    free_ = start + byteTime * Clock::rep(count);
    // The rest of a frame that comes after the silence is not that frame's rest any more.
    if (!held_.empty() && start + byteTime >= staleAt()) flushStale();
    splitter_.feed(bytes, count);
    for (std::size_t i = 0; i < count; ++i)
        held_.push_back({start + byteTime * Clock::rep(i), start + byteTime * Clock::rep(i + 1)});
    cut();
}

void Inbound::cut() {
    while (auto piece = splitter_.next()) {
        const std::size_t n = piece->raw.size();
        const Held first = held_.front();
        const auto at = held_[n - 1].in;
        held_.erase(held_.begin(), held_.begin() + std::ptrdiff_t(n));
        onWire_.push_back({std::move(*piece), at, first.begun});
    }
}

void Inbound::flushStale() {
    const auto at = staleAt();
    if (auto rest = splitter_.flush()) onWire_.push_back({std::move(*rest), at, held_.front().begun});
    held_.clear();
}

std::optional<Inbound::Arrived> Inbound::next(Clock::time_point now) {
    // The held bytes came after every piece cut before them, so they go stale only once those are out.
    if (onWire_.empty() && !held_.empty() && now >= staleAt()) flushStale();
    if (onWire_.empty() || onWire_.front().at > now) return std::nullopt;
    Arrived a = std::move(onWire_.front());
    onWire_.pop_front();
    return a;
}

Inbound::Clock::time_point Inbound::nextDue() const {
    if (!onWire_.empty()) return onWire_.front().at;
    if (!held_.empty()) return staleAt();
    return Clock::time_point::max();
}

} // namespace sim
