// qrx-bench: how close the uploads come to what the line allows.
//
// Batch through the real TBatch dialog and on-line through TOnline (readers with punches queued,
// and idle readers answering "C7"), at 1200 to 19200 bit/s, with the USB adapter model off, at
// 1 ms (an FTDI adapter asked for low latency) and at 16 ms (its default), on a clean line and
// with every 100th answer lost. Each row sets the time of its record phase beside the floors of
// the same exchanges (ExchangeFloor.h) at the link's pace and at the fixed settle of the link
// before it, and checks that the day's file holds every record the readers handed out, once and
// in order. Also prints what forcing one file line to the disk costs on the file system of the
// working directory.
//
// Run from a directory on the disk the program would write to:
//     ./bench/qrx-bench [batch] [online] [erase] [sync] [--quick]
// All parts when none is named; --quick runs 9600 and 19200 bit/s only. The exit code is 1
// when a file misses a record, holds one twice or out of order, or a lossy row lost no answer.
#include "CommInt.h"
#include "ExchangeFloor.h"
#include "FBatch.h"
#include "FOnline.h"
#include "FPanDel.h"
#include "HostPaths.h"
#include "Prompts.h"
#include "PunchRecord.h"
#include "ReaderLink.h"
#include "ReaderPanel.h"
#include "ReaderSim.h"
#include "TickTimer.h"
#include "UploadFiles.h"
#include "UploadWidgets.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using bench::Exchange;

constexpr int kReaders = 4;
constexpr int kAdapters[] = {0, 1, 16}; // the adapter model's latency; 0: none
constexpr int kDefaultAdapterMs = 16;
constexpr int kLossEvery = 100;
// Per reader on the lossy line: enough answers that the line loses some in the record phase.
constexpr int kLossyRecords = 50;
constexpr int kLossyPunches = 30;
constexpr int kIdleRounds = 5;
constexpr int kRecordAnswerBytes = 24;
constexpr qint64 kRunLimitMs = 180000;
constexpr int kSyncedLines = 200;
constexpr int kNewPunches = 3;

QTextStream out(stdout);

class QuietPrompts : public Prompts {
public:
    QStringList texts;
    void message(const QString& text, const QString&, Icon) override { texts << text; }
    bool confirm(const QString& text, const QString&, Icon) override {
        texts << text;
        return true;
    }
};

// Records and punches per reader on the clean line: a few seconds of record phase at each speed.
struct Speed {
    TBaudrate rate;
    int bits;
    int records;
    int punches;
};
const Speed kSpeeds[] = {{br1200, 1200, 5, 4},
                         {br2400, 2400, 10, 8},
                         {br4800, 4800, 20, 15},
                         {br9600, 9600, 40, 25},
                         {br19200, 19200, 50, 25}};

// The simulated line with the host's port, link and main timer on it, and every request a reader
// took, stamped with the time it was in. The host's link keeps its own timing defaults: it
// cannot know whether an adapter sits on the line.
struct Station {
    Station(TBaudrate rate, int adapterMs, bool lossy)
        : adapterMs(adapterMs), line(kReaders), link(comm, qtLinkEnv()), timer(link) {
        line.setPacing(true);
        line.setAdapterLatencyMs(adapterMs);
        if (lossy) line.setLineFaults(sim::LineFaults{kLossEvery});
        line.setObserver([this](const sim::LineEvent& e) { note(e); });
        comm.setDeviceName(line.devicePath());
        comm.setBaudRate(rate);
        comm.Open();
        link.ReaderCount = kReaders;
        link.timing().follow(comm);
        timer.followLine(link.timing());
        timer.start();
    }
    ~Station() { comm.Close(); }

    void note(const sim::LineEvent& e) {
        if (e.kind != sim::LineEvent::Kind::Frame) return;
        const bool lost = e.answer.empty() || e.note.find("answer lost") != std::string::npos;
        Exchange x{std::chrono::duration<double, std::milli>(Clock::now() - start).count(), e.id, e.code,
                   lost ? 0 : int(e.answer.size())};
        std::lock_guard<std::mutex> lock(mutex);
        log.push_back(std::move(x));
    }
    std::vector<Exchange> exchanges() const {
        std::lock_guard<std::mutex> lock(mutex);
        return log;
    }
    bench::LineModel model() const { return {1000.0 * line.bitsPerByte() / line.lineSpeed(), adapterMs}; }

