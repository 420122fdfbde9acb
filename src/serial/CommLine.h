// The three operations of a serial line that the reader link uses.
#pragma once

#include <cstdint>

class CommLine {
public:
    virtual ~CommLine() = default;
    // Bytes written, or -1 on time-out.
    virtual int Write(const void* buffer, int count) = 0;
    // Returns at once with what has arrived (possibly 0 bytes), or -1 on time-out.
    virtual int Read(void* buffer, int count) = 0;
    // Bytes waiting in the input queue; -1 when the line is closed.
    virtual int InQueueCount() = 0;
    // Waits up to timeoutUs for input, returning as soon as some has come; true when it waited.
    // A line that cannot wait for input (or has gone: the next read says so) returns false at
    // once, and the caller sleeps instead.
    virtual bool WaitInput(std::int64_t timeoutUs) {
        static_cast<void>(timeoutUs);
        return false;
    }
};
