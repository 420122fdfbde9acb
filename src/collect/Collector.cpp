#include "Collector.h"

#include "BatchExchange.h"
#include "ClockSnapshot.h"
#include "FileError.h"
#include "Formats.h"
#include "HostPaths.h"
#include "ReaderClock.h"
#include "UploadFiles.h"

#include <QDir>

#include <algorithm>
#include <cerrno>

namespace {
const char* const kGapReader = "번리더 ";
const char* const kGap = "카운트 누락";
constexpr int kPauseStepMs = 50;

QString readerName(int id) {
    return QStringLiteral("reader ") + twoDigits(id);
}
} // namespace

Collector::Collector(const CollectOptions& options, const LineSettings& settings, CollectorEnv env)
    : options_(options), settings_(settings), env_(std::move(env)), link_(comm_, qtLinkEnv()),
      poller_(link_, env_.stopRequested), state_(options.workDir, settings.readerCount) {
    applySettings(settings_, comm_);
    link_.timing().follow(comm_);
    link_.ReaderCount = settings_.readerCount;
    link_.SelectedReader = 0;
    link_.setPortControl(PortControl{[this] { return comm_.isOpen(); }, [this] { openLine(comm_); },
                                     [this] { comm_.Close(); }});
    state_.setPort(QStringLiteral("%1 not opened yet").arg(QString::fromStdString(settings_.deviceName)));
}

Collector::~Collector() = default;

int Collector::run() {
    log(QStringLiteral("qrx-collect %1 started in %2: port %3 at %4 bit/s, %5 readers")
            .arg(QStringLiteral(QRX_VERSION), QDir::currentPath(),
                 QString::fromStdString(settings_.deviceName))
            .arg(baudRateValue(settings_.baudRate))
            .arg(settings_.readerCount));
    if (options_.batchAt)
        log(QStringLiteral("batch upload of all readers every day at ") + options_.batchAt->text());
    if (options_.clocksAt)
        log(QStringLiteral("readers' clocks set every day at ") + options_.clocksAt->text());
    noteState(true);
    while (!env_.stopRequested()) {
        try {
            step();
        } catch (const LineLost& e) {
            lostAt_ = env_.now();
            lineTrouble_ = QStringLiteral("lost");
            log(QStringLiteral("port %1 lost: %2")
                    .arg(QString::fromStdString(settings_.deviceName), e.portError().c_str()));
            state_.setPort(QStringLiteral("%1 lost at %2 (%3); opened again when it is back")
                               .arg(QString::fromStdString(settings_.deviceName),
                                    lostAt_.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                    e.portError().c_str()));
            noteState(true);
        } catch (const std::exception& e) {
            // A file that cannot be written (disk full, folder gone): the record stays in its
            // reader, which repeats it when asked, and the file is opened afresh. The same error
            // again and again is logged once.
            const QString error = QStringLiteral("error: ") + QString::fromUtf8(e.what());
            if (error != lastError_) log(error);
            lastError_ = error;
            sink_.reset();
            repeatOnOpen_ = true;
            waitToRetry();
        }
    }
    QString closing;
    try {
        if (sink_) sink_->close();
    } catch (const std::exception& e) {
        closing = QStringLiteral(" (closing the file: ") + QString::fromUtf8(e.what()) + ')';
    }
    comm_.Close();
    state_.setPort(QString::fromStdString(settings_.deviceName) + QStringLiteral(" closed"));
    state_.write(env_.now(), false);
    log(QStringLiteral("stopped") + closing);
    return 0;
}

void Collector::step() {
    if (!comm_.isOpen() && !openPort()) return;
    link_.runOnLine([this] { cycle(); });
}