    // The adapter's ticks count from the line's start, microseconds after this.
    const Clock::time_point start = Clock::now();
    const int adapterMs;
    // Made before the line, so that its service thread, which logs into them, ends first.
    mutable std::mutex mutex;
    std::vector<Exchange> log;
    sim::SimLine line;
    TComm comm;
    ReaderLink link;
    TickTimer timer;
};

struct Row {
    QString upload;
    int bits = 0;
    int adapterMs = 0;
    bool lossy = false;
    int items = 0; // records; visits for the idle readers
    bool records = true;
    double ms = 0; // the record phase
    double floorMs = 0;
    double beforeMs = 0; // the floor at the fixed settle of the link before
    double hostMs = 0;   // summed over the exchanges of the phase
    int exchanges = 0;
    int retries = 0;
    QStringList deliveredRetries{}; // retries after an answer the line did deliver
    int lost = 0;
    QString check = QStringLiteral("-");
    bool failed = false;
};

bool carriesRecord(const Exchange& e) {
    return e.answerBytes == kRecordAnswerBytes;
}

// The time from the request of exchange `from` to that of `to`, the floor of those in between, and
// what the host added of its own: how much later than it could have it sent each next request.
void addPhase(Row& row, const Station& station, const std::vector<Exchange>& log, std::size_t from,
              std::size_t to) {
    if (to >= log.size() || from >= to) return;
    const bench::LineModel model = station.model();
    const std::vector<Exchange> phase(log.begin() + std::ptrdiff_t(from), log.begin() + std::ptrdiff_t(to));
    row.ms += log[to].inMs - log[from].inMs;
    row.floorMs += bench::floorMs(model, bench::Pace::Whole, phase);
    row.beforeMs += bench::floorMs(model, bench::Pace::Settle, phase);
    for (std::size_t k = from; k < to; ++k)
        row.hostMs +=
            log[k + 1].inMs - bench::nextInMs(model, bench::Pace::Whole, log[k].inMs, log[k].answerBytes);
    row.exchanges += int(to - from);
}

QString fileLine(int reader, const sim::RecordBytes& record) {
    return FormatFileLine(reader, TPunchRecord::fromBytes(QByteArray(
                                      reinterpret_cast<const char*>(record.data()), int(record.size()))));
}

QString dayFile(const UploadDialog& dialog, char prefix) {
    const ClockSnapshot day = dialog.clock->clock;
    return hostPath(UploadFileName(prefix, day.year, day.month, day.day));
}

QStringList fileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
    lines.removeLast();
    return lines;
}

// Every record a reader handed out stands in the file once, in the reader's order.
bool onceInOrder(const QStringList& file, const std::vector<QStringList>& handedOut) {
    int total = 0;
    for (int id = 1; id <= int(handedOut.size()); ++id) {
        const QString prefix = QStringLiteral("%1-").arg(id, 2, 10, QLatin1Char('0'));
        QStringList own;
        for (const QString& line : file)
            if (line.startsWith(prefix)) own << line;
        if (own != handedOut[std::size_t(id - 1)]) return false;
        total += int(own.size());
    }
    return total == file.size();
}

// A run begins by asking every reader to repeat its last answer (fresh readers have none and stay
// silent): the polling the figures are about begins with the first "C5".
std::size_t firstPoll(const std::vector<Exchange>& log) {
    const auto first = std::find_if(log.begin(), log.end(), [](const Exchange& e) { return e.code == "C5"; });
    return std::size_t(first - log.begin());
}

// The retries and the answers the line lost; each retry after an answer that did come is listed.
// Exchanges before `from` are not counted.
void countFaults(Row& row, const Station& station, const std::vector<Exchange>& log, std::size_t from = 0) {
    row.retries = int(std::count_if(log.begin() + std::ptrdiff_t(std::min(from, log.size())), log.end(),
                                    [](const Exchange& e) { return e.code == "N0"; }));
    row.lost = station.line.lineFaultCounts().answersLost;
    for (std::size_t k = from; k < log.size(); ++k) {
        if (log[k].code != "N0") continue;
        const auto before = std::find_if(log.rbegin() + std::ptrdiff_t(log.size() - k), log.rend(),
                                         [&](const Exchange& e) { return e.reader == log[k].reader; });
        if (before == log.rend() || before->answerBytes == 0) continue;
        row.deliveredRetries << QStringLiteral(
                                    "N0 to reader %1 %2 ms after its %3, whose %4-byte answer came")
                                    .arg(log[k].reader)
                                    .arg(log[k].inMs - before->inMs, 0, 'f', 1)
                                    .arg(QString::fromStdString(before->code))
                                    .arg(before->answerBytes);
    }
}

