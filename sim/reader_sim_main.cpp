// qrx-reader-sim: simulated readers on a pseudo-terminal for running qrx without hardware.
#include "ReaderSim.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <iomanip>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>

namespace {

const char kUsage[] =
    "usage: qrx-reader-sim [--readers N] [--link NAME] [--records N]\n"
    "                      [--punch-every SECONDS] [--no-pacing] [--turnaround MS]\n"
    "                      [--adapter-latency MS] [--lose-answer EVERY] [--late-answer EVERY]\n"
    "                      [--late-ms MS] [--lose-request EVERY] [--stray-bytes EVERY]\n"
    "                      [--flip-bit EVERY] [--batch-copies unconfirmed|whole]\n"
    "                      [--delete-renumbers] [--state FILE] [--punch-log FILE]\n"
    "Serves N readers (1-12, default 4) on a pseudo-terminal linked as NAME\n"
    "(default COM2) in the working directory. Each reader holds N stored punch\n"
    "records (default 25). Every SECONDS (default 5, 0 never) one reader after the\n"
    "other punches a new on-line record. Every frame received and every punch is\n"
    "shown on one line. Ctrl+C ends.\n"
    "--state FILE: the readers keep their memory in FILE (records, what was uploaded,\n"
    "on-line punches, sequence numbers, the last answer, clock, mode table and\n"
    "customers), written after every request and punch. When FILE exists the readers\n"
    "take up where it left them (--readers must match, --records is ignored); a\n"
    "FILE that is not a whole state ends the sim with exit code 1.\n"
    "--punch-log FILE: each punch is appended to FILE as \"RR SSSSSS\" (reader,\n"
    "sequence number), on disk before it is shown.\n"
    "--batch-copies: where C0 starts a batch upload: at the first record not yet\n"
    "confirmed (unconfirmed, the default), or at the first record stored, so that\n"
    "each batch hands out a whole copy until C3 deletes the records (whole).\n"
    "--delete-renumbers: C3 also starts the numbering again at 000001.\n"
    "Both are kept in FILE with the readers' memory; when given, they replace\n"
    "what FILE holds.\n"
    "The line plays a real one: requests and answers take their time on the wire at\n"
    "the speed the host set, each reader answers after its turn-around (--turnaround,\n"
    "default 3 ms) and misses a request that comes sooner than 3.5 characters after\n"
    "its answer, and the host's USB adapter hands answers over every MS\n"
    "(--adapter-latency, default 16, 0 as they come). --no-pacing: all at once.\n"
    "Line faults, each on every EVERY-th answer or request (default 0, never):\n"
    "  --lose-answer   the reader acts, its answer never arrives\n"
    "  --late-answer   the answer comes --late-ms late (default 300)\n"
    "  --lose-request  the reader never sees the request\n"
    "  --stray-bytes   a few stray bytes come before the answer\n"
    "  --flip-bit      one bit of the answer flips; it keeps its length\n";

struct Options {
    int readers = 4;
    std::string link = "COM2";
    int records = 25;
    int punchEvery = 5;
    bool pacing = true;
    int turnaroundMs = 3;
    int adapterMs = 16;
    sim::LineFaults faults;
    std::string state;
    std::string punchLog;
    std::optional<sim::BatchCopies> batchCopies;
    bool deleteRenumbers = false;
};

bool parseNumber(const char* text, int low, int high, int& out) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno || end == text || *end || value < low || value > high) return false;
    out = int(value);
    return true;
}

int* faultEvery(const std::string& option, sim::LineFaults& f) {
    if (option == "--lose-answer") return &f.loseAnswerEvery;
    if (option == "--late-answer") return &f.lateAnswerEvery;
    if (option == "--lose-request") return &f.loseRequestEvery;
    if (option == "--stray-bytes") return &f.strayBytesEvery;
    if (option == "--flip-bit") return &f.flipBitEvery;
    return nullptr;
}

