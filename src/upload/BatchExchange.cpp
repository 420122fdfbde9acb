#include "BatchExchange.h"

#include <array>
#include <optional>

namespace batch {
namespace {
constexpr int kCountLength = 6;
} // namespace

Reply requestCount(ReaderLink& link, int reader, int waitMs) {
    link.SendFrame("C4", reader);
    link.AwaitAnswer(waitMs);
    return link.ReadReply(kCountLength, "C4", reader);
}

QString countDigits(const Reply& reply) {
    QString digits;
    for (int i = 0; i < 3; ++i) digits += ReaderLink::ByteToDigits(reply.byte(i));
    return digits;
}

namespace {
// "C0" only sets the reader back to its first unconfirmed record, so asking again after a lost
// request or acknowledgement is harmless.
bool startUpload(ReaderLink& link, int reader) {
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        link.SendFrame("C0", reader);
        link.AwaitAnswer(kAckWaitMs);
        if (link.ReadWriteAck("C0") == 1) return true;
    }
    return false;
}
} // namespace

// The reader moves on to its next record only when asked with "C1". After silence or a bad
// answer it is never asked with "C1", which would confirm a record whose answer was lost on the
// way, but with "N0": it then repeats its last answer. That is the record wanted when only the
// answer was lost, or the record already taken when the request itself was lost (the caller's
// sink drops that repeat, and the next "C1" follows); a repeated "C0" acknowledgement means the
// reader never heard the first "C1", which is then asked again.
//
// A good answer to "C1" is the reader's next record. The record taken before, once more, is a
// stale frame — a late answer, or its repeat, that came in after the request had left — and the
// answer to this "C1" was lost behind it: another "C1" would confirm that record unseen, so
// "N0" fetches it.
ReaderEnd uploadReader(ReaderLink& link, int reader, const std::function<bool()>& stopRequested,
                       const std::function<void(const TPunchRecord&)>& onRecord) {
    if (!startUpload(link, reader)) return ReaderEnd::NotAcknowledged;
    int retries = 0;
    std::optional<std::array<std::uint8_t, 3>> lastSeq;
    for (;;) {
        if (stopRequested()) {
            link.SendFrame("C2", reader);
            link.AwaitAnswer(kAckWaitMs);
            link.ClearInput();
            return ReaderEnd::Stopped;
        }
        link.processEvents();
        const char* request = "C1";
        for (;;) {
            link.SendFrame(request, reader);
            link.AwaitInput(kRecordSettleMs);
            const Reply reply = link.ReadReply(kRecordAnswerL, "C1", reader);
            const bool askedNext = request[0] == 'C';
            if (reply.status == '1') {
                const TPunchRecord record = TPunchRecord::fromBytes(reply.data);
                if (!askedNext || record.Seq != lastSeq) {
                    lastSeq = record.Seq;
                    onRecord(record);
                    break;
                }
            }
            if (reply.status == 'A') return ReaderEnd::Finished;
            if (retries >= kRetryLimit) return ReaderEnd::Failed;
            ++retries;
            if (reply.status != '0') link.AwaitQuietLine();
            request = reply.code == "C0" ? "C1" : "N0";
        }
    }
}

} // namespace batch