void checkFile(Row& row, const QString& path, const std::vector<QStringList>& handedOut) {
    row.check = onceInOrder(fileLines(path), handedOut) ? QStringLiteral("yes") : QStringLiteral("NO");
    if (row.lossy && row.lost == 0) row.check = QStringLiteral("no loss");
    row.failed = row.check != QLatin1String("yes");
}

Row runBatch(const Speed& speed, int adapterMs, bool lossy, QuietPrompts& prompts) {
    Station station(speed.rate, adapterMs, lossy);
    const int perReader = lossy ? kLossyRecords : speed.records;
    std::vector<QStringList> stored(kReaders);
    for (int id = 1; id <= kReaders; ++id)
        station.line.withReader(id, [&](sim::Reader& r) {
            r.addRecords(perReader);
            for (const sim::RecordBytes& record : r.records())
                stored[std::size_t(id - 1)] << fileLine(id, record);
        });
    prompts.texts.clear();
    auto* dialog = new TBatch(station.link);
    dialog->show();
    dialog->panel->RadioGroup1Click(1);
    const QString path = dayFile(*dialog, 'B');
    QFile::remove(path);
    dialog->Button1Click();
    delete dialog;

    Row row{QStringLiteral("batch"), speed.bits, adapterMs, lossy, kReaders * perReader};
    const std::vector<Exchange> log = station.exchanges();
    // Each reader from its first "C1" to the "C1" answered "C6".
    for (int id = 1; id <= kReaders; ++id) {
        const auto own = [id](const Exchange& e) { return e.reader == id; };
        const auto first =
            std::find_if(log.begin(), log.end(), [&](const Exchange& e) { return own(e) && e.code == "C1"; });
        const auto last = std::find_if(log.rbegin(), log.rend(),
                                       [&](const Exchange& e) { return own(e) && carriesRecord(e); });
        if (first != log.end() && last != log.rend())
            addPhase(row, station, log, std::size_t(first - log.begin()), std::size_t(log.rend() - last));
    }
    countFaults(row, station, log);
    checkFile(row, path, stored);
    if (row.failed) out << "  boxes: " << prompts.texts.join(QStringLiteral(" | ")) << Qt::endl;
    return row;
}

// Runs TOnline over all readers until `done` holds (or kRunLimitMs has passed), then closes it;
// the path of the day's file, which it began afresh.
QString runOnline(Station& station, const std::function<bool()>& done) {
    auto* dialog = new TOnline(station.link, station.comm);
    dialog->show();
    dialog->panel->RadioGroup1Click(1);
    const QString path = dayFile(*dialog, 'A');
    QFile::remove(path);
    QElapsedTimer clock;
    clock.start();
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        if (!done() && clock.elapsed() < kRunLimitMs) return;
        stopper.stop();
        dialog->Button2->click();
    });
    stopper.start(20);
    dialog->Button1Click();
    delete dialog;
    return path;
}

// From the first "C5" to the request after the one that brought the last punch.
Row runPunches(const Speed& speed, int adapterMs, bool lossy) {
    Station station(speed.rate, adapterMs, lossy);
    const int perReader = lossy ? kLossyPunches : speed.punches;
    std::vector<QStringList> punched(kReaders);
    for (int id = 1; id <= kReaders; ++id)
        station.line.withReader(id, [&](sim::Reader& r) {
            for (int n = 1; n <= perReader; ++n)
                punched[std::size_t(id - 1)]
                    << fileLine(id, r.punch(sim::Punch::generated(id, std::uint32_t(n))));
        });
    const auto allTaken = [&] {
        for (int id = 1; id <= kReaders; ++id)
            if (!station.line.withReader(id, [](sim::Reader& r) { return r.onlineQueue().empty(); }))
                return false;
        return true;
    };
    const QString path = runOnline(station, allTaken);

    Row row{QStringLiteral("online"), speed.bits, adapterMs, lossy, kReaders * perReader};
    const std::vector<Exchange> log = station.exchanges();
    const auto last = std::find_if(log.rbegin(), log.rend(), carriesRecord);
    if (last != log.rend()) addPhase(row, station, log, firstPoll(log), std::size_t(log.rend() - last));
    countFaults(row, station, log, firstPoll(log));
    checkFile(row, path, punched);
    return row;
}