// Returns an error text, empty when the options were good.
std::string parse(int argc, char** argv, Options& o, bool& help) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            help = true;
            continue;
        }
        if (arg == "--no-pacing") {
            o.pacing = false;
            continue;
        }
        if (arg == "--delete-renumbers") {
            o.deleteRenumbers = true;
            continue;
        }
        if (i + 1 >= argc) return "unknown option or missing value: " + arg;
        const char* value = argv[++i];
        if (arg == "--readers") {
            if (!parseNumber(value, 1, sim::kMaxReaders, o.readers)) return "--readers takes 1 to 12";
        } else if (arg == "--records") {
            if (!parseNumber(value, 0, 999999, o.records)) return "--records takes 0 to 999999";
        } else if (arg == "--punch-every") {
            if (!parseNumber(value, 0, 86400, o.punchEvery)) return "--punch-every takes 0 to 86400 seconds";
        } else if (arg == "--turnaround") {
            if (!parseNumber(value, 0, 10000, o.turnaroundMs)) return "--turnaround takes 0 to 10000 ms";
        } else if (arg == "--adapter-latency") {
            if (!parseNumber(value, 0, 1000, o.adapterMs)) return "--adapter-latency takes 0 to 1000 ms";
        } else if (arg == "--late-ms") {
            if (!parseNumber(value, 0, 60000, o.faults.lateMs)) return "--late-ms takes 0 to 60000 ms";
        } else if (int* every = faultEvery(arg, o.faults)) {
            if (!parseNumber(value, 0, 1000000, *every)) return arg + " takes 0 to 1000000";
        } else if (arg == "--link") {
            if (!*value) return "--link takes a name";
            o.link = value;
        } else if (arg == "--state") {
            if (!*value) return "--state takes a file name";
            o.state = value;
        } else if (arg == "--batch-copies") {
            const std::string copies = value;
            if (copies != "unconfirmed" && copies != "whole")
                return "--batch-copies takes unconfirmed or whole";
            o.batchCopies = copies == "whole" ? sim::BatchCopies::Whole : sim::BatchCopies::Unconfirmed;
        } else if (arg == "--punch-log") {
            if (!*value) return "--punch-log takes a file name";
            o.punchLog = value;
        } else {
            return "unknown option: " + arg;
        }
    }
    return {};
}

std::string describe(const sim::LineEvent& e) {
    std::ostringstream line;
    if (e.id >= 1 && e.id <= sim::kMaxReaders)
        line << "reader " << std::setw(2) << std::setfill('0') << e.id;
    else if (e.kind == sim::LineEvent::Kind::Broadcast)
        line << "all      ";
    else
        line << "line     ";
    line << "  " << (e.code.empty() ? "--" : e.code) << "  " << sim::toHex(e.raw);
    if (e.kind != sim::LineEvent::Kind::Frame) line << "  [" << sim::kindName(e.kind) << "]";
    if (!e.note.empty()) line << "  [" << e.note << "]";
    if (e.kind == sim::LineEvent::Kind::Frame && e.answer.empty()) line << "  [no answer]";
    return line.str();
}

