#include "SimPunch.h"

#include <algorithm>
#include <ctime>

namespace sim {
namespace {

Punch fromTm(const std::tm& tm, std::uint64_t empNo, std::uint8_t mode) {
    Punch p;
    p.empNo = empNo;
    p.mode = mode;
    p.year = tm.tm_year + 1900;
    p.month = tm.tm_mon + 1;
    p.day = tm.tm_mday;
    p.hour = tm.tm_hour;
    p.minute = tm.tm_min;
    p.second = tm.tm_sec;
    return p;
}

} // namespace

Punch Punch::now(std::uint64_t empNo, std::uint8_t mode) {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return fromTm(tm, empNo, mode);
}

Punch Punch::generated(int readerId, std::uint32_t n) {
    std::tm tm{};
    tm.tm_year = 2004 - 1900;
    tm.tm_mon = 2;
    tm.tm_mday = 15;
    tm.tm_hour = 8;
    tm.tm_min = int(n - 1);
    // timegm normalises the minutes into hours and days; gmtime_r reads them back.
    const std::time_t t = timegm(&tm);
    gmtime_r(&t, &tm);
    return fromTm(tm, std::uint64_t(readerId) * 10000 + n, std::uint8_t(1 + (n - 1) % 4));
}

RecordBytes makeRecord(std::uint32_t seq, const Punch& punch) {
    RecordBytes r{};
    const Bytes s = toBcd(seq, 6);
    const Bytes e = toBcd(punch.empNo, 10);
    const Bytes y = toBcd(std::uint64_t(punch.year), 4);
    std::copy(s.begin(), s.end(), r.begin());
    std::copy(e.begin(), e.end(), r.begin() + 3);
    r[8] = punch.mode;
    std::copy(y.begin(), y.end(), r.begin() + 9);
    r[11] = bcdByte(punch.month);
    r[12] = bcdByte(punch.day);
    r[13] = bcdByte(punch.hour);
    r[14] = bcdByte(punch.minute);
    r[15] = bcdByte(punch.second);
    return r;
}

std::uint32_t recordSeq(const RecordBytes& record) {
    return std::uint32_t(fromBcd(record.data(), 3));
}

} // namespace sim
