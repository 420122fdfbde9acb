// The serial device on POSIX termios (Linux): an exclusive, non-blocking descriptor in raw mode,
// the driver's low latency while it is open, FIONREAD and TIOCOUTQ for the queues, TIOCGICOUNT for
// line errors, poll() and an eventfd for the event thread.
#include "CommPlatform.h"
#include "CommTermios.h"
#include "SerialLog.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

namespace {

using Clock = std::chrono::steady_clock;

// How often the event thread looks again at input that sits unread, instead of polling a
// device that stays readable until the UI thread takes the bytes.
constexpr int kRecheckMs = 50;

// The settings that must read back as written.
constexpr tcflag_t kCheckedControl = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
constexpr tcflag_t kCheckedInput = INPCK | IXON | IXOFF;

// Linux gives the slaves of pseudo-terminals the majors 136 to 143.
bool isPseudoTerminal(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

// What a device without modem lines or without line-error counters (a pseudo-terminal) answers.
bool notSupported(int error) {
    return error == ENOTTY || error == EINVAL;
}

// The time one character takes on the line: start bit, data bits, parity bit, stop bits.
std::chrono::microseconds characterTime(const TDeviceControlBlock& dcb) {
    const int bits = 1 + dcb.ByteSize + (dcb.Parity ? 1 : 0) + (dcb.StopBits ? 2 : 1);
    return std::chrono::microseconds(dcb.BaudRate ? bits * 1000000LL / dcb.BaudRate : 1000);
}

void logCounters(const char* when, const serial_icounter_struct& c) {
    qCDebug(lcSerial).nospace() << "line errors " << when << ": frame " << c.frame << ", overrun "
                                << c.overrun << ", parity " << c.parity << ", break " << c.brk
                                << ", buffer overrun " << c.buf_overrun;
}

// Asks the driver to hand over input at once (ASYNC_LOW_LATENCY): a USB adapter otherwise holds
// what it received until its latency timer runs out, 16 ms on an FTDI chip, where it is 1 ms once
// asked. Returns whether the flag was set here, so that the port gives it back on close; a driver
// without the setting (a pseudo-terminal) is left as it is, a refusal is logged.
bool askLowLatency(int fd) {
    serial_struct found;
    if (ioctl(fd, TIOCGSERIAL, &found) != 0) {
        if (const int why = errno; !notSupported(why))
            qCDebug(lcSerial) << "cannot read the driver's settings:" << systemErrorText(why).c_str();
        return false;
    }
    if (found.flags & ASYNC_LOW_LATENCY) return false;
    serial_struct wanted = found;
    wanted.flags |= ASYNC_LOW_LATENCY;
    if (ioctl(fd, TIOCSSERIAL, &wanted) != 0) {
        const int why = errno;
        qCDebug(lcSerial) << "the driver refuses low latency:" << systemErrorText(why).c_str();
        return false;
    }
    qCDebug(lcSerial) << "low latency asked of the driver";
    return true;
}

// Clears the flag askLowLatency set, leaving whatever else changed meanwhile. A pulled adapter
// refuses, but its settings went with it.
void giveBackLowLatency(int fd) {
    serial_struct now;
    if (ioctl(fd, TIOCGSERIAL, &now) != 0) return;
    now.flags &= ~ASYNC_LOW_LATENCY;
    if (ioctl(fd, TIOCSSERIAL, &now) != 0) {
        const int why = errno;
        qCDebug(lcSerial) << "cannot give back the driver's latency:" << systemErrorText(why).c_str();
    }
}

class PosixDevice final : public CommDevice {
public:
    PosixDevice(int fd, int wakeFd, bool exclusive, bool lowLatencySet)
        : fd_(fd), wakeFd_(wakeFd), pseudoTerminal_(isPseudoTerminal(fd)), exclusive_(exclusive),
          lowLatencySet_(lowLatencySet) {
        // Counters run from the driver's start, not from this open; the first line tells later
        // ones apart from errors some other program saw.
        if (ioctl(fd_, TIOCGICOUNT, &clearedCounters_) == 0)
            logCounters("at open", clearedCounters_);
        else
            clearedCounters_ = serial_icounter_struct{};
        watchedCounters_ = clearedCounters_;
    }
    // The exclusive flag belongs to the terminal, not to the descriptor: left set, it would keep
    // out the next program while anyone else (the far end of a pseudo-terminal) holds the terminal.
    // A hung-up terminal refuses the ioctl, but it is gone then anyway.
    ~PosixDevice() override {
        if (lowLatencySet_) giveBackLowLatency(fd_);
        if (exclusive_) ioctl(fd_, TIOCNXCL);
        ::close(wakeFd_);
        ::close(fd_);
    }

    bool isCharacterDevice() const override {
        struct stat st;
        return fstat(fd_, &st) == 0 && S_ISCHR(st.st_mode);
    }

    int makeReadsReturnAtOnce() override {
        termios tio;
        if (tcgetattr(fd_, &tio) != 0) return errno;
        cfmakeraw(&tio);
        // cfmakeraw leaves hardware flow control and XOFF alone, and a terminal program that used
        // the port before may have left any of them on; FlowControl sets them again when wanted.
        tio.c_cflag &= ~CRTSCTS;
        tio.c_iflag &= ~(IXON | IXOFF | IXANY);
        tio.c_cflag |= CLOCAL | CREAD;
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        return tcsetattr(fd_, TCSANOW, &tio) == 0 ? 0 : errno;
    }

    // The kernel sizes a terminal's queues itself; only nonsense is refused.
    int setQueueSizes(int input, int output) override { return input > 0 && output > 0 ? 0 : EINVAL; }

    int readSettings(TDeviceControlBlock& dcb) override {
        termios tio;
        if (tcgetattr(fd_, &tio) != 0) return errno;
        dcb = blockFromTermios(tio);
        return 0;
    }

    // tcsetattr succeeds when any part of the change took, so the speed is read back; glibc
    // itself checks data bits and parity. A pseudo-terminal has no framing: it stays at 8 bits
    // without parity and glibc reports that as EINVAL, which is no fault there.
    int writeSettings(const TDeviceControlBlock& dcb) override {
        termios wanted;
        if (tcgetattr(fd_, &wanted) != 0) return errno;
        if (int error = termiosFromBlock(dcb, wanted)) return error;
        if (tcsetattr(fd_, TCSANOW, &wanted) != 0 && !(errno == EINVAL && pseudoTerminal_)) return errno;
        termios got;
        if (tcgetattr(fd_, &got) != 0) return errno;
        const tcflag_t framingKept = pseudoTerminal_ ? tcflag_t(~(CSIZE | PARENB)) : ~tcflag_t(0);
        const bool took = cfgetospeed(&got) == cfgetospeed(&wanted) &&
                          ((got.c_cflag ^ wanted.c_cflag) & framingKept & kCheckedControl) == 0 &&
                          ((got.c_iflag ^ wanted.c_iflag) & kCheckedInput) == 0;
        if (!took) return EINVAL;
        characterTime_ = characterTime(dcb);
        return 0;
    }

    CommTransfer write(const void* buffer, int count, int timeoutMs) override {
        if (count < 0) return {0, EINVAL};
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        const char* bytes = static_cast<const char*>(buffer);
        int done = 0;
        while (done < count) {
            const ssize_t n = ::write(fd_, bytes + done, size_t(count - done));
            if (n > 0) {
                done += int(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN) return {0, errno};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return cancelOutput();
            pollfd p{fd_, POLLOUT, 0};
            if (poll(&p, 1, int(left.count())) < 0 && errno != EINTR) return {0, errno};
        }
        // Not tcdrain: it waits for as long as flow control holds the line, without a time-out.
        const int drained =
            waitForOutputDrain([this](int& queued) { return ioctl(fd_, TIOCOUTQ, &queued) == 0 ? 0 : errno; },
                               deadline, characterTime_);
        if (drained < 0) return cancelOutput();
        if (drained > 0) return {0, drained};
        return {done, 0};
    }

    CommTransfer read(void* buffer, int count) override {
        if (count < 0) return {0, EINVAL};
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, size_t(count));
            if (n > 0) {
                consumed_ += std::uint64_t(n);
                return {int(n), 0};
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN) return {0, errno};
            break;
        }
        // With VMIN 0 a hung-up line reads as "nothing yet"; only poll tells them apart.
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return {0, EIO};
        return {0, 0};
    }

    int queueCount(int& count) override { return ioctl(fd_, FIONREAD, &count) == 0 ? 0 : errno; }

    int clearErrors(std::uint32_t& errors) override {
        serial_icounter_struct now;
        if (int error = readCounters(now)) return error;
        errors = errorBits(clearedCounters_, now);
        clearedCounters_ = now;
        if (errors) logCounters("now", now);
        return 0;
    }

    void purge() override { tcflush(fd_, TCIOFLUSH); }

    // Beside the event thread's poll: a descriptor may be polled by several at once. A line that
    // hung up reads as ready at once, every time: the caller then sleeps its step instead of
    // spinning until the next read tells it.
    bool waitInput(std::int64_t timeoutUs) override {
        pollfd p{fd_, POLLIN, 0};
        const timespec timeout{time_t(timeoutUs / 1'000'000), long(timeoutUs % 1'000'000) * 1000};
        return ppoll(&p, 1, &timeout, nullptr) >= 0 && !(p.revents & (POLLHUP | POLLERR | POLLNVAL));
    }

    std::uint32_t waitEvent(std::uint32_t mask) override {
        for (;;) {
            if (hungUp_) {
                waitForWake(-1);
                return 0;
            }
            std::uint32_t events = 0;
            int count = 0;
            if (queueSnapshot(count)) {
                // Bytes taken by Read count as arrived: input that was read and replaced
                // between two looks is still new input.
                const std::uint64_t arrived = consumed_.load() + std::uint64_t(count);
                if (arrived > arrived_) events |= commevent::RxChar;
                arrived_ = std::max(arrived_, arrived);
            }
            serial_icounter_struct now;
            if (readCounters(now) == 0) {
                const std::uint32_t errors = errorBits(watchedCounters_, now);
                if (errors & commerror::Break) events |= commevent::Break;
                if (errors & ~commerror::Break) events |= commevent::Err;
                watchedCounters_ = now;
            }
            events &= mask;
            if (events) {
                inputSeen_ = false;
                return events;
            }
            // The device is polled only while its queue is empty and the last poll did not just
            // report input: a readable device would end every poll at once. Input that the poll
            // saw but FIONREAD does not show yet is looked at again shortly.
            const bool watchDevice = count == 0 && !inputSeen_;
            pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {fd_, POLLIN, 0}};
            const int n = poll(fds, watchDevice ? 2 : 1, watchDevice ? -1 : kRecheckMs);
            if (n < 0 && errno != EINTR) return hangUp(mask, commevent::Err, "poll failed");
            if (fds[0].revents) {
                consumeWake();
                return 0;
            }
            inputSeen_ = watchDevice && (fds[1].revents & POLLIN);
            if (watchDevice && (fds[1].revents & POLLHUP))
                return hangUp(mask, commevent::Rlsd, "line hung up");
            if (watchDevice && (fds[1].revents & (POLLERR | POLLNVAL)))
                return hangUp(mask, commevent::Err, "line failed");
        }
    }

