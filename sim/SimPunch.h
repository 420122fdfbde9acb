// Punch records as a reader keeps them: 16 bytes, every number packed BCD.
//   0-2 sequence number (6 digits)   3-7 employee number (10 digits)   8 attendance mode
//   9-10 year (century first)        11 month  12 day  13 hour  14 minute  15 second
#pragma once

#include "SimCodec.h"

#include <array>
#include <cstdint>

namespace sim {

using RecordBytes = std::array<std::uint8_t, 16>;

struct Punch {
    std::uint64_t empNo = 0;
    std::uint8_t mode = 1;
    int year = 2004;
    int month = 3;
    int day = 15;
    int hour = 8;
    int minute = 0;
    int second = 0;

    // The punch a reader makes at this moment (computer's local time).
    static Punch now(std::uint64_t empNo, std::uint8_t mode);
    // The n-th generated punch of reader `readerId` (n from 1): employee readerId * 10000 + n,
    // modes 1 to 4 in turn, one minute apart from 2004-03-15 08:00:00.
    static Punch generated(int readerId, std::uint32_t n);
};

RecordBytes makeRecord(std::uint32_t seq, const Punch& punch);
std::uint32_t recordSeq(const RecordBytes& record);

} // namespace sim
