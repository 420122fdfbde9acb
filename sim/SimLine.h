// Up to twelve simulated readers (ids 1..12) sharing one line behind a pseudo-terminal.
//
// The host opens devicePath() (or a link made with makeLink) as its serial port. A service
// thread plays the line between them. With pacing (on by default) it behaves as a real line
// does: what the host writes takes its time on the wire at the speed and character format the
// host set, so a reader sees a request only once its last byte is in; the reader answers after
// its turn-around, the answers leave one after another at the line speed, and the host's USB
// adapter hands them over in bursts at its latency ticks. A reader turns its line around after
// its answer as on an RS-485 bus: a request that begins in the 3.5 characters' time after the
// answer's last byte is missed (logged, not taken), the streamed customer records excepted.
// Without pacing, requests and answers go through at once.
//
// Thread safety: every public call may come from any thread while the service thread runs;
// one lock guards the readers, the logs and the line. withReader runs its function under that
// lock, so the function must not call back into the SimLine.
#pragma once

#include "SimAdapter.h"
#include "SimInbound.h"
#include "SimLineFaults.h"
#include "SimReader.h"
#include "SimWire.h"

#include <array>
#include <chrono>
#include <condition_variable>
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

    // Pacing: requests and answers take their time on the wire, readers take their turn-around
    // (3 ms unless set) and the adapter model applies. Off: requests reach the readers and
    // answers the host at once (fault delays still apply).
    void setPacing(bool on);
    void setTurnaroundMs(int ms);
    // The host's USB adapter, with pacing: what comes off the line reaches the host at the
    // adapter's next tick, every `ms` (16 unless set) from the line's start, or as soon as 62
    // bytes have gathered. 0: every byte reaches the host as it comes off the line.
    void setAdapterLatencyMs(int ms);
    // A frame start followed by this much silence (500 ms unless set) is logged as incomplete
    // and dropped.
    void setStaleInputMs(int ms);
    // The speed the host set on the line, in bit/s (9600 when it set none we know), and how
    // many bits a byte takes on the wire.
    int lineSpeed() const;
    int bitsPerByte() const;

    // Faults of the line as a whole; setting them starts their counts afresh. An answer the line
    // loses still changed its reader's state; a lost request is logged but the reader never
    // sees it. Every fault applied is named in the event's note.
    void setLineFaults(const LineFaults& faults);
    LineFaultCounts lineFaultCounts() const;

    int readerCount() const { return readerCount_; }
    template <class F> auto withReader(int id, F f) {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(reader(id));
    }
    // Every reader at once (index id - 1), present or not.
    template <class F> auto withReaders(F f) {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(readers_);
    }

    // Logs: frames a reader received (a broadcast lands in every present reader's log), every
    // piece the line carried, and every byte the host wrote, in order.
    std::vector<LineEvent> frames(int id) const;
    std::vector<LineEvent> lineEvents() const;
    Bytes wireBytes() const;
    void clearLogs();

    // Waits until reader `id` has logged `count` frames, the line `count` events, or the line
    // is quiet (every request the sim has taken from the host has reached its reader, every
    // answer has come off the wire and out of the adapter); false on time-out. A write the
    // host has only just made may not have reached the sim yet: waiting for its first frame
    // first makes sure.
    bool waitForFrames(int id, std::size_t count, int timeoutMs) const;
    bool waitForLineEvents(std::size_t count, int timeoutMs) const;
    bool waitUntilSent(int timeoutMs) const;

    // Called on the service thread (without the lock) for every line event as it is logged.
    void setObserver(std::function<void(const LineEvent&)> observer);
    // Called on the service thread, under the lock, with every reader (index id - 1) whenever
    // readers have taken requests: after their answers are queued on the line and before any
    // byte of them reaches the host. Keeping the readers' memory here means the host never sees
    // an answer the kept memory does not account for. Must not throw or call into the SimLine.
    void setKeeper(std::function<void(const std::vector<Reader>&)> keeper);

private:
    using Clock = std::chrono::steady_clock;

    Reader& reader(int id);
    const Reader& reader(int id) const;
    void serve();
    void step(Clock::time_point now, bool readable, std::vector<LineEvent>& fresh);
    void readInput(Clock::time_point now);
    // True when a reader took a request.
    bool dispatch(Inbound::Arrived arrived, std::vector<LineEvent>& fresh);
    // Queues the answer on the line; when its last byte is off the wire.
    Clock::time_point schedule(const Transmission& tx, Clock::time_point requestIn);
    void passToHost(Clock::time_point now);
    Clock::time_point nextWake() const;
    Clock::duration byteTime() const;
    bool quiet() const;

    int readerCount_;
    std::string devicePath_;
    int master_ = -1;
    int slave_ = -1;
    int wake_ = -1;
    std::vector<std::string> links_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Reader> readers_; // index id - 1
    // When each reader's last answer was off the wire, index id - 1.
    std::array<Clock::time_point, kMaxReaders> answeredAt_{};
    std::vector<LineEvent> lineLog_;
    Bytes wire_;
    Inbound inbound_;
    Wire answers_;
    Adapter adapter_;
    Bytes toHost_; // handed over, not yet taken by the pseudo-terminal
    Clock::time_point retryAt_;
    bool pacing_ = true;
    Clock::duration turnaround_ = std::chrono::milliseconds(3);
    Clock::duration adapterLatency_ = std::chrono::milliseconds(16);
    LineFaultPlan lineFaults_;
    std::function<void(const LineEvent&)> observer_;
    std::function<void(const std::vector<Reader>&)> keeper_;
    bool stopping_ = false;

    std::thread thread_;
};

} // namespace sim
