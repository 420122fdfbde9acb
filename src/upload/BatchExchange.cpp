#include "BatchExchange.h"

namespace batch {
namespace {
constexpr int kCountLength = 6;
constexpr int kRecordLength = 19;
} // namespace

Reply requestCount(ReaderLink& link, int reader, int waitMs) {
    link.SendFrame("C4", reader);
    link.sleep(waitMs);
    return link.ReadReply(kCountLength, "C4", reader);
}

QString countDigits(const Reply& reply) {
    QString digits;
    for (int i = 0; i < 3; ++i) digits += ReaderLink::ByteToDigits(reply.byte(i));
    return digits;
}

ReaderEnd uploadReader(ReaderLink& link, int reader, const std::function<bool()>& stopRequested,
                       const std::function<void(const TPunchRecord&)>& onRecord) {
    int retries = 0;
    bool nakMode = false;
    link.SendFrame("C0", reader);
    link.sleep(kAckWaitMs);
    if (link.ReadWriteAck("C0") != 1) return ReaderEnd::NotAcknowledged;
    for (;;) {
        if (stopRequested()) {
            link.SendFrame("C2", reader);
            link.sleep(kAckWaitMs);
            link.ClearInput();
            return ReaderEnd::Stopped;
        }
        link.processEvents();
        bool askAgain = true; // false once "N0" has asked for the last answer again
        for (;;) {
            if (askAgain) link.SendFrame("C1", reader);
            link.AwaitInput(kRecordSettleMs);
            const Reply reply = link.ReadReply(kRecordLength, "C1", reader);
            if (reply.status == '1') {
                onRecord(TPunchRecord::fromBytes(reply.data));
                break;
            }
            if (reply.status == 'A') return ReaderEnd::Finished;
            if (retries >= kRetryLimit) return ReaderEnd::Failed;
            ++retries;
            // After a bad answer the reader is asked to repeat it; silence then gets "N0" too.
            if (reply.status != '0') nakMode = true;
            askAgain = !nakMode;
            if (nakMode) link.SendFrame("N0", reader);
        }
    }
}

} // namespace batch
