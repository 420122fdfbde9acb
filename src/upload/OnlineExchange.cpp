#include "OnlineExchange.h"

#include "UploadFiles.h"

namespace online {

Poller::Poller(ReaderLink& link, std::function<bool()> stopRequested)
    : link_(link), stopRequested_(std::move(stopRequested)) {}

std::optional<upload::Turn> Poller::visit(RecordSink& sink, int reader, bool alone) {
    upload::RecordExchange exchange(link_, sink, upload::kOnline, alone);
    int retries = 0;
    bool nakMode = false; // an answer of this visit was bad: silence is then asked about too
    int settleMs = upload::kFirstSettleMs;
    answered_ = false;
    for (;;) {
        link_.processEvents();
        const upload::Turn turn = exchange.ask(reader, settleMs);
        const bool silent = turn.outcome == upload::Turn::Silent;
        answered_ = answered_ || !silent;
        idle_ = silent ? idle_ + 1 : 0;
        switch (turn.outcome) {
        case upload::Turn::Took:
            return turn;
        case upload::Turn::NoMore:
            return std::nullopt;
        case upload::Turn::Silent:
            if (!nakMode) return std::nullopt;
            settleMs += upload::kSilentSettleStepMs;
            break;
        case upload::Turn::Unsettled:
            if (turn.heard == upload::Heard::Garbled || turn.heard == upload::Heard::OtherFrame) {
                nakMode = true;
                settleMs += upload::kBadSettleStepMs;
                link_.AwaitQuietLine();
            }
            break;
        case upload::Turn::Settled: // nothing unstored there: ask it for its next record now
            break;
        }
        if (retries >= upload::kRetryLimit || stopRequested_()) return std::nullopt;
        ++retries;
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
    for (int reader = first; reader <= last && !poller_.stopRequested(); ++reader) {
        const std::optional<upload::Turn> turn = poller_.visit(sink(), reader, first == last);
        if (turn && hooks_.took) hooks_.took(reader, *turn->record, turn->verdict);
        if (hooks_.visited) hooks_.visited(reader, poller_.answered());
    }
}

void OnlineSession::close() {
    if (sink_) sink_->close();
}

} // namespace online
