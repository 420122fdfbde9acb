// The three operations of a serial line that the reader link uses.
#pragma once

class CommLine {
public:
    virtual ~CommLine() = default;
    // Bytes written, or -1 on time-out.
    virtual int Write(const void* buffer, int count) = 0;
    // Returns at once with what has arrived (possibly 0 bytes), or -1 on time-out.
    virtual int Read(void* buffer, int count) = 0;
    // Bytes waiting in the input queue; -1 when the line is closed.
    virtual int InQueueCount() = 0;
};
