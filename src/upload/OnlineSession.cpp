#include "OnlineSession.h"

#include "BatchJob.h"
#include "UploadFiles.h"

#include <algorithm>

namespace online {

Poller::Poller(ReaderLink& link, std::function<bool()> stopRequested)
    : link_(link), stopRequested_(std::move(stopRequested)) {}

std::optional<upload::Turn> Poller::visit(RecordSink& sink, int reader) {
    upload::RecordExchange exchange(link_, sink, upload::kOnline);
    upload::RetryPolicy policy;
    bool nakMode = false; // an answer of this visit was bad: silence is then asked about too
    answered_ = false;
    for (;;) {
        link_.processEvents();
        const upload::Turn turn = exchange.ask(reader, policy.settleMs());
        const bool silent = turn.outcome == upload::Turn::Silent;
        answered_ = answered_ || !silent;
        idle_ = silent ? idle_ + 1 : 0;
        if (turn.outcome == upload::Turn::Took) return turn;
        if (turn.outcome == upload::Turn::NoMore || (silent && !nakMode)) return std::nullopt;
        nakMode = nakMode || turn.heard == upload::Heard::Garbled || turn.heard == upload::Heard::OtherFrame;
        if (stopRequested_() || !policy.retry(link_, turn)) return std::nullopt;
    }
}

OnlineSession::OnlineSession(ReaderLink& link, std::function<bool()> stopRequested, Hooks hooks)
    : link_(link), poller_(link, std::move(stopRequested)), hooks_(std::move(hooks)) {}

RecordSink& OnlineSession::sink() {
    const QDate today = hooks_.today();
    const QString name = UploadFileName('A', today.year(), today.month(), today.day());
    if (!sink_) {
        sink_ = std::make_unique<RecordSink>(name, UploadFile::Mode::Append);
    } else if (today != day_) {
        sink_->moveTo(name, UploadFile::Mode::Append);
    } else {
        return *sink_;
    }
    day_ = today;
    if (hooks_.fileOpened) hooks_.fileOpened(sink_->path());
    return *sink_;
}

// Reader by reader, so that a record taken after midnight goes into the new day's file.
void OnlineSession::cycle(int first, int last) {
    for (int reader = first; reader <= last && !poller_.stopRequested(); ++reader) serve(reader);
}

void OnlineSession::serve(int reader) {
    // Owed by a batch: what it repeats belongs in the day's batch file.
    if (link_.ledger.owed(reader) && upload::owedKind(link_, reader).file != upload::kOnline.file)
        upload::settleForOtherJob(link_, reader, hooks_.today());
    const bool wasOwed = link_.ledger.owed(reader);
    const std::optional<upload::Turn> turn = poller_.visit(sink(), reader);
    if (turn && hooks_.took) hooks_.took(reader, *turn->record, turn->verdict);
    // Owed before the visit and still after its "N0", visit after visit: the reader has no last
    // answer to repeat (switched off and on) or repeats one that proves nothing. A late answer
    // on a slow or noisy line costs a visit, not a pass.
    Backoff& backoff = backoff_[std::size_t(reader)];
    if (!link_.ledger.owed(reader)) {
        backoff = Backoff();
    } else if (wasOwed && ++backoff.unsettled >= kUnsettledVisits && !poller_.stopRequested() &&
               --backoff.wait < 0) {
        const bool ended = collect(reader);
        backoff.failures = ended ? 0 : std::min(backoff.failures + 1, kLongestBackoff);
        backoff.wait = ended ? 0 : (1 << backoff.failures) - 1;
    }
    if (hooks_.visited) hooks_.visited(reader, poller_.answered());
}

bool OnlineSession::collect(int reader) {
    const QDate today = hooks_.today();
    RecordSink file(UploadFileName('B', today.year(), today.month(), today.day()), UploadFile::Mode::Append,
                    true);
    if (hooks_.collecting) hooks_.collecting(reader, file.path());
    batch::BatchJob job(link_, file,
                        batch::BatchJob::Hooks{[this] { return poller_.stopRequested(); },
                                               {},
                                               [this](int id, const TPunchRecord& record, int) {
                                                   if (hooks_.took) hooks_.took(id, record, Verdict{});
                                               },
                                               {}});
    const batch::ReaderEnd end = job.uploadReader(reader);
    file.close();
    // The pass took the reader's numbers on: its next on-line record is judged afresh.
    sink().restartSequence(reader);
    return end == batch::ReaderEnd::Finished;
}

void OnlineSession::close() {
    if (sink_) sink_->close();
}

} // namespace online