// kIdleRounds rounds of "C5" answered "C7".
Row runIdle(const Speed& speed, int adapterMs) {
    Station station(speed.rate, adapterMs, false);
    const std::size_t visits = kIdleRounds * kReaders;
    runOnline(station, [&] {
        const std::vector<Exchange> log = station.exchanges();
        return log.size() > firstPoll(log) + visits;
    });
    Row row{QStringLiteral("idle"), speed.bits, adapterMs, false, int(visits), false};
    const std::vector<Exchange> log = station.exchanges();
    addPhase(row, station, log, firstPoll(log), firstPoll(log) + visits);
    countFaults(row, station, log, firstPoll(log));
    return row;
}

// The delete of all readers right after a batch of all readers: per reader, the exchanges and
// milliseconds the erase took, when the batch's file holds all the reader has (complete) and
// when kNewPunches punches came since (then beside what a batch pass of those alone takes).
// Readers 1 and 3 hand out every record in each batch, 2 and 4 only what is new.
void benchErase(const Speed& speed) {
    for (const bool complete : {true, false}) {
        Station station(speed.rate, kDefaultAdapterMs, false);
        for (int id = 1; id <= kReaders; ++id)
            station.line.withReader(id, [id, &speed](sim::Reader& r) {
                if (id % 2) r.setBatchCopies(sim::BatchCopies::Whole);
                r.addRecords(speed.records);
            });
        auto* batch = new TBatch(station.link);
        batch->show();
        batch->panel->RadioGroup1Click(1);
        batch->Button1Click();
        delete batch;
        if (!complete)
            for (int id = 1; id <= kReaders; ++id)
                station.line.withReader(id, [id](sim::Reader& r) {
                    for (int n = 0; n < kNewPunches; ++n)
                        r.punch(sim::Punch::generated(id, std::uint32_t(n)));
                });
        const std::size_t from = station.exchanges().size();
        auto* erase = new TPanDel(station.link);
        erase->show();
        erase->panel->RadioGroup1Click(1);
        erase->Button1Click();
        delete erase;
        const std::vector<Exchange> log = station.exchanges();
        for (int id = 1; id <= kReaders; ++id) {
            std::vector<const Exchange*> own;
            for (std::size_t i = from; i < log.size(); ++i)
                if (log[i].reader == id) own.push_back(&log[i]);
            // From its count to the request after its "C3" (the next reader's first).
            const double begin = own.empty() ? 0 : own.front()->inMs;
            double end = begin;
            for (std::size_t i = from; i < log.size(); ++i)
                if (log[i].reader > id) {
                    end = log[i].inMs;
                    break;
                }
            if (id == kReaders && !own.empty()) end = own.back()->inMs;
            out << "erase " << speed.bits << " bit/s, reader " << id
                << (id % 2 ? " (whole copies)" : " (new only)")
                << (complete ? QStringLiteral(", batch complete: ")
                             : QStringLiteral(", %1 punches since: ").arg(kNewPunches))
                << own.size() << " exchanges, " << QString::number(end - begin, 'f', 0) << " ms"
                << (id == kReaders ? " (to its C3 request)" : "") << Qt::endl;
        }
    }
}

// Milliseconds per line written and forced to the disk, as the record sink writes every record.
double fileLineCost() {
    const QString line = QStringLiteral("01-000123 2004 03 15 08 59 30 1 0000012345");
    QFile::remove(QStringLiteral("DATA2/SYNC.TXT"));
    UploadFile file(QStringLiteral(".\\DATA2\\SYNC.TXT"), UploadFile::Mode::Append);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kSyncedLines; ++i) file.writeLine(line);
    file.close();
    return double(clock.nsecsElapsed()) / 1e6 / kSyncedLines;
}

