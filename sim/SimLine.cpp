#include "SimLine.h"
#include "SimLineSetting.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
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

// Without the adapter, paced bytes reach the host in chunks of about this length rather than
// one wake-up per byte.
constexpr auto kChunk = milliseconds(4);
// How long to wait before writing again when the host's input buffer is full.
constexpr auto kRetry = milliseconds(5);

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

SimLine::SimLine(int readerCount)
    : readerCount_(std::clamp(readerCount, 1, kMaxReaders)), adapter_(Clock::now()) {
    adapter_.setLatency(adapterLatency_);
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
    adapter_.setLatency(pacing_ ? adapterLatency_ : Clock::duration::zero());
}

void SimLine::setTurnaroundMs(int ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    turnaround_ = milliseconds(ms);
}

void SimLine::setAdapterLatencyMs(int ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    adapterLatency_ = milliseconds(std::max(ms, 0));
    adapter_.setLatency(pacing_ ? adapterLatency_ : Clock::duration::zero());
}

void SimLine::setStaleInputMs(int ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    inbound_.setStaleAfter(milliseconds(ms));
}

int SimLine::lineSpeed() const {
    return lineSettingOf(slave_).speed;
}

int SimLine::bitsPerByte() const {
    return lineSettingOf(slave_).bitsPerByte;
}

SimLine::Clock::duration SimLine::byteTime() const {
    return pacing_ ? lineSettingOf(slave_).byteTime() : Clock::duration::zero();
}

void SimLine::setLineFaults(const LineFaults& faults) {
    std::lock_guard<std::mutex> lock(mutex_);
    lineFaults_.set(faults);
}

LineFaultCounts SimLine::lineFaultCounts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lineFaults_.counts();
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
    return changed_.wait_for(lock, milliseconds(timeoutMs), [&] { return quiet(); });
}

bool SimLine::quiet() const {
    int unread = 0;
    if (ioctl(master_, FIONREAD, &unread) != 0) unread = 0;
    return unread == 0 && inbound_.empty() && answers_.empty() && adapter_.empty() && toHost_.empty();
}

void SimLine::setObserver(std::function<void(const LineEvent&)> observer) {
    std::lock_guard<std::mutex> lock(mutex_);
    observer_ = std::move(observer);
}

void SimLine::setKeeper(std::function<void(const std::vector<Reader>&)> keeper) {
    std::lock_guard<std::mutex> lock(mutex_);
    keeper_ = std::move(keeper);
}

void SimLine::serve() {
    std::vector<LineEvent> fresh;
    for (;;) {
        timespec timeout{};
        timespec* wait = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) return;
            const auto wake = nextWake();
            if (wake != Clock::time_point::max()) {
                const auto left = std::max(Clock::duration::zero(), wake - Clock::now());
                const auto secs = duration_cast<seconds>(left);
                timeout.tv_sec = time_t(secs.count());
                timeout.tv_nsec = long(duration_cast<nanoseconds>(left - secs).count());
                wait = &timeout;
            }
        }
        pollfd fds[2] = {{master_, POLLIN, 0}, {wake_, POLLIN, 0}};
        if (::ppoll(fds, 2, wait, nullptr) < 0 && errno != EINTR) return;
        if (fds[1].revents & POLLIN) {
            std::uint64_t count;
            [[maybe_unused]] const ssize_t cleared = ::read(wake_, &count, sizeof count);
        }
        std::function<void(const LineEvent&)> observer;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) return;
            step(Clock::now(), fds[0].revents & POLLIN, fresh);
            observer = observer_;
        }
        changed_.notify_all();
        if (observer)
            for (const LineEvent& e : fresh) observer(e);
        fresh.clear();
    }
}

void SimLine::step(Clock::time_point now, bool readable, std::vector<LineEvent>& fresh) {
    if (readable) readInput(now);
    bool taken = false;
    while (auto arrived = inbound_.next(now)) taken |= dispatch(std::move(*arrived), fresh);
    if (taken && keeper_) keeper_(readers_);
    passToHost(now);
}

