#include "OnlineExchange.h"

#include <algorithm>

namespace online {
Poller::Poller(ReaderLink& link, std::function<bool()> stopRequested)
    : link_(link), stopRequested_(std::move(stopRequested)) {}

std::optional<TPunchRecord> Poller::visit(int reader) {
    const bool followed = reader >= 1 && reader < int(repeatVisits_.size());
    int* const repeats = followed ? &repeatVisits_[std::size_t(reader)] : nullptr;
    std::optional<std::array<std::uint8_t, 3>>* const lastSeq =
        followed ? &lastSeq_[std::size_t(reader)] : nullptr;
    const bool askRepeat = repeats && *repeats > 0;
    if (askRepeat) --*repeats;
    // The visit ends with the reader's state unknown: it may hold a record not seen here.
    const auto unresolved = [&] {
        if (repeats && !askRepeat) *repeats = kRepeatVisits;
    };
    int retries = 0;
    bool nakMode = false;
    int settleMs = kFirstSettleMs;
    answered_ = false;
    bool askedNext = !askRepeat; // the last request was "C5"
    link_.SendFrame(askRepeat ? "N0" : "C5", reader);
    for (;;) {
        if (stopRequested_()) return std::nullopt;
        link_.processEvents();
        link_.AwaitInput(settleMs);
        const Reply reply = link_.ReadReply(kRecordAnswerL, "C5", reader);
        answered_ = answered_ || reply.status != '0';
        const std::optional<TPunchRecord> record =
            reply.status == '1' ? std::optional(TPunchRecord::fromBytes(reply.data)) : std::nullopt;
        switch (reply.status) {
        case '1':
            idle_ = 0;
            // The record of the reader's last visit, once more, in answer to "C5": a stale frame
            // (a late answer or its repeat) with the answer to this "C5" lost behind it — or the
            // reader offers the same record again. "N0" tells: it repeats the reader's last answer.
            if (askedNext && lastSeq && record->Seq == *lastSeq) {
                if (retries >= kRetryLimit) return std::nullopt;
                nakMode = true;
                link_.AwaitQuietLine();
                break;
            }
            if (repeats) *repeats = 0;
            if (lastSeq) *lastSeq = record->Seq;
            return record;
        case 'B': // "C7": nothing new
            idle_ = 0;
            if (repeats) *repeats = 0;
            return std::nullopt;
        case '3': // "N0": the reader did not take the request, and nothing changed there
            idle_ = 0;
            return std::nullopt;
        case '0':
            ++idle_;
            if (!nakMode || retries >= kRetryLimit) {
                unresolved();
                return std::nullopt;
            }
            settleMs += kSilentSettleStepMs;
            break;
        case '2':
        case '4':
        case '5':
        case '6':
            idle_ = 0;
            // A whole answer of another command (a batch record, "C0", ...) repeated for "N0":
            // the reader has handed out no on-line record since.
            if (!reply.code.isEmpty()) {
                if (repeats) *repeats = 0;
                return std::nullopt;
            }
            if (retries >= kRetryLimit) {
                unresolved();
                return std::nullopt;
            }
            settleMs += kBadSettleStepMs;
            nakMode = true;
            link_.AwaitQuietLine();
            break;
        default: // other answer codes leave the idle count as it was
            if (repeats && !reply.code.isEmpty()) *repeats = 0;
            return std::nullopt;
        }
        ++retries;
        askedNext = false;
        link_.SendFrame("N0", reader);
    }
}

void Poller::repeatFirst(int first, int last) {
    for (int reader = std::max(first, 1); reader <= last && reader < int(repeatVisits_.size()); ++reader)
        repeatVisits_[std::size_t(reader)] = kRepeatVisits;
}

bool Poller::repeatsPending() const {
    return std::any_of(repeatVisits_.begin(), repeatVisits_.end(), [](int visits) { return visits > 0; });
}

void visitReaders(Poller& poller, RecordSink& sink, int first, int last, const TakenRecord& taken,
                  const Visited& visited) {
    for (int reader = first; reader <= last && !poller.stopRequested(); ++reader) {
        const std::optional<TPunchRecord> record = poller.visit(reader);
        if (record)
            if (const std::optional<Verdict> verdict = sink.take(reader, *record))
                taken(reader, *record, *verdict);
        if (visited) visited(reader, poller.answered());
    }
}

} // namespace online