    void wakeWaiter() override {
        const std::uint64_t one = 1;
        while (::write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }

private:
    // A terminal without line-error counters (a pseudo-terminal) has no line errors.
    int readCounters(serial_icounter_struct& counters) const {
        counters = serial_icounter_struct{};
        if (ioctl(fd_, TIOCGICOUNT, &counters) == 0) return 0;
        return notSupported(errno) ? 0 : errno;
    }

    // A timed-out write is cancelled: what the kernel still holds of it must not trickle out once
    // the line frees, in the middle of whatever the caller sends next.
    CommTransfer cancelOutput() {
        tcflush(fd_, TCOFLUSH);
        return {-1, 0};
    }

    static std::uint32_t errorBits(const serial_icounter_struct& before, const serial_icounter_struct& now) {
        std::uint32_t bits = 0;
        if (now.buf_overrun != before.buf_overrun) bits |= commerror::RxOver;
        if (now.overrun != before.overrun) bits |= commerror::Overrun;
        if (now.parity != before.parity) bits |= commerror::RxParity;
        if (now.frame != before.frame) bits |= commerror::Frame;
        if (now.brk != before.brk) bits |= commerror::Break;
        return bits;
    }

    // After a hang-up the device stays readable (and failing) for good, so it is not polled again.
    std::uint32_t hangUp(std::uint32_t mask, std::uint32_t event, const char* why) {
        qCDebug(lcSerial) << "event thread:" << why << "- waiting only for close";
        hungUp_ = true;
        return mask & event;
    }

    // The queue count, taken when no Read completed meanwhile, so that consumed_ + count never
    // counts a byte twice; false when the count cannot be had.
    bool queueSnapshot(int& count) {
        for (;;) {
            const std::uint64_t before = consumed_.load();
            if (ioctl(fd_, FIONREAD, &count) != 0) return false;
            if (consumed_.load() == before) return true;
        }
    }

    void waitForWake(int timeoutMs) {
        pollfd p{wakeFd_, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) > 0) consumeWake();
    }

