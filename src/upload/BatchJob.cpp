#include "BatchJob.h"

#include "Formats.h"
#include "UploadFiles.h"

namespace batch {
namespace {
constexpr int kCountLength = 6;

QString batchFileName(const QDate& day) {
    return UploadFileName('B', day.year(), day.month(), day.day());
}
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

std::unique_ptr<RecordSink> beginBatchFile(const QDate& day) {
    const QString name = batchFileName(day);
    RotateBatchFile(name.chopped(4));
    return std::make_unique<RecordSink>(name, UploadFile::Mode::Truncate);
}

std::unique_ptr<RecordSink> resumeBatchFile(const QDate& day) {
    return std::make_unique<RecordSink>(batchFileName(day), UploadFile::Mode::Append);
}

BatchJob::BatchJob(ReaderLink& link, RecordSink& sink, Hooks hooks)
    : link_(link), sink_(sink), hooks_(std::move(hooks)) {}

// "C0" only sets the reader back to its first unconfirmed record (or its first record), so asking
// again after a lost request or acknowledgement is harmless.
bool BatchJob::startUpload(int reader) {
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        link_.SendFrame("C0", reader);
        link_.AwaitAnswer(kAckWaitMs);
        if (link_.ReadWriteAck("C0") == AckDone) return true;
    }
    return false;
}

void BatchJob::abandon(int reader) {
    if (!link_.ledger.owed(reader)) link_.SendFrame("C2", reader);
}

ReaderEnd BatchJob::uploadReader(int reader, int* handedOut) {
    upload::RecordExchange exchange(link_, sink_, upload::kBatch);
    upload::RetryPolicy policy;
    int handed = 0;
    if (!startUpload(reader)) return ReaderEnd::NotAcknowledged;
    // The window is served while each answer is awaited (the wait handles its events): a record
    // is shown, and a stop seen, while the next request is on the wire, not before it leaves.
    for (;;) {
        // A stop while the reader is owed leaves it so, for the next job to collect.
        if (hooks_.stopRequested && hooks_.stopRequested()) {
            abandon(reader);
            link_.AwaitAnswer(kAckWaitMs);
            link_.ClearInput();
            return ReaderEnd::Stopped;
        }
        const bool repeating = exchange.owed(reader);
        const upload::Turn turn = exchange.ask(reader, policy.settleMs());
        // An owed reader that repeats another command's answer (its last request never reached
        // it, say) proves nothing by it: "C0" takes it back to what it has not handed out.
        if (repeating && turn.heard == upload::Heard::OtherFrame) {
            if (!policy.retry(link_, turn)) return ReaderEnd::Failed;
            if (!startUpload(reader)) return ReaderEnd::Failed;
            continue;
        }
        if (turn.outcome == upload::Turn::Took) {
            if (handedOut) *handedOut = ++handed;
            if (hooks_.took) hooks_.took(reader, *turn.record, sink_.taken());
        } else if (turn.outcome == upload::Turn::NoMore) {
            return ReaderEnd::Finished;
        } else if (turn.outcome != upload::Turn::Settled && !policy.retry(link_, turn)) {
            return ReaderEnd::Failed;
        }
    }
}

BatchJob::Result BatchJob::run(const std::vector<int>& readers, bool goOnAfterFailure) {
    Result result;
    for (const int reader : readers) {
        if (hooks_.readerStarts) hooks_.readerStarts(reader);
        result.lastReader = reader;
        int handed = 0;
        result.last = uploadReader(reader, &handed);
        if (result.last == ReaderEnd::Failed) abandon(reader);
        if (result.last == ReaderEnd::Finished && handed > 0) noteCopy(reader, handed);
        if (hooks_.readerEnds) hooks_.readerEnds(reader, result.last);
        if (result.last == ReaderEnd::Stopped) return result;
        if (result.last == ReaderEnd::Finished) continue;
        result.notUploaded.push_back(reader);
        if (result.last == ReaderEnd::Failed && !goOnAfterFailure) return result;
    }
    return result;
}

void BatchJob::noteCopy(int reader, int handedOut) {
    const Reply count = requestCount(link_, reader, kCountWaitMs);
    if (count.status == Reply::Good)
        link_.ledger.noteCompletePass(reader, handedOut, decimalDigitsValue(countDigits(count)));
}

QString readerList(const std::vector<int>& readers) {
    QStringList names;
    for (const int reader : readers) names << twoDigits(reader) + QStringLiteral("번");
    return names.join(QLatin1Char(' '));
}

} // namespace batch
