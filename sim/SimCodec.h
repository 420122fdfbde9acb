// The reader side of the frame format, written apart from the host's codec so that a fault in
// one is caught by the other.
//
// A frame is STX, address (reader id + 0x20), two command characters, the length value
// L = data bytes + 3, the data, ETX, two checksum characters. Address, command, length and data
// travel with 0x20 added (mod 256); STX, ETX and the checksum characters do not. The checksum
// is the low byte of the sum of the wire bytes from the address through ETX, sent as
// 0x20 + high nibble, 0x20 + low nibble.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kEtx = 0x03;
constexpr std::uint8_t kOffset = 0x20;
constexpr int kMaxReaders = 12;
// Frames to this address reach every reader on the line; none of them answers.
constexpr int kBroadcastId = 153;

struct Frame {
    int id = 0;
    std::string code;
    Bytes data;
};

// The whole frame as it goes on the wire.
Bytes encodeFrame(const Frame& frame);

// The two checksum characters of the wire bytes [from, to).
std::uint8_t checksumHigh(const Bytes& wire, std::size_t from, std::size_t to);
std::uint8_t checksumLow(const Bytes& wire, std::size_t from, std::size_t to);

// Takes a whole frame as it stood on the wire (length already checked by the splitter) apart.
Frame decodeFrame(const Bytes& wire);

// Packed BCD, most significant digit first, two digits a byte; `digits` is even. Digits beyond
// the field are dropped.
Bytes toBcd(std::uint64_t value, int digits);
std::uint8_t bcdByte(int value);
// The decimal value of packed BCD; a nibble above 9 counts as its plain value.
std::uint64_t fromBcd(const std::uint8_t* bytes, std::size_t count);

// "02 21 61": how frames are shown in logs and messages.
std::string toHex(const Bytes& bytes);

} // namespace sim
