#include "OnlineExchange.h"

namespace online {
Poller::Poller(ReaderLink& link, std::function<bool()> stopRequested)
    : link_(link), stopRequested_(std::move(stopRequested)) {}

std::optional<TPunchRecord> Poller::visit(int reader) {
    int retries = 0;
    bool nakMode = false;
    int settleMs = kFirstSettleMs;
    link_.SendFrame("C5", reader);
    for (;;) {
        if (stopRequested_()) return std::nullopt;
        link_.processEvents();
        link_.AwaitInput(settleMs, ReaderLink::frameBytes(kRecordAnswerL));
        const Reply reply = link_.ReadReply(kRecordAnswerL, "C5", reader);
        switch (reply.status) {
        case '1':
            idle_ = 0;
            return TPunchRecord::fromBytes(reply.data);
        case 'B': // "C7": nothing new
        case '3': // "N0"
            idle_ = 0;
            return std::nullopt;
        case '0':
            ++idle_;
            if (!nakMode || retries >= kRetryLimit) return std::nullopt;
            settleMs += kSilentSettleStepMs;
            break;
        case '2':
        case '4':
        case '5':
        case '6':
            idle_ = 0;
            if (retries >= kRetryLimit) return std::nullopt;
            settleMs += kBadSettleStepMs;
            nakMode = true;
            break;
        default: // other answer codes leave the idle count as it was
            return std::nullopt;
        }
        ++retries;
        link_.SendFrame("N0", reader);
    }
}

Verdict SequenceTracker::take(int reader, const TPunchRecord& record) {
    Verdict verdict;
    if (reader < 1 || reader >= int(last_.size())) {
        verdict.seq = RecordSeq(record);
        return verdict;
    }
    Last& last = last_[std::size_t(reader)];
    if (last.bytes && *last.bytes == record.Seq) {
        verdict.duplicate = true;
        return verdict;
    }
    const bool first = !last.bytes;
    last.bytes = record.Seq;
    verdict.seq = RecordSeq(record);
    if (!first && verdict.seq != last.seq + 1) verdict.expected = last.seq + 1;
    last.seq = verdict.seq;
    return verdict;
}

int SequenceTracker::sum(int count) const {
    int total = 0;
    for (int i = 1; i <= count && i < int(last_.size()); ++i) total += last_[std::size_t(i)].seq;
    return total;
}

} // namespace online
