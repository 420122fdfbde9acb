// What the host set on its serial port, as far as it decides how long a byte takes on the wire.
#pragma once

#include <chrono>

namespace sim {

struct LineSetting {
    int speed = 9600;     // bit/s
    int bitsPerByte = 10; // start bit, data bits, parity bit if any, stop bits

    std::chrono::steady_clock::duration byteTime() const;
};

// The setting of terminal `fd`; 9600 bit/s and ten bits a byte for whatever it cannot tell.
LineSetting lineSettingOf(int fd);

} // namespace sim