const char* const kLegend[] = {
    "batch and on-line upload on the simulated line: 4 readers, line pacing on,",
    "  reader turn-around 3 ms (the simulator's default), and each reader misses a request that",
    "  comes sooner than 3.5 characters after its answer; the host's link keeps its own defaults",
    "adapter 1 / 16: answers reach the host at the USB adapter model's 1 or 16 ms ticks;",
    "  off: as they come off the wire, which the simulator hands over in 4 ms chunks",
    "loss 1%: the line loses every 100th answer; lost: answers it lost in the whole job",
    "retries: \"N0\" requests the host sent; each after an answer the line delivered is listed",
    "timed: the record phase only, from request to request as the readers took them",
    "  batch: each reader from its first C1 to the C1 answered C6 (A0, C4, C0 and that C1 left out)",
    "  online: from the first C5 to the request after the one that brought the last punch",
    "  idle: 5 rounds of C5 answered C7 over the 4 readers; n = visits, ms each = per visit",
    "floor: the same exchanges by a host that costs nothing, request to request:",
    "  3 ms + last answer byte handed over + 3.5 characters + wire(8)",
    "before: the same at the link's earlier pace, which read an answer 25 ms after its first byte:",
    "  3 ms + max(first answer byte handed over + 25 ms, last answer byte handed over) + wire(8)",
    "  (a floor too: the earlier link itself measured up to 15 % above it)",
    "  a byte is handed over at the adapter's next tick (on its grid from the line's start),",
    "  without it at the end of its 4 ms chunk; a lost answer: 205 ms (first-byte time-out) + wire(8)",
    "host ms: per exchange, how much later the host's next request came than the floor's would",
    "once, in order: the day's file holds every record handed out, once and in each reader's order",
    "target: clean line within 10 % of the floor with no retry, and where a limit is named, ms each",
    "  at most that (batch at 9600 bit/s behind the 16 ms adapter: no slower than the earlier",
    "  pace's floor, within 1 %); lossy: every record once, in order",
};

// The time per record or visit a row must keep to, where one is named; 0 where none is.
double limitMs(const Row& r) {
    if (r.lossy) return 0;
    if (r.upload == QLatin1String("batch") && r.adapterMs == 1 && r.bits == 19200) return 22;
    if (r.upload == QLatin1String("batch") && r.adapterMs == 1 && r.bits == 9600) return 40;
    if (r.upload == QLatin1String("batch") && r.adapterMs == 16 && r.bits == 9600)
        return 1.01 * r.beforeMs / r.items;
    if (r.upload == QLatin1String("idle") && r.adapterMs == 1 && r.bits == 9600) return 25;
    return 0;
}

void printLegend() {
    for (const char* line : kLegend) out << line << Qt::endl;
    out << Qt::endl;
    out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10 %11 %12 %13 %14 %15 %16 %17")
               .arg(QStringLiteral("upload"), -6)
               .arg(QStringLiteral("bit/s"), 5)
               .arg(QStringLiteral("adapter"), 7)
               .arg(QStringLiteral("loss"), 4)
               .arg(QStringLiteral("n"), 4)
               .arg(QStringLiteral("time s"), 7)
               .arg(QStringLiteral("ms each"), 7)
               .arg(QStringLiteral("floor ms"), 8)
               .arg(QStringLiteral("before ms"), 9)
               .arg(QStringLiteral("host ms"), 7)
               .arg(QStringLiteral("rec/s"), 6)
               .arg(QStringLiteral("floor rec/s"), 11)
               .arg(QStringLiteral("ratio"), 6)
               .arg(QStringLiteral("retries"), 7)
               .arg(QStringLiteral("lost"), 4)
               .arg(QStringLiteral("once, in order"), 14)
               .arg(QStringLiteral("target"), 12)
        << Qt::endl;
}