std::string lineModel(const Options& o) {
    if (!o.pacing) return "pacing off";
    std::string text = "pacing on, turnaround " + std::to_string(o.turnaroundMs) + " ms, adapter ";
    return text + (o.adapterMs > 0 ? std::to_string(o.adapterMs) + " ms" : "off");
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    bool help = false;
    const std::string error = parse(argc, argv, options, help);
    if (!error.empty()) {
        std::cerr << "qrx-reader-sim: " << error << "\n" << kUsage;
        return 2;
    }
    if (help) {
        std::cout << kUsage;
        return 0;
    }

    // Read before the line comes up, so that a bad file leaves no link behind.
    std::optional<sim::SimState> restored;
    std::unique_ptr<sim::PunchLog> punchLog;
    try {
        if (!options.state.empty()) restored = sim::loadState(options.state);
        if (!options.punchLog.empty()) punchLog = std::make_unique<sim::PunchLog>(options.punchLog);
    } catch (const std::exception& e) {
        std::cerr << "qrx-reader-sim: " << e.what() << "\n";
        return 1;
    }
    if (restored && restored->readers.size() != std::size_t(options.readers)) {
        std::cerr << "qrx-reader-sim: " << options.state << " holds " << restored->readers.size()
                  << " readers, not " << options.readers << " (--readers)\n";
        return 1;
    }

    // Signals are taken by sigtimedwait below; blocked before the service thread starts, so
    // that it inherits the mask and only this thread sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A closed log pipe must not kill the sim before it has removed its link.
    std::signal(SIGPIPE, SIG_IGN);

    std::mutex out;
    // The reader the next timed punch goes to; like the readers, only touched under the line's
    // lock. It and `keep`, which the line calls, outlive the line.
    int nextPuncher = restored ? restored->nextPuncher : 1;
    auto keep = [&](const std::vector<sim::Reader>& readers) {
        if (options.state.empty()) return;
        try {
            sim::saveState(options.state, sim::captureState(readers, options.readers, nextPuncher));
        } catch (const std::exception& e) {
            std::lock_guard<std::mutex> lock(out);
            std::cerr << "qrx-reader-sim: readers' memory not kept: " << e.what() << std::endl;
        }
    };
    try {
        sim::SimLine line(options.readers);
        line.setPacing(options.pacing);
        line.setTurnaroundMs(options.turnaroundMs);
        line.setAdapterLatencyMs(options.adapterMs);
        line.setLineFaults(options.faults);
        line.withReaders([&](std::vector<sim::Reader>& readers) {
            if (restored)
                sim::restoreState(readers, *restored);
            else
                for (int id = 1; id <= options.readers; ++id) {
                    readers[std::size_t(id - 1)].setClockNow();
                    readers[std::size_t(id - 1)].addRecords(options.records);
                }
            for (sim::Reader& r : readers) {
                if (options.batchCopies) r.setBatchCopies(*options.batchCopies);
                if (options.deleteRenumbers) r.setDeleteRenumbers(true);
            }
            // A file that cannot be written at the start ends the sim; later a failed write is
            // reported and the next change tries again.
            if (!options.state.empty())
                sim::saveState(options.state, sim::captureState(readers, options.readers, nextPuncher));
        });
        line.setKeeper(keep);
        line.setObserver([&out](const sim::LineEvent& e) {
            std::lock_guard<std::mutex> lock(out);
            std::cout << describe(e) << std::endl;
        });
        try {
            line.makeLink(options.link);
        } catch (const std::runtime_error& e) {
            std::cerr << "qrx-reader-sim: " << e.what() << "; remove it or choose another name with --link\n";
            return 1;
        }
        {
            std::lock_guard<std::mutex> lock(out);
            if (!options.state.empty())
                std::cout << "qrx-reader-sim: readers' memory " << (restored ? "taken up from " : "kept in ")
                          << options.state << std::endl;
            std::cout << "qrx-reader-sim: " << options.readers << " readers on " << line.devicePath() << " ("
                      << options.link << "), " << lineModel(options) << std::endl;
        }
        for (;;) {
            timespec wait{options.punchEvery > 0 ? options.punchEvery : 3600, 0};
            const int signal = sigtimedwait(&stopSignals, nullptr, &wait);
            if (signal > 0) break;
            if (signal < 0 && errno == EAGAIN && options.punchEvery > 0) {
                // The punch is in the kept memory before the log has it, and in the log before
                // it is shown: a punch logged is a punch the readers remember.
                const auto [id, record] = line.withReaders([&](std::vector<sim::Reader>& readers) {
                    const int puncher = nextPuncher;
                    nextPuncher = puncher % options.readers + 1;
                    sim::Reader& r = readers[std::size_t(puncher - 1)];
                    r.setClockNow();
                    const sim::RecordBytes punched =
                        r.punchNow(std::uint64_t(puncher) * 10000 + r.nextSequence(), 1);
                    keep(readers);
                    return std::make_pair(puncher, punched);
                });
                if (punchLog) punchLog->append(id, sim::recordSeq(record));
                std::lock_guard<std::mutex> lock(out);
                std::cout << "reader " << std::setw(2) << std::setfill('0') << id << "  punch  seq "
                          << std::setw(6) << sim::recordSeq(record) << std::endl;
            }
        }
        line.withReaders([&](const std::vector<sim::Reader>& readers) { keep(readers); });
        const sim::LineFaultCounts c = line.lineFaultCounts();
        if (c.answersLost + c.answersLate + c.requestsLost + c.strayBytes + c.bitsFlipped > 0)
            std::cout << "qrx-reader-sim: of " << c.answers << " answers " << c.answersLost << " lost, "
                      << c.answersLate << " late, " << c.strayBytes << " after stray bytes, " << c.bitsFlipped
                      << " with a bit flipped; of " << c.requests << " requests " << c.requestsLost << " lost"
                      << std::endl;
    } catch (const std::exception& e) {
        std::cerr << "qrx-reader-sim: " << e.what() << "\n";
        return 1;
    }
    std::cout << "qrx-reader-sim: stopped" << std::endl;
    return 0;
}
