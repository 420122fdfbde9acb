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
#include "EraseJob.h"
#include "LineSession.h"
#include "OnlineSession.h"
#include "ReaderLink.h"
#include "RecordSink.h"

#include <QDateTime>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct CollectorEnv {
    // Local date and time; the collector's days, hours and schedule follow it.
    std::function<QDateTime()> now;
    // Set by a signal: ends the run after the exchange under way.
    std::function<bool()> stopRequested;
    CollectLog log;
};

class Collector {
public:
    static constexpr int kIdlePauseMs = 1000; // between cycles while no reader answers
    // Visits without an answer before a reader counts as silent.
    static constexpr int kSilentVisits = 5;
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
    void cycle();
    void takeRecord(int reader, const Verdict& verdict);
    void visited(int reader, bool answered);
    void makeOutputFolder();
    void turnOfTheHour(const QDateTime& now);
    void runScheduledJobs(const QDateTime& previous, const QDateTime& now);
    // The day's batch upload of all readers; one that broke off (an error) goes on where it was
    // when it runs again, in the same file.
    void runBatch();
    void setClocks();
    // Every configured reader erased, what no file holds collected first (see EraseJob).
    void eraseAll();
    static QString eraseTrouble(eraser::End end);
    void countReaders();
    void noteCount(int reader, int count);
    void pause(int ms);
    void noteState(bool force = false);
    void log(const QString& text) const { env_.log(text); }

    const CollectOptions options_;
    const LineSettings settings_;
    CollectorEnv env_;
    TComm comm_;
    ReaderLink link_;
    online::OnlineSession session_;
    CollectState state_;
    bool noReaders_ = false; // logged that no reader answers
    QDate fileDay_;          // of the file the session writes into
    LineSession line_{link_, [this] { return env_.now().date(); }};
    // The batch under way: its day, and the readers it has done (an error broke it off).
    QDate batchDay_;
    bool batchBegun_ = false; // its file is begun: going on, it is not moved aside again
    bool eraseDue_ = false;
    std::vector<int> batchDone_;
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
