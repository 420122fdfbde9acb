#include "SimPunchLog.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace sim {

PunchLog::PunchLog(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), path);
}

PunchLog::~PunchLog() {
    ::close(fd_);
}

void PunchLog::append(int readerId, std::uint32_t seq) {
    char line[32];
    const int length = std::snprintf(line, sizeof line, "%02d %06u\n", readerId, unsigned(seq));
    // A line goes out in one write, so that a kill never leaves half of one.
    const ssize_t written = ::write(fd_, line, std::size_t(length));
    if (written >= 0 && written < length) errno = EIO;
    if (written != length || ::fsync(fd_) != 0)
        throw std::system_error(errno, std::generic_category(), path_);
}

} // namespace sim
