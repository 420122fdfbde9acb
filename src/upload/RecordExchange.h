// One request to a reader in an upload and what its answer means, for both uploads: the one
// place that says, for each state of a reader and each answer, what is sent next.
//
// A reader hands out its next record when asked "C1" (batch) or "C5" (on line), and that
// request also confirms the record it handed out before. So a reader is owed from the moment
// such a request has left until its answer is judged and stored (see OwedLedger), and while it
// is, it is asked nothing but "N0", which makes it repeat its last answer:
//
//   state    request   answer                               then
//   settled  C1 / C5   a new record                         stored; settled
//                      C6 / C7 (nothing more)               settled
//                      anything else, silence included      owed
//   owed     N0        a new record                         stored; settled
//                      the record stored last, C6 / C7, or  a proof of the reader's last answer:
//                      a whole frame of another command     settled when the next N0 brings it
//                                                           again, else owed
//                      bad or cut frame                     owed
//                      silence                              owed; counts towards the probe
//   probe    A0        a whole "A0" answer                  settled: it had nothing to repeat
//                      anything else                        owed, the next probe later
//
// A proof is taken only when two answers to "N0" in a row agree, since one of them may be a late
// answer to an earlier request with the real answer lost behind it. Silence proves nothing: an
// owed reader is never asked "C1"/"C5" on the strength of it. A reader that has nothing to
// repeat (new, or restarted: it lost its last answer) answers no "N0" at all; after
// kSilentRepeats of them in a row — counted only while other readers answer, when there are
// others, so that a cut line counts nothing — it is probed once with "A0", which any reader
// answers at once. Each probe that goes unanswered doubles the silent repeats before the next.
#pragma once

#include "PunchRecord.h"
#include "ReaderLink.h"
#include "RecordSink.h"

#include <QDate>

#include <array>
#include <optional>

namespace upload {

// The requests of one upload: "C1" and "C6" in a batch, "C5" and "C7" on line, and the kind of
// file ('B' or 'A') a record goes into when settled for another job.
struct UploadKind {
    const char* next;
    const char* noMore;
    char file;
};
extern const UploadKind kBatch;
extern const UploadKind kOnline;

constexpr int kRetryLimit = 10; // requests after the first in one visit of a reader (on line)
constexpr int kFirstSettleMs = 25;
constexpr int kSilentSettleStepMs = 20; // more settle time after a silent retry
constexpr int kBadSettleStepMs = 200;   // more settle time after a bad answer
constexpr int kSilentRepeats = 4;
constexpr int kLongestProbeBackoff = 3; // the silent repeats before a probe grow to 4 << 3

// How an answer reads, as far as what the reader may still hold goes.
enum class Heard {
    Silence,    // no byte came
    Garbled,    // bytes, but no whole frame from the reader with a right checksum
    NewRecord,  // a record not stored yet
    SameRecord, // the record stored last from the reader, once more
    NoMore,     // "C6" / "C7"
    OtherFrame, // a whole frame of another command ("C0", "A0", "N0", ...)
};

// What one request came to.
struct Turn {
    enum Outcome {
        Took,      // a new record, stored
        NoMore,    // the reader has nothing (more) to hand out, and is settled
        Settled,   // its last answer is known and nothing it holds is unstored: ask it on
        Unsettled, // it may still hold a record: ask it "N0" again
        Silent,    // no answer (an owed reader stays owed)
    };
    Outcome outcome = Silent;
    Heard heard = Heard::Silence;
    std::optional<TPunchRecord> record; // with Took
    Verdict verdict;                    // with Took
};

class RecordExchange {
public:
    // alone: the job serves this one reader, so no other reader's answers tell that the line
    // works.
    RecordExchange(ReaderLink& link, RecordSink& sink, const UploadKind& kind, bool alone);
    // Sends the request the reader's state calls for, reads its answer (AwaitInput with
    // settleMs), judges it and acts on it: a new record is in the sink before this returns.
    Turn ask(int reader, int settleMs);
    // Whether the reader may still hold a record not stored.
    bool owed(int reader) const { return link_.ledger.owed(reader); }

private:
    enum class Request { Next, Repeat, Probe };
    Request requestFor(int reader);
    Heard judge(const Reply& reply, int reader, bool wasOwed, std::optional<TPunchRecord>& record) const;
    Turn take(int reader, const TPunchRecord& record);
    // A proof of the reader's last answer: settles it when the answer before brought the same.
    Turn proof(int reader, Heard heard, const Reply& reply, const std::optional<TPunchRecord>& record);
    void countSilence(int reader);

    ReaderLink& link_;
    RecordSink& sink_;
    const UploadKind& kind_;
    const bool alone_;
    std::array<QByteArray, 13> proofs_{}; // index = reader id: the last answer to "N0", as a proof
};

// Settles a reader held owed on behalf of another job (a status check, a clock set, a batch's
// "C0", a scheduled job): asks it to repeat its last answer and stores what it hands out in
// today's file of the kind that made it owed. Gives up after the retries of one visit, or at
// once when it is silent, leaving it owed.
void settleForOtherJob(ReaderLink& link, int reader, const QDate& today);

} // namespace upload
