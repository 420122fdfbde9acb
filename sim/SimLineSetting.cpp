#include "SimLineSetting.h"

#include <termios.h>

namespace sim {
namespace {

int speedOf(speed_t s) {
    switch (s) {
    case B300:
        return 300;
    case B600:
        return 600;
    case B1200:
        return 1200;
    case B1800:
        return 1800;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B230400:
        return 230400;
    default:
        return 9600;
    }
}

int dataBitsOf(tcflag_t cflag) {
    switch (cflag & CSIZE) {
    case CS5:
        return 5;
    case CS6:
        return 6;
    case CS7:
        return 7;
    default:
        return 8;
    }
}

} // namespace

std::chrono::steady_clock::duration LineSetting::byteTime() const {
    using namespace std::chrono;
    return duration_cast<steady_clock::duration>(nanoseconds(1'000'000'000LL * bitsPerByte / speed));
}

LineSetting lineSettingOf(int fd) {
    LineSetting setting;
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return setting;
    setting.speed = speedOf(cfgetospeed(&tio));
    const tcflag_t c = tio.c_cflag;
    setting.bitsPerByte = 1 + dataBitsOf(c) + ((c & PARENB) ? 1 : 0) + ((c & CSTOPB) ? 2 : 1);
    return setting;
}

} // namespace sim
