#include "SimLine.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace sim {
namespace {

using namespace std::chrono;

std::system_error osError(const std::string& what) {
    return {errno, std::generic_category(), what};
}

// Paced bytes leave in chunks of about this length rather than one wake-up per byte.
constexpr auto kChunk = milliseconds(4);
// How long to wait before writing again when the host's input buffer is full.
constexpr auto kRetry = milliseconds(5);

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

LineEvent::Kind eventKind(Piece::Kind kind) {
    switch (kind) {
    case Piece::Kind::Frame:
        return LineEvent::Kind::Frame;
    case Piece::Kind::BadChecksum:
        return LineEvent::Kind::BadChecksum;
    case Piece::Kind::Malformed:
        return LineEvent::Kind::Malformed;
    case Piece::Kind::Garbage:
        return LineEvent::Kind::Garbage;
    case Piece::Kind::Incomplete:
        return LineEvent::Kind::Incomplete;
    case Piece::Kind::RawRecord:
        return LineEvent::Kind::RawRecord;
    }
    return LineEvent::Kind::Garbage;
}

} // namespace

SimLine::SimLine(int readerCount) : readerCount_(std::clamp(readerCount, 1, kMaxReaders)) {
    for (int id = 1; id <= kMaxReaders; ++id) {
        readers_.emplace_back(id);
        readers_.back().setPresent(id <= readerCount_);
    }
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) throw osError("posix_openpt");
    char name[PATH_MAX];
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
        const auto error = osError("pseudo-terminal set-up");
        ::close(master_);
        throw error;
    }
    devicePath_ = name;
    // Holding a slave open keeps the line up while the host closes and reopens its port.
    slave_ = ::open(name, O_RDWR | O_NOCTTY);
    wake_ = eventfd(0, EFD_NONBLOCK);
    termios tio{};
    if (slave_ < 0 || wake_ < 0 || tcgetattr(slave_, &tio) != 0) {
        const auto error = osError("pseudo-terminal slave");
        if (slave_ >= 0) ::close(slave_);
        if (wake_ >= 0) ::close(wake_);
        ::close(master_);
        throw error;
    }
    // Raw from the start, or the terminal would echo the readers' answers back to them.
    cfmakeraw(&tio);
    cfsetspeed(&tio, B9600);
    tcsetattr(slave_, TCSANOW, &tio);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    thread_ = std::thread([this] { serve(); });
}

SimLine::~SimLine() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t woken = ::write(wake_, &one, sizeof one);
    thread_.join();
    for (const std::string& link : links_) {
        char target[PATH_MAX];
        const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, std::size_t(n)) == devicePath_) ::unlink(link.c_str());
    }
    ::close(wake_);
    ::close(slave_);
    ::close(master_);
}

void SimLine::makeLink(const std::string& name) {
    std::string path = name;
    if (path.empty() || path[0] != '/') {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd)) throw osError("getcwd");
        path = std::string(cwd) + "/" + name;
    }
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) throw std::runtime_error(name + " exists and is not a symbolic link");
        ::unlink(path.c_str());
    }
    if (symlink(devicePath_.c_str(), path.c_str()) != 0) throw osError("symlink " + name);
    links_.push_back(path);
}

void SimLine::setPacing(bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    pacing_ = on;
}

void SimLine::setTurnaroundMs(int ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    turnaround_ = milliseconds(ms);
}

void SimLine::setStaleInputMs(int ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    staleAfter_ = milliseconds(ms);
}

int SimLine::lineSpeed() const {
    termios tio{};
    if (tcgetattr(slave_, &tio) != 0) return 9600;
    return speedOf(cfgetospeed(&tio));
}

SimLine::Clock::duration SimLine::byteTime() const {
    // Ten bits a byte: start bit, eight data bits, stop bit.
    return duration_cast<Clock::duration>(nanoseconds(10'000'000'000LL / lineSpeed()));
}

Reader& SimLine::reader(int id) {
    if (id < 1 || id > kMaxReaders) throw std::out_of_range("no reader " + std::to_string(id));
    return readers_[std::size_t(id - 1)];
}

const Reader& SimLine::reader(int id) const {
    if (id < 1 || id > kMaxReaders) throw std::out_of_range("no reader " + std::to_string(id));
    return readers_[std::size_t(id - 1)];
}

std::vector<LineEvent> SimLine::frames(int id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return reader(id).log();
}

std::vector<LineEvent> SimLine::lineEvents() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lineLog_;
}

Bytes SimLine::wireBytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return wire_;
}

void SimLine::clearLogs() {
    std::lock_guard<std::mutex> lock(mutex_);
    lineLog_.clear();
    wire_.clear();
    for (Reader& r : readers_) r.clearLog();
}

bool SimLine::waitForFrames(int id, std::size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    const Reader& r = reader(id);
    return changed_.wait_for(lock, milliseconds(timeoutMs), [&] { return r.log().size() >= count; });
}

bool SimLine::waitForLineEvents(std::size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, milliseconds(timeoutMs), [&] { return lineLog_.size() >= count; });
}

bool SimLine::waitUntilSent(int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, milliseconds(timeoutMs), [&] { return out_.empty(); });
}

void SimLine::setObserver(std::function<void(const LineEvent&)> observer) {
    std::lock_guard<std::mutex> lock(mutex_);
    observer_ = std::move(observer);
}