bool Collector::openPort() {
    const QString port = QString::fromStdString(settings_.deviceName);
    QString trouble;
    try {
        openLine(comm_);
    } catch (const LineBusy& e) {
        trouble = QStringLiteral("port %1 is in use by another program (qrx?): %2")
                      .arg(port, QString::fromStdString(e.what()).section(QLatin1Char('\n'), 1));
    } catch (const ECommError& e) {
        trouble = QStringLiteral("port %1 cannot be opened: %2").arg(port, e.what());
    }
    if (!trouble.isEmpty()) {
        if (trouble != lineTrouble_) {
            log(trouble + QStringLiteral("; trying again"));
            lineTrouble_ = trouble;
            state_.setPort(trouble);
            noteState(true);
        }
        waitToRetry();
        return false;
    }
    const QString device = QString::fromStdString(resolveDeviceName(settings_.deviceName));
    QString opened = QStringLiteral("port %1 open (%2)").arg(port, device);
    if (lostAt_.isValid()) opened += QStringLiteral(" again after %1 s").arg(lostAt_.secsTo(env_.now()));
    log(opened);
    state_.setPort(opened);
    noteState(true);
    lineTrouble_.clear();
    lostAt_ = QDateTime();
    retryMs_ = kFirstRetryMs;
    repeatOnOpen_ = true;
    return true;
}

void Collector::waitToRetry() {
    pause(retryMs_);
    retryMs_ = std::min(retryMs_ * 2, kLongestRetryMs);
}

void Collector::cycle() {
    const QDateTime now = env_.now();
    if (lastStep_.isValid()) runScheduledJobs(lastStep_, now);
    lastStep_ = now;
    turnOfTheHour(now);
    if (repeatOnOpen_) {
        poller_.repeatFirst(1, settings_.readerCount);
        repeatOnOpen_ = false;
    }
    visitAll();
    if (poller_.idleTooLong()) {
        if (!noReaders_) log(QStringLiteral("no reader answers; polling on once a second"));
        noReaders_ = true;
        noteState();
        pause(kIdlePauseMs);
        return;
    }
    if (noReaders_) log(QStringLiteral("readers answer again"));
    noReaders_ = false;
    lastError_.clear();
    noteState();
}

RecordSink& Collector::sink() {
    const QDate today = env_.now().date();
    const QString name = UploadFileName('A', today.year(), today.month(), today.day());
    if (!sink_) {
        if (!outputDirExists()) {
            if (!QDir().mkpath(hostPath(kOutputDir))) throwFileError(hostPath(kOutputDir), errno);
            log(QStringLiteral("made the output folder ") + hostPath(kOutputDir));
        }
        sink_ = std::make_unique<RecordSink>(name, UploadFile::Mode::Append);
        sink_->rememberLatestRecords();
        sinkDay_ = today;
        log(QStringLiteral("writing to ") + sink_->path());
    } else if (today != sinkDay_) {
        sink_->moveTo(name, UploadFile::Mode::Append);
        sinkDay_ = today;
        for (int id = 1; id <= settings_.readerCount; ++id) state_.reader(id).recordsToday = 0;
        log(QStringLiteral("a new day: writing to ") + sink_->path());
    }
    return *sink_;
}

void Collector::takeRecord(int reader, const Verdict& verdict) {
    ReaderNote& note = state_.reader(reader);
    ++note.recordsToday;
    note.lastSeq = verdict.seq;
    ++hourRecords_[std::size_t(reader)];
    if (verdict.expected >= 0)
        log(twoDigits(reader) + utf8(kGapReader) + sixDigits(verdict.expected) + utf8(kGap));
}

void Collector::visited(int reader, bool answered) {
    ReaderNote& note = state_.reader(reader);
    int& silent = silentVisits_[std::size_t(reader)];
    if (answered) {
        if (note.silentSince.isValid()) log(readerName(reader) + QStringLiteral(" answers again"));
        note.heard = env_.now();
        note.silentSince = QDateTime();
        silent = 0;
        return;
    }
    if (++silent == kSilentVisits) {
        note.silentSince = env_.now();
        log(readerName(reader) + QStringLiteral(" does not answer"));
    }
}

void Collector::turnOfTheHour(const QDateTime& now) {
    const qint64 hour = now.date().toJulianDay() * 24 + now.time().hour();
    if (hourOf_ >= 0 && hour != hourOf_) {
        QStringList counts;
        for (int id = 1; id <= settings_.readerCount; ++id)
            counts << twoDigits(id) + ' ' + QString::number(hourRecords_[std::size_t(id)]);
        const int from = int(hourOf_ % 24);
        log(QStringLiteral("records %1:00-%2:00 per reader: ")
                .arg(twoDigits(from), twoDigits((from + 1) % 24)) +
            counts.join(QStringLiteral(", ")));
        hourRecords_.fill(0);
    }
    hourOf_ = hour;
}

