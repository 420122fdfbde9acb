// Refuses a second copy of the program. On Linux the guard is an flock on a file in the runtime
// directory, which the kernel releases when the holder dies, so a crashed copy never blocks the
// next start (SingleInstancePosix.cpp). On Windows it is the named shared memory block
// "sharedHandle" of the user's session, which goes with the last process that holds it
// (SingleInstanceWin32.cpp).
#pragma once

#include <QString>

#include <cstdint>

class SingleInstance {
public:
    // name: the lock file's path on Linux, the shared memory block's name on Windows.
    explicit SingleInstance(const QString& name = defaultName());
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;
    // False when another living copy holds the guard.
    bool acquired() const { return held_ != kNotHeld; }
    static QString defaultName();

private:
    static constexpr std::intptr_t kNotHeld = -1;
    std::intptr_t held_ = kNotHeld; // the descriptor or the mapping's handle
};
