#include "SimFrameSplitter.h"

#include <algorithm>

namespace sim {
namespace {

// The fixed-amount record shares the STX with frames; a frame to reader 3 would carry a command
// letter + 0x20 (0x61 or more) where the record carries 0x50.
constexpr std::uint8_t kRawAddress = 0x23;
constexpr std::uint8_t kRawMark = 0x50;
constexpr std::uint8_t kRawEnd = 0xFF;

} // namespace

void FrameSplitter::feed(const std::uint8_t* bytes, std::size_t count) {
    buffer_.insert(buffer_.end(), bytes, bytes + count);
}

std::size_t FrameSplitter::nextStx() const {
    const auto it = std::find(buffer_.begin() + 1, buffer_.end(), kStx);
    return std::size_t(it - buffer_.begin());
}

Piece FrameSplitter::take(Piece::Kind kind, std::size_t count) {
    Piece piece{kind, Bytes(buffer_.begin(), buffer_.begin() + std::ptrdiff_t(count))};
    buffer_.erase(buffer_.begin(), buffer_.begin() + std::ptrdiff_t(count));
    return piece;
}

std::optional<Piece> FrameSplitter::next() {
    if (buffer_.empty()) return std::nullopt;
    if (buffer_[0] != kStx) return take(Piece::Kind::Garbage, nextStx());
    if (buffer_.size() < 3) return std::nullopt;
    if (buffer_[1] == kRawAddress && buffer_[2] == kRawMark) {
        if (buffer_.size() < kRawRecordSize) return std::nullopt;
        const bool whole = buffer_[kRawRecordSize - 1] == kRawEnd;
        return take(whole ? Piece::Kind::RawRecord : Piece::Kind::Malformed, kRawRecordSize);
    }
    if (buffer_.size() < 5) return std::nullopt;
    const std::size_t length = std::uint8_t(buffer_[4] - kOffset);
    // Without a plausible length or an ETX where it says, the frame boundaries are lost: drop
    // up to the next STX and look for a frame there.
    if (length < 3) return take(Piece::Kind::Malformed, nextStx());
    const std::size_t total = length + 5;
    if (buffer_.size() < total) return std::nullopt;
    if (buffer_[length + 2] != kEtx) return take(Piece::Kind::Malformed, nextStx());
    const bool sumOk = buffer_[length + 3] == checksumHigh(buffer_, 1, length + 3) &&
                       buffer_[length + 4] == checksumLow(buffer_, 1, length + 3);
    return take(sumOk ? Piece::Kind::Frame : Piece::Kind::BadChecksum, total);
}

std::optional<Piece> FrameSplitter::flush() {
    if (buffer_.empty()) return std::nullopt;
    const auto kind = buffer_[0] == kStx ? Piece::Kind::Incomplete : Piece::Kind::Garbage;
    return take(kind, buffer_.size());
}

} // namespace sim
