// The on-line upload's exchanges: one visit of a reader ("C5", with "N0" after a bad answer)
// and the judgement of each record received by its sequence number.
#pragma once

#include "PunchRecord.h"
#include "ReaderLink.h"

#include <array>
#include <functional>
#include <optional>

namespace online {

constexpr int kRetryLimit = 10; // "N0" per visit of a reader
constexpr int kIdleLimit = 100; // polls in a row without any answer before the run gives up
constexpr int kFirstSettleMs = 25;
constexpr int kSilentSettleStepMs = 20; // more settle time after a silent retry
constexpr int kBadSettleStepMs = 200;   // more settle time after a bad answer

// Polls one reader per visit and counts the polls in a row that got no answer at all.
class Poller {
public:
    Poller(ReaderLink& link, std::function<bool()> stopRequested);
    // One visit: "C5", then reads the answer, asking again with "N0" after a bad answer (and
    // after silence once an answer was bad), at most kRetryLimit times. Returns the record a
    // good answer carried; nothing for "C7", silence, "N0", any other answer code or a stop.
    std::optional<TPunchRecord> visit(int reader);
    int idle() const { return idle_; }
    bool idleTooLong() const { return idle_ > kIdleLimit; }

private:
    ReaderLink& link_;
    std::function<bool()> stopRequested_;
    int idle_ = 0;
};

// What a record received from a reader means for this run.
struct Verdict {
    bool duplicate = false; // the reader offered the record it offered last: drop it
    int expected = -1;      // when >= 0, the sequence number that should have come (a gap)
    int seq = 0;
};

// The last record accepted from each reader in this run.
class SequenceTracker {
public:
    // Judges the record and, unless it is a duplicate, takes it as the reader's last. A record
    // is a duplicate only when its sequence bytes equal those of a record actually received
    // from the reader in this run, so a first record numbered 000000 is taken. Raises a
    // conversion error for sequence digits that are not decimal.
    Verdict take(int reader, const TPunchRecord& record);
    // Sum of the last sequence numbers of readers 1..count.
    int sum(int count) const;

private:
    struct Last {
        std::optional<std::array<std::uint8_t, 3>> bytes;
        int seq = 0;
    };
    std::array<Last, 13> last_{}; // index = reader id; ids above 12 are not followed
};

} // namespace online
