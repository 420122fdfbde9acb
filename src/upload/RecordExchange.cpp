#include "RecordExchange.h"

#include "UploadFiles.h"

#include <QDate>

namespace upload {

const UploadKind kBatch{"C1", "C6", 'B'};
const UploadKind kOnline{"C5", "C7", 'A'};

const UploadKind& owedKind(const ReaderLink& link, int reader) {
    return link.ledger.kind(reader) == kBatch.file ? kBatch : kOnline;
}

bool RetryPolicy::retry(ReaderLink& link, const Turn& turn) {
    if (retries_ >= kLimit) return false;
    ++retries_;
    if (turn.heard == Heard::Garbled || turn.heard == Heard::OtherFrame) {
        link.AwaitQuietLine();
        settleMs_ += kBadStepMs;
    } else if (turn.heard == Heard::Silence) {
        settleMs_ += kSilentStepMs;
    }
    return true;
}

RecordExchange::RecordExchange(ReaderLink& link, RecordSink& sink, const UploadKind& kind)
    : link_(link), sink_(sink), kind_(kind) {}

Heard RecordExchange::judge(const Reply& reply, int reader, bool wasOwed,
                            std::optional<TPunchRecord>& record) const {
    if (reply.status == Reply::NoAnswer || reply.status == Reply::Held) return Heard::Silence;
    if (reply.status == Reply::Good) {
        record = TPunchRecord::fromBytes(reply.data);
        // After the reader was owed, the record may be on the disk though the ledger never heard
        // of it: the program went down between the two.
        const bool stored = link_.ledger.pending(reader) == record->toBytes() ||
                            (wasOwed && sink_.storedLast(reader, *record));
        return stored ? Heard::SameRecord : Heard::NewRecord;
    }
    if (reply.code == kind_.noMore) return Heard::NoMore;
    if (!reply.code.isEmpty()) return Heard::OtherFrame;
    return Heard::Garbled;
}

// The line first, then the ledger: a program that goes down between the two finds the reader
// owed and the record it repeats on the disk already.
Turn RecordExchange::take(int reader, const TPunchRecord& record) {
    sink_.store(reader, record);
    link_.ledger.settle(reader, record.toBytes());
    proofs_[std::size_t(reader)].clear();
    Turn turn;
    turn.outcome = Turn::Took;
    turn.heard = Heard::NewRecord;
    turn.record = record;
    turn.verdict = sink_.judge(reader, record);
    return turn;
}

Turn RecordExchange::proof(int reader, Heard heard, const std::optional<TPunchRecord>& record) {
    const QByteArray identity =
        heard == Heard::SameRecord ? "record " + record->toBytes() : QByteArray(kind_.noMore);
    QByteArray& last = proofs_[std::size_t(reader)];
    Turn turn;
    turn.heard = heard;
    if (last != identity) {
        last = identity;
        turn.outcome = Turn::Unsettled;
        return turn;
    }
    last.clear();
    // "C6"/"C7" last: the record handed out before was confirmed. The record stored last, once
    // more: it is still to be confirmed.
    link_.ledger.settle(reader, heard == Heard::SameRecord ? record->toBytes() : QByteArray());
    turn.outcome = heard == Heard::NoMore ? Turn::NoMore : Turn::Settled;
    return turn;
}

Turn RecordExchange::ask(int reader, int settleMs) {
    const bool wasOwed = owed(reader);
    link_.SendFrame(wasOwed ? "N0" : kind_.next, reader);
    link_.AwaitInput(settleMs);
    const Reply reply = link_.ReadReply(kRecordAnswerL, kind_.next, reader);
    std::optional<TPunchRecord> record;
    const Heard heard = judge(reply, reader, wasOwed, record);
    if (heard == Heard::NewRecord) return take(reader, *record);
    Turn turn;
    turn.heard = heard;
    turn.outcome = heard == Heard::Silence ? Turn::Silent : Turn::Unsettled;
    if (!wasOwed) {
        if (heard == Heard::NoMore) {
            link_.ledger.settle(reader, QByteArray());
            turn.outcome = Turn::NoMore;
        }
        // Anything else leaves the reader owed, as the request marked it.
        return turn;
    }
    if (heard == Heard::SameRecord || heard == Heard::NoMore) return proof(reader, heard, record);
    proofs_[std::size_t(reader)].clear();
    return turn;
}

Turn RecordExchange::settle(int reader, RetryPolicy& policy, const std::function<void(const Turn&)>& took) {
    Turn turn;
    while (owed(reader)) {
        turn = ask(reader, policy.settleMs());
        if (turn.outcome == Turn::Took && took) took(turn);
        if (turn.outcome == Turn::Silent || (owed(reader) && !policy.retry(link_, turn))) break;
    }
    return turn;
}

void settleForOtherJob(ReaderLink& link, int reader, const QDate& today) {
    if (!link.ledger.owed(reader)) return;
    const UploadKind& kind = owedKind(link, reader);
    RecordSink sink(UploadFileName(kind.file, today.year(), today.month(), today.day()),
                    UploadFile::Mode::Append, true);
    RecordExchange exchange(link, sink, kind);
    RetryPolicy policy;
    exchange.settle(reader, policy);
    sink.close();
}

} // namespace upload
