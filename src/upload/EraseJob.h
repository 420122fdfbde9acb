// Collect, then erase. "C3" erases every record a reader holds, so it goes to a reader only as
// the very next request after everything it holds is known to be on the disk: right before it,
// the reader's records that no file holds are fetched by a batch pass of that reader into the
// day's batch file — or, when its "C4" count shows that nothing is unstored (none at all, or a
// reader that hands out all it holds in each batch and counts just what a complete pass of this
// program stored), the count is the last request before "C3". A reader that cannot be read to
// the end is not erased: nothing is sent to it. Every erase leaves a line in the receipt file.
#pragma once

#include "BatchJob.h"
#include "ReaderLink.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <functional>

namespace eraser {

// The receipt file in the output folder (".\DATA2\ERASED.TXT"): one line per reader and erase,
// in UTF-8, appended, never rewritten.
QString receiptFile();

enum class End {
    Erased,     // "C3" acknowledged
    NoAck,      // "C3" sent after everything was stored, and not acknowledged
    BadAck,     // "C3" refused, or answered by something else
    Silent,     // the reader did not answer the count or the pass: not erased
    Unreadable, // the pass broke off (bad answers): not erased
    Stopped,    // the operator stopped the job: not erased
};

// What one reader's erase stored and erased.
struct Receipt {
    QDateTime at;
    int reader = 0;
    End end = End::Silent;
    int held = -1;    // the records it held by its count; -1 when the count was not read
    int stored = 0;   // records this job wrote to the file
    QString firstSeq; // of those records
    QString lastSeq;
    QString file; // the batch file they went into; empty when no pass was needed
    bool erased() const { return end == End::Erased; }
    // Whether "C3" went out (so the reader may have erased, acknowledged or not).
    bool sent() const { return end == End::Erased || end == End::NoAck || end == End::BadAck; }
};

class EraseJob {
public:
    struct Hooks {
        std::function<bool()> stopRequested;
        std::function<QDateTime()> now;
        // A record of the pass on the disk.
        std::function<void(int reader, const TPunchRecord&)> took;
    };
    EraseJob(ReaderLink& link, Hooks hooks);
    // Collects what the reader holds unstored, then erases it; the receipt of a "C3" sent is in
    // the receipt file before this returns. Raises FileError (nothing erased then) and what the
    // line raises.
    Receipt erase(int reader);

private:
    // The batch pass of the reader into the day's batch file; the receipt says what it stored.
    End collect(Receipt& receipt);
    ReaderLink& link_;
    Hooks hooks_;
};

// "2026-12-10 14:03:22  01번리더 삭제  보유 000123건  이번 저장 000005건 (순번 000101~000105)
// B20261210.TXT", the receipt file's line for a receipt.
QString receiptLine(const Receipt& receipt);
// Appends the line to the receipt file, forced to the disk; raises FileError.
void appendReceipt(const Receipt& receipt);

} // namespace eraser