void printRow(const Row& r) {
    const double ratio = r.ms / r.floorMs;
    const double each = r.ms / r.items;
    const double limit = limitMs(r);
    const bool met =
        r.lossy ? !r.failed : ratio <= 1.10 && r.retries == 0 && !r.failed && (limit == 0 || each <= limit);
    const auto perSecond = [&](double ms) {
        return r.records ? QString::number(r.items * 1000.0 / ms, 'f', 2) : QStringLiteral("-");
    };
    const QString target = (limit > 0 ? QStringLiteral("<=%1 ").arg(limit, 0, 'f', 1) : QString()) +
                           (met ? QStringLiteral("met") : QStringLiteral("MISSED"));
    out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10 %11 %12 %13 %14 %15 %16 %17")
               .arg(r.upload, -6)
               .arg(r.bits, 5)
               .arg(r.adapterMs ? QString::number(r.adapterMs) : QStringLiteral("off"), 7)
               .arg(r.lossy ? QStringLiteral("1%") : QStringLiteral("0"), 4)
               .arg(r.items, 4)
               .arg(r.ms / 1000.0, 7, 'f', 2)
               .arg(each, 7, 'f', 1)
               .arg(r.floorMs / r.items, 8, 'f', 1)
               .arg(r.beforeMs / r.items, 9, 'f', 1)
               .arg(r.hostMs / r.exchanges, 7, 'f', 2)
               .arg(perSecond(r.ms), 6)
               .arg(perSecond(r.floorMs), 11)
               .arg(ratio, 6, 'f', 3)
               .arg(r.retries, 7)
               .arg(r.lost, 4)
               .arg(r.check, 14)
               .arg(target, 12)
        << Qt::endl;
    for (const QString& retry : r.deliveredRetries) out << "  " << retry << Qt::endl;
}

void benchSync() {
    out << "one file line in " << QDir::currentPath() << ": "
        << QString::number(fileLineCost() * 1000.0, 'f', 1) << " us written and forced to the disk"
        << Qt::endl;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList parts = app.arguments().mid(1);
    const bool quick = parts.removeAll(QStringLiteral("--quick")) > 0;
    if (parts.isEmpty()) parts = QStringList{"batch", "online", "erase", "sync"};
    for (const QString& part : parts)
        if (part != QLatin1String("batch") && part != QLatin1String("online") &&
            part != QLatin1String("erase") && part != QLatin1String("sync")) {
            out << "unknown part " << part << "; the parts are batch, online, erase and sync, and --quick"
                << Qt::endl;
            return 2;
        }
    QuietPrompts prompts;
    installPrompts(&prompts);
    QTemporaryDir work(QDir::current().filePath(QStringLiteral("qrx-bench-XXXXXX")));
    if (!work.isValid() || !QDir::setCurrent(work.path()) || !QDir().mkdir(QStringLiteral("DATA2"))) {
        out << "cannot make a working directory under " << QDir::currentPath() << Qt::endl;
        return 1;
    }
    std::vector<Speed> speeds(std::begin(kSpeeds), std::end(kSpeeds));
    if (quick) speeds.erase(speeds.begin(), speeds.end() - 2);

    bool ok = true;
    using Run = std::function<Row(const Speed&, int adapterMs, bool lossy)>;
    const auto runRows = [&](const Run& run, bool withLoss) {
        for (bool lossy : {false, true})
            for (const Speed& speed : speeds)
                for (int adapterMs : kAdapters) {
                    if (lossy && !withLoss) return;
                    const Row row = run(speed, adapterMs, lossy);
                    printRow(row);
                    ok = ok && !row.failed;
                }
    };
    QElapsedTimer clock;
    clock.start();
    const bool batch = parts.contains(QLatin1String("batch"));
    const bool online = parts.contains(QLatin1String("online"));
    if (batch || online) printLegend();
    if (batch)
        runRows(
            [&](const Speed& s, int adapterMs, bool lossy) { return runBatch(s, adapterMs, lossy, prompts); },
            true);
    if (online) {
        runRows(runPunches, true);
        runRows([](const Speed& s, int adapterMs, bool) { return runIdle(s, adapterMs); }, false);
    }
    if (batch || online)
        out << Qt::endl
            << "uploads took " << QString::number(clock.elapsed() / 1000.0, 'f', 0) << " s" << Qt::endl;
    if (parts.contains(QLatin1String("erase")))
        for (const Speed& speed : speeds)
            if (speed.bits == 1200 || speed.bits == 9600) benchErase(speed);
    if (parts.contains(QLatin1String("sync"))) benchSync();
    return ok ? 0 : 1;
}
