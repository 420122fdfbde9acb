#include "BatchExchange.h"

namespace batch {
namespace {
constexpr int kCountLength = 6;
constexpr int kQuietMs = 10;     // longer than one byte at 1200 bit/s
constexpr int kQuietRounds = 50; // a line that never goes quiet is given up after half a second

// A cut or garbled answer may still be arriving. Asked again at once, the reader would send the
// repeated answer behind the rest of the first one: every later read would then begin in the
// middle of an answer, each retry would fail the same way and the reader would be given up.
// Waiting until no more input comes lets SendFrame's ClearInput drop the rest.
void awaitQuietLine(ReaderLink& link) {
    int before = link.Comm.InQueueCount();
    for (int round = 0; round < kQuietRounds; ++round) {
        link.sleep(kQuietMs);
        const int now = link.Comm.InQueueCount();
        if (now == before) return;
        before = now;
    }
}
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
            link.AwaitInput(kRecordSettleMs, ReaderLink::frameBytes(kRecordAnswerL));
            const Reply reply = link.ReadReply(kRecordAnswerL, "C1", reader);
            if (reply.status == '1') {
                onRecord(TPunchRecord::fromBytes(reply.data));
                break;
            }
            if (reply.status == 'A') return ReaderEnd::Finished;
            if (retries >= kRetryLimit) return ReaderEnd::Failed;
            ++retries;
            // After a bad answer the reader is asked to repeat it; silence then gets "N0" too.
            if (reply.status != '0') {
                nakMode = true;
                awaitQuietLine(link);
            }
            askAgain = !nakMode;
            if (nakMode) link.SendFrame("N0", reader);
        }
    }
}

} // namespace batch
