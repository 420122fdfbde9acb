#include "CommTermios.h"

#include <cerrno>

namespace {

struct SpeedCode {
    std::uint32_t rate;
    speed_t code;
};
// POSIX has no code for 14400, 56000, 128000 or 256000 bit/s; those are refused.
constexpr SpeedCode kSpeeds[] = {{110, B110},       {300, B300},      {600, B600},       {1200, B1200},
                                 {2400, B2400},     {4800, B4800},    {9600, B9600},     {19200, B19200},
                                 {38400, B38400},   {57600, B57600},  {115200, B115200}, {230400, B230400},
                                 {460800, B460800}, {921600, B921600}};

constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8}; // 5..8 data bits

// By parity code: none, odd, even, mark, space.
constexpr tcflag_t kParities[] = {0, PARENB | PARODD, PARENB, PARENB | PARODD | CMSPAR, PARENB | CMSPAR};

// Flags that termios has no counterpart for: DSR/DTR flow, DSR sensitivity, error-character
// replacement and null stripping. TxContinueOnXoff is absent on purpose: Linux always goes on
// sending after it has sent XOFF itself, so either value is accepted.
constexpr std::uint32_t kUnsupportedFlags = dcbflag::OutxDsrFlow | dcbflag::DtrHandshake |
                                            dcbflag::DsrSensitivity | dcbflag::ErrorChar | dcbflag::Null;

constexpr tcflag_t kControlBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
constexpr tcflag_t kInputBits = INPCK | IXON | IXOFF;

} // namespace

int termiosFromBlock(const TDeviceControlBlock& dcb, termios& tio) {
    const SpeedCode* speed = nullptr;
    for (const auto& s : kSpeeds)
        if (s.rate == dcb.BaudRate) speed = &s;
    if (!speed || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > 4 || dcb.StopBits > 2 ||
        (dcb.Flags & kUnsupportedFlags))
        return EINVAL;

    // One and a half stop bits go out as two: a UART asked for two with five data bits sends
    // 1.5, and termios has no other way to ask for them.
    tcflag_t control = kSizes[dcb.ByteSize - 5] | kParities[dcb.Parity] | (dcb.StopBits ? CSTOPB : 0);
    if (dcb.Flags & (dcbflag::OutxCtsFlow | dcbflag::RtsHandshake)) control |= CRTSCTS;
    tcflag_t input = 0;
    if (dcb.Flags & dcbflag::Parity) input |= INPCK;
    if (dcb.Flags & dcbflag::OutX) input |= IXON;
    if (dcb.Flags & dcbflag::InX) input |= IXOFF;

    termios result = tio;
    result.c_cflag = (result.c_cflag & ~kControlBits) | control;
    result.c_iflag = (result.c_iflag & ~kInputBits) | input;
    result.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    result.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    if (cfsetspeed(&result, speed->code) != 0) return EINVAL;
    tio = result;
    return 0;
}

TDeviceControlBlock blockFromTermios(const termios& tio) {
    TDeviceControlBlock dcb;
    const speed_t code = cfgetospeed(&tio);
    for (const auto& s : kSpeeds)
        if (s.code == code) dcb.BaudRate = s.rate;
    for (std::uint8_t bits = 5; bits <= 8; ++bits)
        if ((tio.c_cflag & CSIZE) == kSizes[bits - 5]) dcb.ByteSize = bits;
    const tcflag_t parity = tio.c_cflag & (PARENB | PARODD | CMSPAR);
    for (std::uint8_t p = 0; p < 5; ++p)
        if (parity == kParities[p]) dcb.Parity = p;
    dcb.StopBits = (tio.c_cflag & CSTOPB) ? 2 : 0;
    dcb.Flags = dcbflag::Binary;
    if (tio.c_cflag & CRTSCTS) dcb.Flags |= dcbflag::OutxCtsFlow | dcbflag::RtsHandshake;
    if (tio.c_iflag & INPCK) dcb.Flags |= dcbflag::Parity;
    if (tio.c_iflag & IXON) dcb.Flags |= dcbflag::OutX;
    if (tio.c_iflag & IXOFF) dcb.Flags |= dcbflag::InX;
    dcb.XonChar = static_cast<char>(tio.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(tio.c_cc[VSTOP]);
    return dcb;
}
