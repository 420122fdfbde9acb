#include "BatchExchange.h"

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
        if (link_.ReadWriteAck("C0") == 1) return true;
    }
    return false;
}

// "C2" leaves the reader's records where they are. A reader that may still hold a record not
// stored gets nothing but "N0": it is left as it is, for the next job to settle.
void BatchJob::abandon(int reader) {
    if (!link_.ledger.owed(reader)) link_.SendFrame("C2", reader);
}

ReaderEnd BatchJob::uploadReader(int reader, bool alone) {
    upload::RecordExchange exchange(link_, sink_, upload::kBatch, alone);
    int retries = 0;
    int settleMs = kRecordSettleMs;
    // One step: a request and its answer; false when the reader's retries are used up.
    const auto step = [&](upload::Turn& turn) {
        turn = exchange.ask(reader, settleMs);
        if (turn.outcome == upload::Turn::Took) {
            if (hooks_.took) hooks_.took(reader, *turn.record, sink_.taken());
            link_.processEvents();
            return true;
        }
        if (turn.outcome == upload::Turn::NoMore) return true;
        if (retries >= kRetryLimit) return false;
        ++retries;
        if (turn.heard == upload::Heard::Garbled || turn.heard == upload::Heard::OtherFrame)
            link_.AwaitQuietLine();
        return true;
    };
    upload::Turn turn;
    // A reader owed from before (a run that broke off, another job, another program) repeats its
    // last answer first: what it hands out goes into this job's file.
    while (exchange.owed(reader))
        if (!step(turn)) return ReaderEnd::GivenUp;
    if (!startUpload(reader)) return ReaderEnd::NotAcknowledged;
    for (;;) {
        // A stop while the reader is owed leaves it so, for the next job to settle.
        if (hooks_.stopRequested && hooks_.stopRequested()) {
            abandon(reader);
            link_.AwaitAnswer(kAckWaitMs);
            link_.ClearInput();
            return ReaderEnd::Stopped;
        }
        link_.processEvents();
        if (!step(turn)) return ReaderEnd::Failed;
        if (turn.outcome == upload::Turn::NoMore) return ReaderEnd::Finished;
    }
}

BatchJob::Result BatchJob::run(const std::vector<int>& readers, bool goOnAfterFailure) {
    Result result;
    for (const int reader : readers) {
        if (hooks_.readerStarts) hooks_.readerStarts(reader);
        result.lastReader = reader;
        result.last = uploadReader(reader, readers.size() == 1);
        if (result.last == ReaderEnd::Failed) abandon(reader);
        if (hooks_.readerEnds) hooks_.readerEnds(reader, result.last);
        if (result.last == ReaderEnd::Stopped) return result;
        if (result.last == ReaderEnd::Finished) continue;
        result.notUploaded.push_back(reader);
        if (result.last == ReaderEnd::Failed && !goOnAfterFailure) return result;
    }
    return result;
}

QString readerList(const std::vector<int>& readers) {
    QStringList names;
    for (const int reader : readers) names << twoDigits(reader) + QStringLiteral("번");
    return names.join(QLatin1Char(' '));
}

} // namespace batch
