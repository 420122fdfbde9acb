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
//   owed     N0        a new record of the upload's kind    stored; settled
//                      the record stored last, or C6 / C7   a proof of the reader's last answer:
//                                                           settled when the next N0 brings the
//                                                           same again, else owed
//                      anything else: the reader's own      owed
//                      "N0", another command's frame, a
//                      bad or cut frame, silence
//
// A proof is taken only when two answers to "N0" in a row agree, since one of them may be a late
// answer to an earlier request with the real answer lost behind it. Nothing else proves what the
// reader's last answer was: an owed reader that stays silent (switched off and on, it has no last
// answer to repeat) or keeps answering something else is collected by a batch pass of it, whose
// "C0" makes it hand out again whatever it had in flight (see OwedGate).
#pragma once

#include "PunchRecord.h"
#include "ReaderLink.h"
#include "RecordSink.h"

#include <QDate>

#include <array>
#include <optional>

namespace upload {

// The requests of one upload: "C1" and "C6" in a batch, "C5" and "C7" on line, and the kind of
// file ('B' or 'A') its records go into.
struct UploadKind {
    const char* next;
    const char* noMore;
    char file;
};
extern const UploadKind kBatch;
extern const UploadKind kOnline;
// The upload whose request made the reader owed.
const UploadKind& owedKind(const ReaderLink& link, int reader);

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

// The one policy for a run of requests to a reader after answers that were not records: at most
// kLimit requests after the first, and after a bad answer the rest of it is let go first. The
// settle time is what an answer that is not whole is given after its first byte (a whole one is
// read at once); it grows with each answer that was not a record.
class RetryPolicy {
public:
    static constexpr int kLimit = 10;
    static constexpr int kFirstSettleMs = 25;
    static constexpr int kSilentStepMs = 20; // more settle time after a silent answer
    static constexpr int kBadStepMs = 200;   // more settle time after a bad answer

    int settleMs() const { return settleMs_; }
    // After a turn that neither took a record nor ended: false when the retries are used up,
    // else counts one and prepares the next request.
    bool retry(ReaderLink& link, const Turn& turn);

private:
    int retries_ = 0;
    int settleMs_ = kFirstSettleMs;
};

class RecordExchange {
public:
    RecordExchange(ReaderLink& link, RecordSink& sink, const UploadKind& kind);
    // Sends the request the reader's state calls for, reads its answer (AwaitInput with
    // settleMs), judges it and acts on it: a new record is in the sink before this returns.
    Turn ask(int reader, int settleMs);
    // Asks "N0" until the reader is settled, falls silent or the policy gives up; the last turn.
    // took sees each record stored on the way.
    Turn settle(int reader, RetryPolicy& policy, const std::function<void(const Turn&)>& took = {});
    // Whether the reader may still hold a record not stored.
    bool owed(int reader) const { return link_.ledger.owed(reader); }

private:
    Heard judge(const Reply& reply, int reader, bool wasOwed, std::optional<TPunchRecord>& record) const;
    Turn take(int reader, const TPunchRecord& record);
    // A proof of the reader's last answer: settles it when the answer before brought the same.
    Turn proof(int reader, Heard heard, const std::optional<TPunchRecord>& record);

    ReaderLink& link_;
    RecordSink& sink_;
    const UploadKind& kind_;
    std::array<QByteArray, 13> proofs_{}; // index = reader id: the last answer to "N0", as a proof
};

// Settles a reader held owed on behalf of another job (a status check, a clock set, a scheduled
// job): asks it to repeat its last answer and stores what it hands out in today's file of the
// kind that made it owed. Gives up when it falls silent or after the retries, leaving it owed
// for an upload's batch pass to collect.
void settleForOtherJob(ReaderLink& link, int reader, const QDate& today);

} // namespace upload
