// The batch upload: the record count ("C4") and the job that fetches every record the readers
// hold ("C0", then "C1" until "C6"; see RecordExchange for what follows a lost or bad answer),
// as the batch dialog and the collector's scheduled batch run it.
#pragma once

#include "PunchRecord.h"
#include "ReaderLink.h"
#include "RecordExchange.h"
#include "RecordSink.h"

#include <QDate>

#include <functional>
#include <memory>
#include <vector>

namespace batch {

constexpr int kAckWaitMs = 100;   // after "C0" and after the "C2" of an operator stop
constexpr int kStartAttempts = 3; // "C0" requests before a reader is skipped
constexpr int kCountWaitMs = 60;  // after "C4"

// "C4" to reader, a plain wait of waitMs, and the answer (length 6).
Reply requestCount(ReaderLink& link, int reader, int waitMs);
// The six count digits of a good "C4" answer, as received.
QString countDigits(const Reply& reply);

enum class ReaderEnd {
    Finished,        // the reader answered "C6": nothing left
    NotAcknowledged, // no good "C0" echo: the reader is skipped
    Stopped,         // the operator stopped the job ("C2" sent when it may be)
    Failed,          // the retries are used up; "C2" sent when it may be
};

// The day's batch file: a new job moves an earlier file of the day aside (see RotateBatchFile)
// and begins it empty; a job resumed after an error (the line lost, the disk full) goes on in
// it. Raises FileError.
std::unique_ptr<RecordSink> beginBatchFile(const QDate& day);
std::unique_ptr<RecordSink> resumeBatchFile(const QDate& day);

// One job over readers in ascending order, every record into the sink before the next request.
class BatchJob {
public:
    struct Hooks {
        std::function<bool()> stopRequested; // asked before each new "C1"
        std::function<void(int reader)> readerStarts;
        // A record on the disk, with the number of records this job took so far.
        std::function<void(int reader, const TPunchRecord&, int taken)> took;
        std::function<void(int reader, ReaderEnd end)> readerEnds;
    };
    BatchJob(ReaderLink& link, RecordSink& sink, Hooks hooks);

    // One batch pass of the reader: "C0", then every record it hands out into the sink until
    // "C6". "C0" goes to a reader owed from before as well (a run that broke off, another job or
    // program, a reader switched off and on): it makes the reader hand out again whatever it had
    // in flight. handedOut, when given, counts the records the reader handed out (those the file
    // held already included).
    ReaderEnd uploadReader(int reader, int* handedOut = nullptr);

    struct Result {
        std::vector<int> notUploaded; // readers skipped, given up or failed, in order
        ReaderEnd last = ReaderEnd::Finished;
        int lastReader = 0;
    };
    // Uploads the readers in turn. A reader that fails ends the job unless goOnAfterFailure; a
    // stop always does. After a pass that handed out records, "C4" tells whether the reader
    // keeps counting them (see OwedLedger::noteCompletePass).
    Result run(const std::vector<int>& readers, bool goOnAfterFailure);
    // "C2": the reader leaves its records where they are. Not sent to a reader that may still
    // hold a record not stored: it is left as it is, for the next upload to collect.
    void abandon(int reader);

private:
    bool startUpload(int reader);
    void noteCopy(int reader, int handedOut);
    ReaderLink& link_;
    RecordSink& sink_;
    Hooks hooks_;
};

// "03번 07번" for readers 3 and 7.
QString readerList(const std::vector<int>& readers);

} // namespace batch
