// Up to twelve simulated readers (ids 1..12) sharing one line behind a pseudo-terminal.
//
// The host opens devicePath() (or a link made with makeLink) as its serial port. A service
// thread reads what the host writes, cuts it into frames, logs each one and lets the addressed
// reader answer; answers leave at the line speed the host set (pacing, on by default).
//
// Thread safety: every public call may come from any thread while the service thread runs;
// one lock guards the readers, the logs and the output queue. withReader runs its function under
// that lock, so the function must not call back into the SimLine.
#pragma once

#include "SimFrameSplitter.h"
#include "SimReader.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace sim {

class SimLine {
public:
    // Readers 1..readerCount are present, the others absent (setPresent brings them in).
    // Throws std::system_error when no pseudo-terminal can be had.
    explicit SimLine(int readerCount = 4);
    ~SimLine();
    SimLine(const SimLine&) = delete;
    SimLine& operator=(const SimLine&) = delete;

    // The slave side, e.g. "/dev/pts/3".
    const std::string& devicePath() const { return devicePath_; }
    // A symbolic link `name` (relative to the working directory) to the slave, removed again
    // when the line goes. An older link of that name is replaced; anything else that bears the
    // name is left alone and std::runtime_error is thrown.
    void makeLink(const std::string& name);

    // Pacing: answers leave at the line speed, each after the request's own time on the wire
    // plus the reader's turn-around. Off: answers leave at once (fault delays still apply).
    void setPacing(bool on);
    void setTurnaroundMs(int ms);
    // A frame start followed by this much silence is logged as incomplete and dropped.
    void setStaleInputMs(int ms);
    // The speed the host set on the line, in bit/s (9600 when it set none we know).
    int lineSpeed() const;

    int readerCount() const { return readerCount_; }
    template <class F> auto withReader(int id, F f) {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(reader(id));
    }

    // Logs: frames a reader received (a broadcast lands in every present reader's log), every
    // piece the line carried, and every byte the host wrote, in order.
    std::vector<LineEvent> frames(int id) const;
    std::vector<LineEvent> lineEvents() const;
    Bytes wireBytes() const;
    void clearLogs();

    // Waits until reader `id` has logged `count` frames, the line `count` events, or every
    // answer has left; false on time-out.
    bool waitForFrames(int id, std::size_t count, int timeoutMs) const;
    bool waitForLineEvents(std::size_t count, int timeoutMs) const;
    bool waitUntilSent(int timeoutMs) const;

    // Called on the service thread (without the lock) for every line event as it is logged.
    void setObserver(std::function<void(const LineEvent&)> observer);

private:
    using Clock = std::chrono::steady_clock;
    struct Segment {
        Clock::time_point start;
        Bytes bytes;
        Clock::duration byteTime; // zero when unpaced
        std::size_t sent = 0;
    };

    Reader& reader(int id);
    const Reader& reader(int id) const;
    void serve();
    void readInput(Clock::time_point now, std::vector<LineEvent>& fresh);
    void dispatch(Piece piece, Clock::time_point now, std::vector<LineEvent>& fresh);
    void schedule(const Transmission& tx, std::size_t requestBytes, Clock::time_point now);
    void sendDue(Clock::time_point now);
    int pollTimeoutMs(Clock::time_point now) const;
    Clock::duration byteTime() const;

    int readerCount_;
    std::string devicePath_;
    int master_ = -1;
    int slave_ = -1;
    int wake_ = -1;
    std::vector<std::string> links_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Reader> readers_; // index id - 1
    std::vector<LineEvent> lineLog_;
    Bytes wire_;
    FrameSplitter splitter_;
    Clock::time_point lastInput_;
    std::deque<Segment> out_;
    Clock::time_point lineFree_;
    Clock::time_point retryAt_;
    bool pacing_ = true;
    Clock::duration turnaround_ = std::chrono::milliseconds(3);
    Clock::duration staleAfter_ = std::chrono::milliseconds(500);
    std::function<void(const LineEvent&)> observer_;
    bool stopping_ = false;

    std::thread thread_;
};

} // namespace sim
