// qrx-bench: how close the uploads come to what the line and the exchange's fixed waits allow.
//
// Batch: 2,000 records from 4 simulated readers through the real TBatch dialog at 9600 and at
// 19200 bit/s, line pacing on, timed from 실행 to the completion box. On-line: the cycle time
// of TOnline over 12 idle readers. Each is printed beside its floor, the time the exchange
// cannot beat even with a host that costs nothing: the bytes on the wire (10 bits a byte) and
// the fixed waits. The simulated readers answer without turn-around, so everything above the
// floor is the host's (and the pseudo-terminal's) own time. Also prints what forcing each
// on-line record to the disk costs on the file system of the working directory.
//
// Run from a directory on the disk the program would write to:
//     ./bench/qrx-bench [batch] [online] [sync]      (all three when none is named)
#include "CommInt.h"
#include "FBatch.h"
#include "FOnline.h"
#include "HostPaths.h"
#include "Prompts.h"
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
#include <QThread>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <mutex>
#include <vector>

namespace {

constexpr int kReaders = 4;
constexpr int kRecordsPerReader = 500;
constexpr int kOnlineReaders = 12;
constexpr int kOnlineCycles = 10;
constexpr int kSyncedLines = 200;

// The exchange's fixed figures.
constexpr int kRequestBytes = 8;       // every request without data
constexpr int kRecordAnswerBytes = 24; // "C1"/"C5" answer: L = 19, L + 5 bytes
constexpr int kShortAnswerBytes = 8;   // "C6"/"C7"
constexpr int kPollRoundMs = 5;        // AwaitInput looks for input every 5 ms
constexpr int kSettleMs = 25;          // and waits 25 ms more once some arrived, at least the
constexpr int kSettleMarginMs = 3;     // rest of a record answer's wire time + 3 ms
constexpr int kPollWaitMs = 100;       // "A0" of the reader poll
constexpr int kCountWaitMs = 60;       // "C4" in all-readers mode
constexpr int kStartWaitMs = 100;      // "C0"

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

double byteMs(int bitsPerSecond) {
    return 10.0 * 1000.0 / bitsPerSecond;
}

// One request and the answer read after AwaitInput: the answer's first byte lands one byte time
// after the request has left, AwaitInput sees it at the next 5 ms round and waits the settle
// time; the whole answer must be in by then.
double exchangeFloorMs(int bitsPerSecond, int answerBytes) {
    const double firstByte = (kRequestBytes + 1) * byteMs(bitsPerSecond);
    const double seen = std::ceil(firstByte / kPollRoundMs) * kPollRoundMs;
    const double rest = std::ceil((kRecordAnswerBytes - 1) * byteMs(bitsPerSecond)) + kSettleMarginMs;
    return std::max(seen + std::max<double>(kSettleMs, rest),
                    (kRequestBytes + answerBytes) * byteMs(bitsPerSecond));
}

// The simulated line with the host's port, link and main timer on it.
struct Station {
    Station(int readers, TBaudrate rate) : line(readers), link(comm, qtLinkEnv()), timer(link) {
        line.setPacing(true);
        line.setTurnaroundMs(0);
        comm.setDeviceName(line.devicePath());
        comm.setBaudRate(rate);
        comm.Open();
        link.ReaderCount = readers;
        link.timing().follow(comm);
        timer.followLine(link.timing());
        timer.start();
    }
    ~Station() { comm.Close(); }
    sim::SimLine line;
    TComm comm;
    ReaderLink link;
    TickTimer timer;
};

struct BatchResult {
    double seconds = 0;
    int lines = 0;
    QStringList boxes;
};

BatchResult runBatch(TBaudrate rate, QuietPrompts& prompts) {
    Station station(kReaders, rate);
    for (int id = 1; id <= kReaders; ++id)
        station.line.withReader(id, [](sim::Reader& r) { r.addRecords(kRecordsPerReader); });
    prompts.texts.clear();
    auto* dialog = new TBatch(station.link);
    dialog->show();
    dialog->panel->RadioGroup1Click(1);
    QElapsedTimer clock;
    clock.start();
    dialog->Button1Click();
    BatchResult result;
    result.seconds = double(clock.nsecsElapsed()) / 1e9;
    result.boxes = prompts.texts;
    const ClockSnapshot day = dialog->clock->clock;
    QFile file(hostPath(UploadFileName('B', day.year, day.month, day.day)));
    if (file.open(QIODevice::ReadOnly)) result.lines = int(file.readAll().count("\r\n"));
    delete dialog;
    return result;
}

// Milliseconds between the first and the last of kOnlineCycles + 1 polls of reader 1.
double runOnlineCycles(TBaudrate rate) {
    using Clock = std::chrono::steady_clock;
    std::mutex mutex;
    std::vector<Clock::time_point> polls;
    // Made after what its observer uses, so that its service thread ends first.
    Station station(kOnlineReaders, rate);
    station.line.setObserver([&](const sim::LineEvent& e) {
        if (e.id != 1 || e.code != "C5") return;
        std::lock_guard<std::mutex> lock(mutex);
        polls.push_back(Clock::now());
    });
    auto* dialog = new TOnline(station.link, station.comm);
    dialog->show();
    dialog->panel->RadioGroup1Click(1);
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        std::lock_guard<std::mutex> lock(mutex);
        if (polls.size() <= std::size_t(kOnlineCycles)) return;
        stopper.stop();
        dialog->Button2->click();
    });
    stopper.start(20);
    dialog->Button1Click();
    station.line.setObserver({});
    std::lock_guard<std::mutex> lock(mutex);
    if (polls.size() <= std::size_t(kOnlineCycles)) return -1;
    return std::chrono::duration<double, std::milli>(polls[kOnlineCycles] - polls[0]).count() / kOnlineCycles;
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

