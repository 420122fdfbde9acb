#include "RecordExchange.h"

#include "UploadFiles.h"

#include <QDate>

#include <algorithm>

namespace upload {

const UploadKind kBatch{"C1", "C6", 'B'};
const UploadKind kOnline{"C5", "C7", 'A'};

RecordExchange::RecordExchange(ReaderLink& link, RecordSink& sink, const UploadKind& kind, bool alone)
    : link_(link), sink_(sink), kind_(kind), alone_(alone) {}

RecordExchange::Request RecordExchange::requestFor(int reader) {
    if (!owed(reader)) return Request::Next;
    const OwedLedger::Silence& silence = link_.ledger.silence(reader);
    const int due = kSilentRepeats << std::min(silence.probes, kLongestProbeBackoff);
    return silence.repeats >= due ? Request::Probe : Request::Repeat;
}

Heard RecordExchange::judge(const Reply& reply, int reader, bool wasOwed,
                            std::optional<TPunchRecord>& record) const {
    if (reply.status == '0') return Heard::Silence;
    if (reply.status == '1') {
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

Turn RecordExchange::proof(int reader, Heard heard, const Reply& reply,
                           const std::optional<TPunchRecord>& record) {
    const QByteArray identity = heard == Heard::SameRecord ? "record " + record->toBytes()
                                : heard == Heard::NoMore   ? QByteArray(kind_.noMore)
                                                           : "frame " + reply.code;
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
    // more: it is still to be confirmed. Another command's answer: what was to be confirmed
    // still is.
    const QByteArray pending = heard == Heard::SameRecord ? record->toBytes()
                               : heard == Heard::NoMore   ? QByteArray()
                                                          : link_.ledger.pending(reader);
    link_.ledger.settle(reader, pending);
    turn.outcome = heard == Heard::NoMore ? Turn::NoMore : Turn::Settled;
    return turn;
}

void RecordExchange::countSilence(int reader) {
    OwedLedger::Silence& silence = link_.ledger.silence(reader);
    if (alone_ || link_.framesHeard() != silence.heardMark) ++silence.repeats;
    silence.heardMark = link_.framesHeard();
}

Turn RecordExchange::ask(int reader, int settleMs) {
    const bool wasOwed = owed(reader);
    const Request request = requestFor(reader);
    switch (request) {
    case Request::Next:
        link_.SendFrame(kind_.next, reader);
        break;
    case Request::Repeat:
        link_.SendFrame("N0", reader);
        break;
    case Request::Probe:
        link_.SendProbe(reader);
        break;
    }
    link_.AwaitInput(settleMs);
    const Reply reply = link_.ReadReply(kRecordAnswerL, kind_.next, reader);
    std::optional<TPunchRecord> record;
    const Heard heard = judge(reply, reader, wasOwed, record);
    OwedLedger::Silence& silence = link_.ledger.silence(reader);
    Turn turn;
    turn.heard = heard;
    turn.outcome = heard == Heard::Silence ? Turn::Silent : Turn::Unsettled;
    switch (request) {
    case Request::Next:
        if (heard == Heard::NewRecord) return take(reader, *record);
        if (heard == Heard::NoMore) {
            link_.ledger.settle(reader, QByteArray());
            turn.outcome = Turn::NoMore;
        }
        // Anything else leaves the reader owed, as the request marked it.
        return turn;
    case Request::Repeat:
        if (heard == Heard::NewRecord) return take(reader, *record);
        if (heard == Heard::Silence) {
            proofs_[std::size_t(reader)].clear();
            countSilence(reader);
            return turn;
        }
        silence.repeats = 0;
        if (heard == Heard::Garbled) {
            proofs_[std::size_t(reader)].clear();
            return turn;
        }
        return proof(reader, heard, reply, record);
    case Request::Probe:
        if (heard == Heard::OtherFrame && reply.code == "A0") {
            link_.ledger.settle(reader, link_.ledger.pending(reader));
            turn.outcome = Turn::Settled;
            return turn;
        }
        // A record that comes now is a late one; stored, though the reader stays owed.
        if (heard == Heard::NewRecord) sink_.store(reader, *record);
        ++silence.probes;
        silence.repeats = 0;
        return turn;
    }
    return turn;
}

void settleForOtherJob(ReaderLink& link, int reader, const QDate& today) {
    if (!link.ledger.owed(reader)) return;
    const UploadKind& kind = link.ledger.kind(reader) == kBatch.file ? kBatch : kOnline;
    RecordSink sink(UploadFileName(kind.file, today.year(), today.month(), today.day()),
                    UploadFile::Mode::Append, true);
    RecordExchange exchange(link, sink, kind, true);
    int settleMs = kFirstSettleMs;
    for (int retry = 0; retry <= kRetryLimit && exchange.owed(reader); ++retry) {
        const Turn turn = exchange.ask(reader, settleMs);
        if (turn.outcome == Turn::Silent) break;
        if (turn.heard == Heard::Garbled) {
            link.AwaitQuietLine();
            settleMs += kBadSettleStepMs;
        }
    }
    sink.close();
}

} // namespace upload
