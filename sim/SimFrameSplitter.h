// Cuts the byte stream the host writes into frames. Writes arrive in any pieces (a frame body
// and its checksum come as two writes, and consecutive frames merge), so the splitter keeps
// what it has and hands out a piece only once it is whole.
#pragma once

#include "SimCodec.h"

#include <optional>

namespace sim {

struct Piece {
    enum class Kind {
        Frame,       // well-formed, checksum right
        BadChecksum, // well-formed, checksum wrong
        Malformed,   // STX, but no ETX where the length value puts it (or a length below 3)
        Garbage,     // bytes before the next STX
        Incomplete,  // the start of a frame whose rest never came
        RawRecord,   // the 102-byte fixed-amount record: 02 23 50 <id> 00 <96 bytes> FF
    };
    Kind kind;
    Bytes raw;
};

class FrameSplitter {
public:
    static constexpr std::size_t kRawRecordSize = 102;

    void feed(const std::uint8_t* bytes, std::size_t count);
    // The next whole piece, or nothing until more bytes arrive.
    std::optional<Piece> next();
    // Hands out whatever is held as an incomplete frame (or garbage) and starts afresh; called
    // when the line has been quiet for a while in the middle of a frame.
    std::optional<Piece> flush();
    bool empty() const { return buffer_.empty(); }

private:
    Piece take(Piece::Kind kind, std::size_t count);
    std::size_t nextStx() const;

    Bytes buffer_;
};

} // namespace sim
