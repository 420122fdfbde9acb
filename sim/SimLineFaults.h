// Faults of the line itself rather than of one reader: noise that eats a request or an answer,
// holds an answer up, flips one of its bits or puts stray bytes before it. "Every Nth" counts
// over the whole line: answers over all the readers' answers, requests over the frames to
// present readers. Which bit flips is drawn from a generator with a fixed seed, so a run
// repeats.
#pragma once

#include "SimReader.h"

#include <random>
#include <string>

namespace sim {

// 0: never.
struct LineFaults {
    int loseAnswerEvery = 0; // the reader acted on the request, its answer never reaches the host
    int lateAnswerEvery = 0; // the answer starts lateMs late
    int lateMs = 300;
    int loseRequestEvery = 0; // the reader never sees the request
    int strayBytesEvery = 0;  // a few stray bytes go out right before the answer
    int flipBitEvery = 0;     // one bit of one byte of the answer flips; it keeps its length
};

// How often each fault was applied, and out of how many.
struct LineFaultCounts {
    int answers = 0;  // the readers put on the line (their own lost answers not counted)
    int requests = 0; // frames to one present reader
    int answersLost = 0;
    int answersLate = 0;
    int requestsLost = 0;
    int strayBytes = 0; // answers with stray bytes before them
    int bitsFlipped = 0;
};

class LineFaultPlan {
public:
    // Counting starts afresh.
    void set(const LineFaults& faults) {
        faults_ = faults;
        counts_ = {};
        random_.seed(kSeed);
    }
    const LineFaultCounts& counts() const { return counts_; }

    // Counts one request; true when the line loses it. The note says so.
    bool loseRequest(std::string& note);
    // Counts one answer and spoils it when its turn has come; the note says how.
    void spoilAnswer(Transmission& tx, std::string& note);

private:
    static constexpr std::uint32_t kSeed = 1;
    LineFaults faults_;
    LineFaultCounts counts_;
    std::minstd_rand random_{kSeed};
};

} // namespace sim
