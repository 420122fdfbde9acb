// The batch upload's exchanges with one reader: the record count ("C4") and the upload itself
// ("C0", then "C1" until "C6", with "N0" after silence or a bad answer and "C2" when it is
// abandoned).
#pragma once

#include "PunchRecord.h"
#include "ReaderLink.h"

#include <functional>

namespace batch {

// Retries one reader may spend in a whole job: its retry counter is reset only when the next
// reader starts.
constexpr int kRetryLimit = 10;
constexpr int kAckWaitMs = 100;     // after "C0" and after the "C2" of an operator stop
constexpr int kStartAttempts = 3;   // "C0" requests before a reader is skipped
constexpr int kRecordSettleMs = 25; // AwaitInput before each record answer is read

// "C4" to reader, a plain wait of waitMs, and the answer (length 6).
Reply requestCount(ReaderLink& link, int reader, int waitMs);
// The six count digits of a good "C4" answer, as received.
QString countDigits(const Reply& reply);

enum class ReaderEnd {
    Finished,        // the reader answered "C6": nothing left
    NotAcknowledged, // no good "C0" echo: the reader is skipped without a message
    Stopped,         // the operator stopped the job: "C2" sent and the input cleared
    Failed,          // the retries are used up; the caller reports it and sends "C2"
};

// Uploads every record reader holds. stopRequested is asked before each new "C1"; onRecord
// gets every good record before the next request leaves, a repeat of the last one included.
ReaderEnd uploadReader(ReaderLink& link, int reader, const std::function<bool()>& stopRequested,
                       const std::function<void(const TPunchRecord&)>& onRecord);

} // namespace batch
