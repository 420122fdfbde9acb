// Refuses a second copy of the program. The lock is an flock on a file in the runtime
// directory, which the kernel releases when the holder dies, so a crashed copy never blocks
// the next start.
#pragma once

#include <QString>

class SingleInstance {
public:
    explicit SingleInstance(const QString& lockPath = defaultLockPath());
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;
    // False when another living copy holds the lock.
    bool acquired() const { return fd_ >= 0; }
    static QString defaultLockPath();

private:
    int fd_ = -1;
};