SimLine::Clock::time_point SimLine::nextWake() const {
    auto wake = inbound_.nextDue();
    if (!toHost_.empty()) wake = std::min(wake, retryAt_);
    if (adapter_.on()) {
        // Only hand-overs matter to the host: the adapter's tick, or the byte that fills it.
        wake = std::min(wake, answers_.arrivalOf(Adapter::kPacketBytes - adapter_.held() - 1));
        wake = std::min(wake,
                        adapter_.empty() ? adapter_.tickAt(answers_.arrivalOf(0)) : adapter_.nextHandOver());
    } else {
        wake = std::min(wake, answers_.chunkDue(kChunk));
    }
    return wake;
}

void SimLine::readInput(Clock::time_point now) {
    std::uint8_t buffer[4096];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0) return;
    wire_.insert(wire_.end(), buffer, buffer + n);
    inbound_.write(buffer, std::size_t(n), now, byteTime());
}

bool SimLine::dispatch(Inbound::Arrived arrived, std::vector<LineEvent>& fresh) {
    bool taken = false;
    const Piece& piece = arrived.piece;
    const Clock::time_point at = arrived.at;
    LineEvent event;
    event.kind = eventKind(piece.kind);
    event.raw = std::move(arrived.piece.raw);
    auto present = [&](int id) { return id >= 1 && id <= kMaxReaders && reader(id).present(); };
    // A reader turns its line around after its answer: it misses a request that begins in the
    // 3.5 characters after the answer's last byte. The customer records ("D1") are the exception:
    // they stream, each acknowledged while the next comes, and the reader takes them as they come.
    // (A request that began while the reader was still answering is heard too: full duplex.)
    auto deaf = [&](int id, const std::string& code, std::string& note) {
        const Clock::time_point answered = answeredAt_[std::size_t(id - 1)];
        if (!pacing_ || code == "D1" || arrived.begun < answered ||
            arrived.begun >= answered + byteTime() * 7 / 2)
            return false;
        note = "missed: sooner than 3.5 characters after its answer";
        return true;
    };

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
                if (!deaf(r.id(), frame.code, copy.note)) {
                    r.take(frame, true, copy.note);
                    taken = true;
                }
                r.logEvent(copy);
            }
        } else if (present(frame.id)) {
            // A request the line loses is logged all the same: the log shows what the host
            // addressed to the reader.
            if (!deaf(frame.id, frame.code, event.note) && !lineFaults_.loseRequest(event.note)) {
                taken = true;
                if (auto tx = reader(frame.id).take(frame, false, event.note)) {
                    if (!tx->lost) lineFaults_.spoilAnswer(*tx, event.note);
                    event.answer = tx->bytes;
                    if (!tx->lost) answeredAt_[std::size_t(frame.id - 1)] = schedule(*tx, at);
                }
            }
            reader(frame.id).logEvent(event);
        } else {
            event.kind = LineEvent::Kind::NoReader;
        }
    }
    lineLog_.push_back(event);
    fresh.push_back(std::move(event));
    return taken;
}

SimLine::Clock::time_point SimLine::schedule(const Transmission& tx, Clock::time_point requestIn) {
    auto start = requestIn + milliseconds(tx.delayMs);
    if (pacing_) start += turnaround_;
    const auto perByte = byteTime();
    const std::size_t piece = tx.pieceBytes ? tx.pieceBytes : std::max<std::size_t>(tx.bytes.size(), 1);
    for (std::size_t at = 0; at < tx.bytes.size(); at += piece) {
        const std::size_t n = std::min(piece, tx.bytes.size() - at);
        answers_.queue(
            Bytes(tx.bytes.begin() + std::ptrdiff_t(at), tx.bytes.begin() + std::ptrdiff_t(at + n)), start,
            perByte);
        start = answers_.freeAt() + milliseconds(tx.pauseMs);
    }
    return answers_.freeAt();
}

void SimLine::passToHost(Clock::time_point now) {
    std::vector<Wire::Arrival> off;
    answers_.take(now, off);
    for (const Wire::Arrival& a : off) adapter_.receive(a.at, a.byte, toHost_);
    adapter_.tick(now, toHost_);
    if (toHost_.empty() || now < retryAt_) return;
    const ssize_t n = ::write(master_, toHost_.data(), toHost_.size());
    if (n > 0) toHost_.erase(toHost_.begin(), toHost_.begin() + n);
    // The host is not reading and its input is full: try again shortly.
    if (!toHost_.empty()) retryAt_ = now + kRetry;
}

} // namespace sim