struct Speed {
    TBaudrate rate;
    int bits;
};
const Speed kSpeeds[] = {{br9600, 9600}, {br19200, 19200}};

bool benchBatch(QuietPrompts& prompts) {
    const int records = kReaders * kRecordsPerReader;
    out << "batch upload of " << records << " records from " << kReaders
        << " simulated readers, line pacing on, readers without turn-around" << Qt::endl
        << "  floor per record: 5 ms rounds until the answer's first byte is in (request 8 bytes + 1)"
        << " + settle (25 ms, at least the answer's wire time + 3 ms);" << Qt::endl
        << "  per reader: A0 100 ms, C4 60 ms, C0 100 ms and the closing C1/C6 exchange" << Qt::endl
        << "  wire-only: request 8 + answer 24 bytes of 10 bits, nothing else" << Qt::endl
        << Qt::endl;
    out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
               .arg(QStringLiteral("bit/s"), 6)
               .arg(QStringLiteral("lines"), 6)
               .arg(QStringLiteral("time s"), 8)
               .arg(QStringLiteral("rec/s"), 7)
               .arg(QStringLiteral("floor rec/s"), 12)
               .arg(QStringLiteral("wire-only rec/s"), 16)
               .arg(QStringLiteral("time/floor"), 11)
        << Qt::endl;
    bool ok = true;
    for (const Speed& speed : kSpeeds) {
        const BatchResult r = runBatch(speed.rate, prompts);
        const double recordFloor = exchangeFloorMs(speed.bits, kRecordAnswerBytes);
        const double floorMs =
            records * recordFloor + kReaders * (kPollWaitMs + kCountWaitMs + kStartWaitMs +
                                                exchangeFloorMs(speed.bits, kShortAnswerBytes));
        const double wireOnly = 1000.0 / ((kRequestBytes + kRecordAnswerBytes) * byteMs(speed.bits));
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                   .arg(speed.bits, 6)
                   .arg(r.lines, 6)
                   .arg(r.seconds, 8, 'f', 2)
                   .arg(records / r.seconds, 7, 'f', 2)
                   .arg(records / (floorMs / 1000.0), 12, 'f', 2)
                   .arg(wireOnly, 16, 'f', 2)
                   .arg(r.seconds * 1000.0 / floorMs, 11, 'f', 3)
            << Qt::endl;
        if (r.lines != records) {
            out << "  " << r.lines << " lines; boxes: " << r.boxes.join(QStringLiteral(" | ")) << Qt::endl;
            ok = false;
        }
    }
    return ok;
}

bool benchOnline() {
    out << "on-line cycle over " << kOnlineReaders << " idle readers (\"C5\" answered \"C7\"), mean of "
        << kOnlineCycles << " cycles" << Qt::endl
        << "  floor per visit: 5 ms rounds until the answer's first byte is in + settle (as for the batch)"
        << Qt::endl
        << Qt::endl;
    out << QStringLiteral("%1 %2 %3 %4")
               .arg(QStringLiteral("bit/s"), 6)
               .arg(QStringLiteral("cycle ms"), 9)
               .arg(QStringLiteral("floor ms"), 9)
               .arg(QStringLiteral("cycle/floor"), 12)
        << Qt::endl;
    bool ok = true;
    for (const Speed& speed : kSpeeds) {
        const double cycle = runOnlineCycles(speed.rate);
        const double floorMs = kOnlineReaders * exchangeFloorMs(speed.bits, kShortAnswerBytes);
        out << QStringLiteral("%1 %2 %3 %4")
                   .arg(speed.bits, 6)
                   .arg(cycle, 9, 'f', 1)
                   .arg(floorMs, 9, 'f', 1)
                   .arg(cycle / floorMs, 12, 'f', 3)
            << Qt::endl;
        ok = ok && cycle > 0;
    }
    return ok;
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
    if (parts.isEmpty()) parts = QStringList{"batch", "online", "sync"};
    QuietPrompts prompts;
    installPrompts(&prompts);
    QTemporaryDir work(QDir::current().filePath(QStringLiteral("qrx-bench-XXXXXX")));
    if (!work.isValid() || !QDir::setCurrent(work.path()) || !QDir().mkdir(QStringLiteral("DATA2"))) {
        out << "cannot make a working directory under " << QDir::currentPath() << Qt::endl;
        return 1;
    }
    bool ok = true;
    for (const QString& part : parts) {
        out << "qrx-bench " << part << Qt::endl;
        if (part == QLatin1String("batch"))
            ok = benchBatch(prompts) && ok;
        else if (part == QLatin1String("online"))
            ok = benchOnline() && ok;
        else if (part == QLatin1String("sync"))
            benchSync();
        else
            out << "unknown part; the parts are batch, online and sync" << Qt::endl;
        out << Qt::endl;
    }
    return ok ? 0 : 1;
}