void SimLine::serve() {
    std::vector<LineEvent> fresh;
    for (;;) {
        int timeout;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) return;
            timeout = pollTimeoutMs(Clock::now());
        }
        pollfd fds[2] = {{master_, POLLIN, 0}, {wake_, POLLIN, 0}};
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR) return;
        if (fds[1].revents & POLLIN) {
            std::uint64_t count;
            [[maybe_unused]] const ssize_t cleared = ::read(wake_, &count, sizeof count);
        }
        std::function<void(const LineEvent&)> observer;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) return;
            const auto now = Clock::now();
            if (fds[0].revents & POLLIN) readInput(now, fresh);
            if (!splitter_.empty() && now - lastInput_ >= staleAfter_)
                if (auto rest = splitter_.flush()) dispatch(std::move(*rest), now, fresh);
            sendDue(now);
            observer = observer_;
        }
        changed_.notify_all();
        if (observer)
            for (const LineEvent& e : fresh) observer(e);
        fresh.clear();
    }
}

int SimLine::pollTimeoutMs(Clock::time_point now) const {
    auto wake = Clock::time_point::max();
    if (!splitter_.empty()) wake = lastInput_ + staleAfter_;
    if (!out_.empty()) {
        const Segment& s = out_.front();
        auto due = s.start;
        if (s.byteTime > Clock::duration::zero()) {
            // Wake when a chunk's worth of bytes (or the rest of the segment) is due.
            const std::size_t chunk = std::size_t(std::max<Clock::rep>(1, kChunk / s.byteTime));
            const std::size_t target = std::min(s.bytes.size(), s.sent + chunk);
            due = s.start + s.byteTime * Clock::rep(target);
        }
        wake = std::min(wake, std::max(due, retryAt_));
    }
    if (wake == Clock::time_point::max()) return -1;
    if (wake <= now) return 0;
    // Rounded up, so that the thread never wakes just before the moment and spins.
    return int(duration_cast<milliseconds>(wake - now + milliseconds(1) - nanoseconds(1)).count());
}

void SimLine::readInput(Clock::time_point now, std::vector<LineEvent>& fresh) {
    std::uint8_t buffer[4096];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0) return;
    wire_.insert(wire_.end(), buffer, buffer + n);
    splitter_.feed(buffer, std::size_t(n));
    lastInput_ = now;
    while (auto piece = splitter_.next()) dispatch(std::move(*piece), now, fresh);
}

void SimLine::dispatch(Piece piece, Clock::time_point now, std::vector<LineEvent>& fresh) {
    LineEvent event;
    event.kind = eventKind(piece.kind);
    event.raw = std::move(piece.raw);
    auto present = [&](int id) { return id >= 1 && id <= kMaxReaders && reader(id).present(); };

    if (piece.kind == Piece::Kind::RawRecord) {
        event.id = event.raw[3];
        event.data.assign(event.raw.begin() + 5, event.raw.end() - 1);
        if (present(event.id)) {
            FixedAmount record{};
            std::copy(event.data.begin(), event.data.end(), record.begin());
            reader(event.id).takeFixedAmount(record);
            reader(event.id).logEvent(event);
        } else {
            event.note = "no reader";
        }
    } else if (piece.kind == Piece::Kind::Frame || piece.kind == Piece::Kind::BadChecksum) {
        Frame frame = decodeFrame(event.raw);
        event.id = frame.id;
        event.code = frame.code;
        event.data = frame.data;
        if (piece.kind == Piece::Kind::BadChecksum) {
            if (present(frame.id)) reader(frame.id).logEvent(event);
        } else if (frame.id == kBroadcastId) {
            event.kind = LineEvent::Kind::Broadcast;
            for (Reader& r : readers_) {
                if (!r.present()) continue;
                LineEvent copy = event;
                r.take(frame, true, copy.note);
                r.logEvent(copy);
            }
        } else if (present(frame.id)) {
            if (auto tx = reader(frame.id).take(frame, false, event.note)) {
                event.answer = tx->bytes;
                schedule(*tx, event.raw.size(), now);
            }
            reader(frame.id).logEvent(event);
        } else {
            event.kind = LineEvent::Kind::NoReader;
        }
    }
    lineLog_.push_back(event);
    fresh.push_back(std::move(event));
}

void SimLine::schedule(const Transmission& tx, std::size_t requestBytes, Clock::time_point now) {
    const auto perByte = pacing_ ? byteTime() : Clock::duration::zero();
    auto start = now + milliseconds(tx.delayMs);
    if (pacing_) start += perByte * Clock::rep(requestBytes) + turnaround_;
    // One line: an answer waits for the one before it to leave.
    start = std::max(start, lineFree_);
    const std::size_t piece = tx.pieceBytes ? tx.pieceBytes : std::max<std::size_t>(tx.bytes.size(), 1);
    for (std::size_t at = 0; at < tx.bytes.size(); at += piece) {
        const std::size_t n = std::min(piece, tx.bytes.size() - at);
        out_.push_back(Segment{
            start, Bytes(tx.bytes.begin() + std::ptrdiff_t(at), tx.bytes.begin() + std::ptrdiff_t(at + n)),
            perByte});
        lineFree_ = start + perByte * Clock::rep(n);
        start = lineFree_ + milliseconds(tx.pauseMs);
    }
}

void SimLine::sendDue(Clock::time_point now) {
    if (now < retryAt_) return;
    while (!out_.empty()) {
        Segment& s = out_.front();
        if (now < s.start) return;
        std::size_t due = s.bytes.size();
        if (s.byteTime > Clock::duration::zero())
            due = std::min(due, std::size_t((now - s.start) / s.byteTime));
        if (due > s.sent) {
            const ssize_t n = ::write(master_, s.bytes.data() + s.sent, due - s.sent);
            if (n < 0) {
                // The host is not reading and its input is full: try again shortly.
                retryAt_ = now + kRetry;
                return;
            }
            s.sent += std::size_t(n);
        }
        if (s.sent < s.bytes.size()) return;
        out_.pop_front();
    }
}

} // namespace sim
