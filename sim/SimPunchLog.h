// Every timed punch the simulator made, one line each: reader and sequence number, "03 000127".
// Each line is forced to disk before the punch is shown, so that whoever kills the simulator
// still knows every punch it made.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

class PunchLog {
public:
    // Opens `path` for appending, creating it when needed. Throws std::system_error.
    explicit PunchLog(const std::string& path);
    ~PunchLog();
    PunchLog(const PunchLog&) = delete;
    PunchLog& operator=(const PunchLog&) = delete;

    // Throws std::system_error.
    void append(int readerId, std::uint32_t seq);

private:
    std::string path_;
    int fd_ = -1;
};

} // namespace sim