void Collector::runScheduledJobs(const QDateTime& previous, const QDateTime& now) {
    const bool clocks = options_.clocksAt && options_.clocksAt->passedBetween(previous, now);
    const bool batch = options_.batchAt && options_.batchAt->passedBetween(previous, now);
    if (!clocks && !batch) return;
    settleRepeats();
    if (clocks) setClocks();
    if (batch && !env_.stopRequested()) runBatch();
    // The jobs changed what each reader would repeat: nothing is owed from before them.
    lastStep_ = env_.now();
}

void Collector::settleRepeats() {
    for (int i = 0; i < online::kRepeatVisits && poller_.repeatsPending() && !env_.stopRequested(); ++i)
        visitAll();
}

// Reader by reader, so that a record taken after midnight goes into the new day's file.
void Collector::visitAll() {
    for (int reader = 1; reader <= settings_.readerCount && !env_.stopRequested(); ++reader)
        online::visitReaders(
            poller_, sink(), reader, reader,
            [this](int id, const TPunchRecord&, const Verdict& verdict) { takeRecord(id, verdict); },
            [this](int id, bool answered) { visited(id, answered); });
}

void Collector::setClocks() {
    const ClockSnapshot clock = ClockSnapshot::of(env_.now());
    const QByteArray block = clockBlock(clock);
    log(QStringLiteral("setting the readers' clocks to ") + computerClockText(clock).trimmed());
    for (int id = 1; id <= settings_.readerCount && !env_.stopRequested(); ++id) {
        const Reply reply = setReaderClock(link_, id, block);
        const QString result = reply.status == '1'
                                   ? QStringLiteral("clock set, it reads ") + readerClockText(reply.data)
                               : reply.status == '0' ? QStringLiteral("no answer to the clock set")
                                                     : QStringLiteral("bad answer to the clock set");
        log(readerName(id) + QStringLiteral(": ") + result);
    }
}

void Collector::runBatch() {
    const QDate day = env_.now().date();
    const QString name = UploadFileName('B', day.year(), day.month(), day.day());
    const QString earlier = RotateBatchFile(name.chopped(4));
    RecordSink file(name, UploadFile::Mode::Truncate);
    if (!earlier.isEmpty()) file.rememberLastRecords(earlier);
    log(QStringLiteral("batch upload of all readers into ") + file.path());
    int total = 0;
    for (int id = 1; id <= settings_.readerCount; ++id) {
        int taken = 0;
        link_.ClearInput();
        const batch::ReaderEnd end =
            batch::uploadReader(link_, id, env_.stopRequested, [&](const TPunchRecord& record) {
                if (file.take(id, record)) ++taken;
            });
        total += taken;
        if (end == batch::ReaderEnd::Stopped) break;
        QString result = QStringLiteral("%1 records").arg(taken);
        if (end == batch::ReaderEnd::NotAcknowledged) result += QStringLiteral(", did not take C0: skipped");
        if (end == batch::ReaderEnd::Failed) {
            link_.SendFrame("C2", id);
            result += QStringLiteral(", broke off (answers bad or missing): the rest stays in the reader");
        }
        log(readerName(id) + QStringLiteral(" batch: ") + result);
    }
    file.close();
    log(QStringLiteral("batch upload done: %1 records").arg(total));
}

void Collector::pause(int ms) {
    for (int left = ms; left > 0 && !env_.stopRequested(); left -= kPauseStepMs) {
        link_.processEvents();
        link_.sleep(std::min(left, kPauseStepMs));
    }
}

void Collector::noteState(bool force) {
    const QDateTime now = env_.now();
    if (!force && stateWritten_.isValid() && stateWritten_.msecsTo(now) < kStateEveryMs) return;
    stateWritten_ = now;
    const QString error = state_.write(now);
    if (!error.isEmpty() && !stateErrorLogged_) log(QStringLiteral("cannot write the state file: ") + error);
    stateErrorLogged_ = !error.isEmpty();
}
