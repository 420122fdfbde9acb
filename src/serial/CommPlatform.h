// The platform's side of the serial port component: one open device and the few operations the
// component needs from it, and how the platform's error numbers read. CommPosix.cpp provides
// them with termios, CommWin32.cpp with the Win32 communications calls; the build takes the one
// of the platform it builds for. Nothing outside this folder sees this header's types.
//
// Thread safety: the event thread calls only waitEvent and purge; wakeWaiter may be called from
// any thread; every other operation belongs to the UI thread, Read and Write under the
// component's lock.
#pragma once

#include "CommInt.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

// Line-event bits as handed to HandleEvent (the values of the Win32 event mask).
namespace commevent {
constexpr std::uint32_t RxChar = 0x0001;
constexpr std::uint32_t RxFlag = 0x0002;
constexpr std::uint32_t TxEmpty = 0x0004;
constexpr std::uint32_t Cts = 0x0008;
constexpr std::uint32_t Dsr = 0x0010;
constexpr std::uint32_t Rlsd = 0x0020;
constexpr std::uint32_t Break = 0x0040;
constexpr std::uint32_t Err = 0x0080;
constexpr std::uint32_t Ring = 0x0100;
} // namespace commevent

// The event-mask bits of a set of event types.
std::uint32_t eventMaskOf(TCommEventTypes events);

// Line-error bits reported to OnError (the values of the Win32 CE_ bits).
namespace commerror {
constexpr std::uint32_t RxOver = 0x0001;
constexpr std::uint32_t Overrun = 0x0002;
constexpr std::uint32_t RxParity = 0x0004;
constexpr std::uint32_t Frame = 0x0008;
constexpr std::uint32_t Break = 0x0010;
} // namespace commerror

// The outcome of a transfer: count is the bytes moved, or -1 when the time ran out; error is 0
// or the platform error number (count is then meaningless).
struct CommTransfer {
    int count = 0;
    int error = 0;
};

// Every operation that returns int returns 0 or the platform error number; none throws.
class CommDevice {
public:
    virtual ~CommDevice() = default;

    virtual bool isCharacterDevice() const = 0;
    // Raw transfers where a read returns at once with what has arrived, possibly nothing.
    virtual int makeReadsReturnAtOnce() = 0;
    virtual int setQueueSizes(int input, int output) = 0;
    // The complete line settings, read from and written to the device. writeSettings refuses
    // (EINVAL) what the device cannot do rather than setting something else.
    virtual int readSettings(TDeviceControlBlock& dcb) = 0;
    virtual int writeSettings(const TDeviceControlBlock& dcb) = 0;

    // Writes all count bytes and returns once they have left the device, all within timeoutMs.
    // When the time runs out first, what is still queued for output is dropped and count is -1:
    // the caller takes the transfer as cancelled, so nothing of it may reach the line later.
    virtual CommTransfer write(const void* buffer, int count, int timeoutMs) = 0;
    // Takes what has arrived, up to count bytes, without waiting. A hung-up line is an error.
    virtual CommTransfer read(void* buffer, int count) = 0;
    virtual int queueCount(int& count) = 0;
    // The commerror bits of the line errors seen since the last call.
    virtual int clearErrors(std::uint32_t& errors) = 0;
    // Drops whatever is still queued in either direction.
    virtual void purge() = 0;
    // Blocks up to timeoutUs until input is waiting; false when the device cannot be waited on
    // (beside the event thread's wait, or when the line has gone).
    virtual bool waitInput(std::int64_t timeoutUs) = 0;

    // Blocks until one of the events in mask (commevent bits) happens on the line and returns
    // the events seen, or returns 0 once wakeWaiter has been called.
    virtual std::uint32_t waitEvent(std::uint32_t mask) = 0;
    virtual void wakeWaiter() = 0;
};

// Whether a transfer error (Read, Write, InQueueCount) means that the device went away: the far
// end hung up or the adapter was pulled.
bool isLostLineError(int error);
// Whether an open error means that another program holds the device.
bool isBusyDeviceError(int error);
// Whether an open error means that there is no such device (yet): an adapter pulled out.
bool isMissingDeviceError(int error);
// The error number a transfer on a closed port raises.
extern const int kPortClosedError;
// The system's own description of an error number, for the log.
std::string systemErrorText(int error);

// Opens path exclusively for reading and writing without blocking; nullptr and the error number
// in error when it is missing, busy or cannot be opened.
std::unique_ptr<CommDevice> openCommDevice(const std::string& path, int& error);

// The time source the output drain waits with; a test stands in one whose time passes only when
// the drain sleeps.
struct DrainClock {
    std::function<std::chrono::steady_clock::time_point()> now = [] {
        return std::chrono::steady_clock::now();
    };
    std::function<void(std::chrono::microseconds)> sleep = [](std::chrono::microseconds d) {
        std::this_thread::sleep_for(d);
    };
};

// The POSIX device's write: waits until outputQueue (0 and the bytes still queued for output, or
// an error number) reports nothing queued. It looks again after the time the queued bytes take at byteTime
// each, but no sooner than 1 ms (no spinning on a fast line) nor later than 10 ms (the count falls in steps
// as the UART takes bytes into its FIFO), and never sleeps past deadline. A device that cannot tell its queue
// (ENOTTY, EINVAL) counts as drained. Returns 0 when drained, -1 when the deadline passed with bytes still
// queued, else the error number outputQueue gave.
int waitForOutputDrain(const std::function<int(int& queued)>& outputQueue,
                       std::chrono::steady_clock::time_point deadline, std::chrono::microseconds byteTime,
                       const DrainClock& clock = DrainClock());
