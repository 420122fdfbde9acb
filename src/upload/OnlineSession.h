// The on-line upload: one visit of a reader ("C5", with "N0" after a bad answer or while the
// reader may still hold a record not stored; see RecordExchange), and the session that visits
// readers cycle after cycle into the day's file, as the on-line dialog and the collector run it.
// A reader that may still hold a record and does not repeat its last answer (switched off and on,
// it has none) for three visits is collected by a batch pass of it into the day's batch file.
#pragma once

#include "PunchRecord.h"
#include "ReaderLink.h"
#include "RecordExchange.h"
#include "RecordSink.h"

#include <QDate>

#include <array>

#include <functional>
#include <memory>
#include <optional>

namespace online {

constexpr int kIdleLimit = 100;     // polls in a row without any answer before the run gives up
constexpr int kLongestBackoff = 4;  // a pass not ended waits at most 2^4 - 1 cycles for the next
constexpr int kUnsettledVisits = 3; // visits of an owed reader its "N0" did not settle, before a pass

// Visits one reader at a time and counts the polls in a row that got no answer at all.
class Poller {
public:
    Poller(ReaderLink& link, std::function<bool()> stopRequested);
    // One visit: the request the reader's state calls for and its answer, again after a bad
    // answer (and after silence once an answer was bad, and after the reader was settled), at
    // most RetryPolicy::kLimit more requests. The record a good answer carried is in the sink.
    std::optional<upload::Turn> visit(RecordSink& sink, int reader);
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
};

// Cycles of on-line collection over readers first..last into the day's on-line file, which it
// leaves for the new day's at midnight (between two readers).
class OnlineSession {
public:
    struct Hooks {
        std::function<QDate()> today;
        // A record on the disk.
        std::function<void(int reader, const TPunchRecord&, const Verdict&)> took;
        // After each visit: whether the reader answered at all.
        std::function<void(int reader, bool answered)> visited;
        // The file the session writes into from now on (its host path).
        std::function<void(const QString& path)> fileOpened;
        // A batch pass of an owed reader into the day's batch file (its host path) begins.
        std::function<void(int reader, const QString& path)> collecting;
    };
    OnlineSession(ReaderLink& link, std::function<bool()> stopRequested, Hooks hooks);
    // One cycle (until a stop). Raises what the line and the files raise; the next cycle opens
    // the file again when it raised.
    void cycle(int first, int last);
    bool idleTooLong() const { return poller_.idleTooLong(); }
    // Closes the file; raises FileError.
    void close();
    // Drops the file after an error: the next cycle opens it afresh.
    void dropFile() { sink_.reset(); }

private:
    RecordSink& sink();
    // The visit of a reader, and the batch pass of one that stays owed and silent.
    void serve(int reader);
    // Collects an owed reader by a batch pass; false when the pass did not end.
    bool collect(int reader);
    ReaderLink& link_;
    Poller poller_;
    Hooks hooks_;
    std::unique_ptr<RecordSink> sink_;
    QDate day_;
    // Per reader: passes that did not end in a row, and cycles to let pass before the next one,
    // so that an owed reader that is gone costs its one "N0" a cycle, not a pass.
    struct Backoff {
        int unsettled = 0; // visits in a row that left the owed reader owed
        int failures = 0;
        int wait = 0;
    };
    std::array<Backoff, 13> backoff_{};
};

} // namespace online
