#include "Collector.h"

#include "BatchJob.h"
#include "ClockSnapshot.h"
#include "EraseJob.h"
#include "FileError.h"
#include "Formats.h"
#include "HostPaths.h"
#include "ReaderClock.h"
#include "RecordExchange.h"
#include "UploadFiles.h"

#include <QDir>

#include <algorithm>
#include <cerrno>

namespace {
constexpr int kPauseStepMs = 50;

QString readerName(int id) {
    return QStringLiteral("reader ") + twoDigits(id);
}
} // namespace

Collector::Collector(const CollectOptions& options, const LineSettings& settings, CollectorEnv env)
    : options_(options), settings_(settings), env_(std::move(env)), link_(comm_, qtLinkEnv()),
      session_(
          link_, env_.stopRequested,
          online::OnlineSession::Hooks{
              [this] { return env_.now().date(); },
              [this](int id, const TPunchRecord&, const Verdict& verdict) { takeRecord(id, verdict); },
              [this](int id, bool answered) { visited(id, answered); },
              [this](const QString& path) {
                  // The first file of the run, or one opened afresh after an error, is today's
                  // still; another is a new day's.
                  const bool newDay = fileDay_.isValid() && fileDay_ != env_.now().date();
                  fileDay_ = env_.now().date();
                  if (newDay)
                      for (int id = 1; id <= settings_.readerCount; ++id) state_.reader(id).recordsToday = 0;
                  log((newDay ? QStringLiteral("a new day: writing to ") : QStringLiteral("writing to ")) +
                      path);
              },
              [this](int id, const QString& path) {
                  log(readerName(id) +
                      QStringLiteral(" may still hold records not stored and does not repeat "
                                     "its last answer: collecting it by a batch pass into ") +
                      path);
              }}),
      state_(options.workDir, settings.readerCount) {
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
    for (const DailyTime& at : options_.eraseAt)
        log(QStringLiteral("every reader erased every day at ") + at.text() +
            QStringLiteral(", after what no file holds is collected"));
    noteState(true);
    while (!env_.stopRequested()) {
        try {
            step();
        } catch (const LineLost& e) {
            lostAt_ = env_.now();
            line_.lost(lostAt_.toMSecsSinceEpoch());
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
            session_.dropFile();
            pause(line_.waitBeforeRetry(e));
        }
    }
    QString closing;
    try {
        session_.close();
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
    int waitMs = 0;
    try {
        // No request goes to a reader before the ledger of owed records is kept.
        if (link_.ledger.path().isEmpty()) line_.attachLedger(options_.workDir);
        openLine(comm_);
    } catch (const LineBusy& e) {
        trouble = QStringLiteral("port %1 is in use by another program (qrx?): %2")
                      .arg(port, QString::fromStdString(e.what()).section(QLatin1Char('\n'), 1));
        waitMs = line_.waitBeforeRetry(e);
    } catch (const std::exception& e) {
        trouble = QStringLiteral("port %1 cannot be opened: %2").arg(port, e.what());
        waitMs = line_.waitBeforeRetry(e);
    }
    if (!trouble.isEmpty()) {
        if (trouble != lineTrouble_) {
            log(trouble + QStringLiteral("; trying again"));
            lineTrouble_ = trouble;
            state_.setPort(trouble);
            noteState(true);
        }
        pause(waitMs);
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
    line_.opened(env_.now().toMSecsSinceEpoch());
    return true;
}

void Collector::cycle() {
    const QDateTime now = env_.now();
    if (lastStep_.isValid()) runScheduledJobs(lastStep_, now);
    lastStep_ = now;
    turnOfTheHour(now);
    makeOutputFolder();
    session_.cycle(1, settings_.readerCount);
    if (session_.idleTooLong()) {
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

void Collector::makeOutputFolder() {
    if (outputDirExists()) return;
    if (!QDir().mkpath(hostPath(kOutputDir))) throwFileError(hostPath(kOutputDir), errno);
    log(QStringLiteral("made the output folder ") + hostPath(kOutputDir));
}

void Collector::takeRecord(int reader, const Verdict& verdict) {
    ReaderNote& note = state_.reader(reader);
    ++note.recordsToday;
    note.lastSeq = verdict.seq;
    ++hourRecords_[std::size_t(reader)];
    if (verdict.expected >= 0) log(LineSession::gapNotice(reader, verdict.expected));
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
    if (hour != hourOf_) countReaders();
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
    if (options_.batchAt && options_.batchAt->passedBetween(previous, now)) batchDay_ = now.date();
    for (const DailyTime& at : options_.eraseAt)
        if (at.passedBetween(previous, now)) eraseDue_ = true;
    if (clocks) setClocks();
    if (batchDay_.isValid() && !env_.stopRequested()) runBatch();
    // An erase that broke off (the line lost) runs again whole: a reader erased already counts
    // nothing and is erased at once.
    if (eraseDue_ && !env_.stopRequested()) eraseAll();
    lastStep_ = env_.now();
}

void Collector::eraseAll() {
    log(QStringLiteral("erasing every reader, what no file holds collected first"));
    eraser::EraseJob job(link_, eraser::EraseJob::Hooks{env_.stopRequested, env_.now, {}});
    for (int id = 1; id <= settings_.readerCount && !env_.stopRequested(); ++id) {
        const eraser::Receipt receipt = job.erase(id);
        ReaderNote& note = state_.reader(id);
        if (receipt.held >= 0) noteCount(id, receipt.erased() ? 0 : receipt.held);
        note.erase = receipt.sent() ? eraser::receiptLine(receipt)
                                    : receipt.at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) +
                                          eraseTrouble(receipt.end);
        log(readerName(id) + QStringLiteral(": ") + note.erase);
    }
    if (env_.stopRequested()) return;
    eraseDue_ = false;
    noteState(true);
}

QString Collector::eraseTrouble(eraser::End end) {
    switch (end) {
    case eraser::End::Silent:
        return QStringLiteral("not erased: it did not answer the count or the batch pass");
    case eraser::End::Unreadable:
        return QStringLiteral("not erased: it could not be read to the end (bad answers)");
    case eraser::End::Stopped:
        return QStringLiteral("not erased: stopped");
    default:
        return {};
    }
}

void Collector::noteCount(int reader, int count) {
    ReaderNote& note = state_.reader(reader);
    note.count = count;
    note.countAt = env_.now();
}

// Once an hour every reader is counted, so that --status shows a reader filling up before it is
// full.
void Collector::countReaders() {
    for (int id = 1; id <= settings_.readerCount && !env_.stopRequested(); ++id) {
        const Reply reply = batch::requestCount(link_, id, batch::kCountWaitMs);
        if (reply.status != Reply::Good) continue;
        const QString digits = batch::countDigits(reply);
        bool decimal = true;
        for (const QChar c : digits) decimal = decimal && c.isDigit();
        if (decimal) noteCount(id, digits.toInt());
    }
}

void Collector::setClocks() {
    const ClockSnapshot clock = ClockSnapshot::of(env_.now());
    const QByteArray block = clockBlock(clock);
    log(QStringLiteral("setting the readers' clocks to ") + computerClockText(clock).trimmed());
    for (int id = 1; id <= settings_.readerCount && !env_.stopRequested(); ++id) {
        const Reply reply = setReaderClock(link_, id, block);
        const QString result =
            reply.status == Reply::Good ? QStringLiteral("clock set, it reads ") + readerClockText(reply.data)
            : reply.status == Reply::NoAnswer ? QStringLiteral("no answer to the clock set")
                                              : QStringLiteral("bad answer to the clock set");
        log(readerName(id) + QStringLiteral(": ") + result);
    }
}

void Collector::runBatch() {
    const std::unique_ptr<RecordSink> file =
        batchBegun_ ? batch::resumeBatchFile(batchDay_) : batch::beginBatchFile(batchDay_);
    log((batchBegun_ ? QStringLiteral("batch upload of all readers goes on in ")
                     : QStringLiteral("batch upload of all readers into ")) +
        file->path());
    batchBegun_ = true;
    std::vector<int> readers;
    for (int id = 1; id <= settings_.readerCount; ++id)
        if (std::find(batchDone_.begin(), batchDone_.end(), id) == batchDone_.end()) readers.push_back(id);
    int before = 0;
    const auto ended = [&](int id, batch::ReaderEnd end) {
        if (end == batch::ReaderEnd::Stopped) return;
        batchDone_.push_back(id);
        QString text = QStringLiteral("%1 records").arg(file->taken() - before);
        if (end == batch::ReaderEnd::NotAcknowledged) text += QStringLiteral(", did not take C0: skipped");
        if (end == batch::ReaderEnd::Failed)
            text += QStringLiteral(", broke off (answers bad or missing): the rest stays in the reader");
        log(readerName(id) + QStringLiteral(" batch: ") + text);
    };
    batch::BatchJob job(
        link_, *file,
        batch::BatchJob::Hooks{env_.stopRequested, [&](int) { before = file->taken(); }, {}, ended});
    job.run(readers, true);
    file->close();
    if (env_.stopRequested()) return;
    log(QStringLiteral("batch upload done: %1 records").arg(file->taken()));
    batchDay_ = QDate();
    batchBegun_ = false;
    batchDone_.clear();
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