    void consumeWake() {
        std::uint64_t value;
        while (::read(wakeFd_, &value, sizeof value) < 0 && errno == EINTR) {
        }
    }

    const int fd_;
    const int wakeFd_;
    const bool pseudoTerminal_;
    const bool exclusive_;                          // TIOCEXCL was set by this descriptor
    const bool lowLatencySet_;                      // ASYNC_LOW_LATENCY was set by this descriptor
    std::chrono::microseconds characterTime_{1042}; // UI thread; 9600 bit/s 8N1 until set
    serial_icounter_struct clearedCounters_{};      // UI thread: line errors already reported
    std::atomic<std::uint64_t> consumed_{0};        // bytes taken by Read since open
    // Event thread only.
    serial_icounter_struct watchedCounters_{};
    std::uint64_t arrived_ = 0; // the most input known to have arrived since open
    bool inputSeen_ = false;
    bool hungUp_ = false;
};

} // namespace

std::unique_ptr<CommDevice> openCommDevice(const std::string& path, int& error) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    // The lock goes with the descriptor, so a crashed holder never blocks the device.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno;
        ::close(fd);
        return nullptr;
    }
    const int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0) {
        error = errno;
        ::close(fd);
        return nullptr;
    }
    // The lock keeps out only programs that ask for it; the terminal's own exclusive flag keeps out
    // every other open but root's. Not every device has it (a regular file is refused later).
    const bool exclusive = ioctl(fd, TIOCEXCL) == 0;
    if (const int why = exclusive ? 0 : errno; why && !notSupported(why))
        qCDebug(lcSerial) << "no exclusive use:" << systemErrorText(why).c_str();
    // A converter powered from the modem lines, or a reader that watches DTR, takes a line with DTR
    // and RTS down as unused, and the program before may have dropped them.
    const int lines = TIOCM_DTR | TIOCM_RTS;
    if (const int why = ioctl(fd, TIOCMBIS, &lines) == 0 ? 0 : errno; why && !notSupported(why))
        qCDebug(lcSerial) << "cannot raise DTR and RTS:" << systemErrorText(why).c_str();
    const bool lowLatencySet = askLowLatency(fd);
    error = 0;
    return std::make_unique<PosixDevice>(fd, wakeFd, exclusive, lowLatencySet);
}

