// The unattended collector: opens the line named in the working directory's QRX.CFG and
// collects every reader's punch records on line into the day's file, as the on-line upload
// does, until it is told to stop. It never ends by itself: a line that is lost is opened again
// once it is back, readers that do not answer are polled on at a slower pace, a file that
// cannot be written is tried again. Scheduled jobs (the batch upload of all readers, the
// readers' clocks set) pause the on-line loop at their time of day.
#pragma once

#include "CollectLog.h"
#include "CollectOptions.h"
#include "CollectState.h"
#include "CommInt.h"
#include "ConfigFile.h"
#include "OnlineExchange.h"
#include "ReaderLink.h"
#include "RecordSink.h"

#include <QDateTime>

#include <array>
#include <functional>
#include <memory>
#include <optional>

struct CollectorEnv {
    // Local date and time; the collector's days, hours and schedule follow it.
    std::function<QDateTime()> now;
    // Set by a signal: ends the run after the exchange under way.
    std::function<bool()> stopRequested;
    CollectLog log;
};

class Collector {
public:
    static constexpr int kIdlePauseMs = 1000;    // between cycles while no reader answers
    static constexpr int kFirstRetryMs = 500;    // the first wait before the port is opened again
    static constexpr int kLongestRetryMs = 4000; // the longest
    // Visits without an answer before a reader counts as silent: more than the visits after an
    // open that begin with "N0", which a reader with nothing to repeat does not answer.
    static constexpr int kSilentVisits = online::kRepeatVisits + 2;
    static constexpr int kStateEveryMs = 2000; // the state file is written at most this often

    // The working directory must be the current one (the port's COMn links and DATA2 are there).
    Collector(const CollectOptions& options, const LineSettings& settings, CollectorEnv env);
    ~Collector();
    // Collects until stopRequested; returns the exit code (0).
    int run();

private:
    // One step of the loop: opens the port when it is closed, else one cycle of the on-line
    // loop (or a scheduled job that is due). Raises what the line and the files raise.
    void step();
    bool openPort();
    void waitToRetry();
    void cycle();
    void visitAll();
    void takeRecord(int reader, const Verdict& verdict);
    void visited(int reader, bool answered);
    RecordSink& sink();
    void turnOfTheHour(const QDateTime& now);
    void runScheduledJobs(const QDateTime& previous, const QDateTime& now);
    void runBatch();
    void setClocks();
    // Visits readers while some may still hold a record whose answer was lost, so that a job
    // that changes what a reader would repeat does not come between.
    void settleRepeats();
    void pause(int ms);
    void noteState(bool force = false);
    void log(const QString& text) const { env_.log(text); }

    const CollectOptions options_;
    const LineSettings settings_;
    CollectorEnv env_;
    TComm comm_;
    ReaderLink link_;
    online::Poller poller_;
    CollectState state_;
    std::unique_ptr<RecordSink> sink_;
    QDate sinkDay_;
    bool repeatOnOpen_ = true; // the next cycle after an open begins with "N0" to every reader
    bool noReaders_ = false;   // logged that no reader answers
    int retryMs_ = kFirstRetryMs;
    QString lineTrouble_; // what went wrong with the port, once logged
    QString lastError_;   // the last other error, once logged
    QDateTime lostAt_;
    QDateTime lastStep_;
    QDateTime stateWritten_;
    bool stateErrorLogged_ = false;
    std::array<int, 13> silentVisits_{};
    std::array<int, 13> hourRecords_{};
    qint64 hourOf_ = -1; // days * 24 + hour of the hour being counted
};
