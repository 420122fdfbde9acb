#include "SimCodec.h"

namespace sim {
namespace {

unsigned sumOf(const Bytes& wire, std::size_t from, std::size_t to) {
    unsigned sum = 0;
    for (std::size_t i = from; i < to && i < wire.size(); ++i) sum += wire[i];
    return sum & 0xFF;
}

} // namespace

std::uint8_t checksumHigh(const Bytes& wire, std::size_t from, std::size_t to) {
    return std::uint8_t(kOffset + (sumOf(wire, from, to) >> 4));
}

std::uint8_t checksumLow(const Bytes& wire, std::size_t from, std::size_t to) {
    return std::uint8_t(kOffset + (sumOf(wire, from, to) & 0x0F));
}

Bytes encodeFrame(const Frame& frame) {
    Bytes wire;
    wire.reserve(frame.data.size() + 8);
    wire.push_back(kStx);
    wire.push_back(std::uint8_t(frame.id + kOffset));
    for (std::size_t i = 0; i < 2; ++i)
        wire.push_back(std::uint8_t((i < frame.code.size() ? std::uint8_t(frame.code[i]) : 0) + kOffset));
    wire.push_back(std::uint8_t(frame.data.size() + 3 + kOffset));
    for (std::uint8_t b : frame.data) wire.push_back(std::uint8_t(b + kOffset));
    wire.push_back(kEtx);
    const std::size_t end = wire.size();
    wire.push_back(checksumHigh(wire, 1, end));
    wire.push_back(checksumLow(wire, 1, end));
    return wire;
}

Frame decodeFrame(const Bytes& wire) {
    Frame frame;
    if (wire.size() < 8) return frame;
    frame.id = std::uint8_t(wire[1] - kOffset);
    frame.code = {char(std::uint8_t(wire[2] - kOffset)), char(std::uint8_t(wire[3] - kOffset))};
    // Data runs from index 5 up to the ETX, which sits three bytes before the end.
    for (std::size_t i = 5; i + 3 < wire.size(); ++i) frame.data.push_back(std::uint8_t(wire[i] - kOffset));
    return frame;
}

Bytes toBcd(std::uint64_t value, int digits) {
    Bytes out(std::size_t(digits / 2), 0);
    for (std::size_t i = out.size(); i-- > 0;) {
        const unsigned low = unsigned(value % 10);
        value /= 10;
        const unsigned high = unsigned(value % 10);
        value /= 10;
        out[i] = std::uint8_t(high << 4 | low);
    }
    return out;
}

std::uint8_t bcdByte(int value) {
    return toBcd(std::uint64_t(value < 0 ? 0 : value), 2)[0];
}

std::uint64_t fromBcd(const std::uint8_t* bytes, std::size_t count) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < count; ++i) value = value * 100 + (bytes[i] >> 4) * 10 + (bytes[i] & 0x0F);
    return value;
}

std::string toHex(const Bytes& bytes) {
    std::string out;
    out.reserve(bytes.size() * 3);
    static const char digits[] = "0123456789ABCDEF";
    for (std::uint8_t b : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

} // namespace sim