// A terminal that hung up answers every transfer and ioctl with EIO; a USB adapter's driver gives
// ENODEV for the moments between the unplugging and that hang-up.
bool isLostLineError(int error) {
    return error == EIO || error == ENODEV;
}

// The device's lock is held (EWOULDBLOCK), or the terminal is in exclusive use (EBUSY).
bool isBusyDeviceError(int error) {
    return error == EWOULDBLOCK || error == EBUSY;
}

bool isMissingDeviceError(int error) {
    return error == ENOENT || error == ENODEV || error == ENXIO;
}

const int kPortClosedError = EBADF;

std::string systemErrorText(int error) {
    return std::strerror(error);
}

std::string resolveDeviceName(const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    if (name.size() == 4 && name[3] >= '1' && name[3] <= '4') {
        std::string upper = name;
        for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
        if (upper.compare(0, 3, "COM") == 0) {
            // The link itself, not its target: a link to an unplugged adapter is still the user's
            // choice and must fail to open rather than fall back to a built-in port.
            namespace fs = std::filesystem;
            std::error_code ignored;
            if (fs::exists(fs::symlink_status(upper, ignored)))
                return (fs::current_path(ignored) / upper).string();
            return "/dev/ttyS" + std::string(1, char(name[3] - 1));
        }
    }
    return name;
}

int waitForOutputDrain(const std::function<int(int& queued)>& outputQueue,
                       std::chrono::steady_clock::time_point deadline, std::chrono::microseconds byteTime,
                       const DrainClock& clock) {
    using std::chrono::microseconds;
    constexpr microseconds kShortest{1000};
    constexpr microseconds kLongest{10000};
    for (;;) {
        int queued = 0;
        if (int error = outputQueue(queued)) return (error == ENOTTY || error == EINVAL) ? 0 : error;
        if (queued <= 0) return 0;
        const auto left = std::chrono::duration_cast<microseconds>(deadline - clock.now());
        if (left.count() <= 0) return -1;
        const microseconds sending = byteTime * queued;
        clock.sleep(std::min(std::clamp(sending, kShortest, kLongest), left));
    }
}
