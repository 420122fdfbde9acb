// The on-line upload's exchange: one visit of a reader ("C5", with "N0" after a bad answer),
// and what the poller must remember of each reader between visits so that no record is lost.
#pragma once

#include "PunchRecord.h"
#include "ReaderLink.h"
#include "RecordSink.h"

#include <array>
#include <functional>
#include <optional>

namespace online {

constexpr int kRetryLimit = 10; // "N0" per visit of a reader
constexpr int kIdleLimit = 100; // polls in a row without any answer before the run gives up
constexpr int kFirstSettleMs = 25;
constexpr int kSilentSettleStepMs = 20; // more settle time after a silent retry
constexpr int kBadSettleStepMs = 200;   // more settle time after a bad answer
// Visits that begin with "N0" after a reader's answer went missing, before it is taken to be
// gone and asked with "C5" again (a reader that has nothing to repeat does not answer "N0").
constexpr int kRepeatVisits = 3;

// Polls one reader per visit and counts the polls in a row that got no answer at all.
//
// A reader hands out its next record when asked with "C5", which also confirms the record it
// handed out before. So when a visit ends without a good answer — silence, or bad answers to
// the end — the reader may hold a record whose answer was lost on the way, and another "C5"
// would confirm it unseen: the next visits begin with "N0" instead, which makes the reader
// repeat its last answer. That is the lost record, or the record taken already (the sink drops
// the repeat), or "C7"; an answer that is not an on-line record means the reader handed none out.
class Poller {
public:
    Poller(ReaderLink& link, std::function<bool()> stopRequested);
    // One visit: "C5" (or "N0", see above), then reads the answer, asking again with "N0" after
    // a bad answer (and after silence once an answer was bad), at most kRetryLimit times.
    // Returns the record a good answer carried; nothing for "C7", silence, "N0", any other
    // answer code or a stop.
    std::optional<TPunchRecord> visit(int reader);
    // The next visits of readers first..last begin with "N0", as after a lost answer: a run that
    // begins, or goes on after the line was lost, does not know whether a reader handed out a
    // record that never reached the file (the host went down in between), and its first "C5"
    // would confirm it.
    void repeatFirst(int first, int last);
    // Whether some reader's next visit still begins with "N0".
    bool repeatsPending() const;
    int idle() const { return idle_; }
    bool stopRequested() const { return stopRequested_(); }
    // Whether the reader of the last visit answered at all (any frame, good or bad).
    bool answered() const { return answered_; }
    bool idleTooLong() const { return idle_ > kIdleLimit; }

private:
    ReaderLink& link_;
    std::function<bool()> stopRequested_;
    int idle_ = 0;
    bool answered_ = false;
    std::array<int, 13> repeatVisits_{}; // index = reader id: visits still to begin with "N0"
    std::array<std::optional<std::array<std::uint8_t, 3>>, 13> lastSeq_{}; // of the last record returned
};

// What a collecting loop does with a record once it is on the disk.
using TakenRecord = std::function<void(int reader, const TPunchRecord& record, const Verdict& verdict)>;
// After each visit: whether the reader answered at all.
using Visited = std::function<void(int reader, bool answered)>;

// One cycle of on-line collection, as the on-line upload and the collector run it: visits readers
// first..last in order (until a stop) and puts every record a reader hands out into the sink —
// on the disk, a repeat dropped — before it goes to taken and before the next visit.
void visitReaders(Poller& poller, RecordSink& sink, int first, int last, const TakenRecord& taken,
                  const Visited& visited = {});

} // namespace online
