// The serial port component against a pseudo-terminal: opening, settings as the terminal sees
// them, transfers, line events and their hand-over to the UI thread, port names; and the wait for
// output to leave, on a line and clock of the test's making (a pseudo-terminal never holds output).
#include "CommInt.h"
#include "CommPlatform.h"
#include "CommTermios.h"
#include "PseudoTerminal.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QThread>
#include <QtTest>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <functional>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace {

// The message of the ECommError that action raises, or "no error".
QString raised(const std::function<void()>& action, int* code = nullptr, bool* lost = nullptr) {
    try {
        action();
    } catch (const ECommError& e) {
        if (code) *code = e.ErrorCode;
        if (lost) *lost = isLineLost(e);
        return QString::fromStdString(e.what());
    }
    return "no error";
}

// A line whose output queue empties at one byte per byteTime (or not at all while held), and
// whose queue fails with error from failAt on; time passes only when the drain sleeps.
struct DrainingLine {
    using us = std::chrono::microseconds;
    int queued;
    us byteTime; // what the line really takes, which need not be what the drain is told
    bool held;
    int error;
    us failAt;
    us now{0};
    int looks = 0;

    int outputQueue(int& count) {
        // Ends a drain that never sleeps instead of hanging the test.
        if (++looks > 100000) return ELOOP;
        if (error && now >= failAt) return error;
        count = held ? queued : std::max(0, queued - int(now / byteTime));
        return 0;
    }
    std::chrono::steady_clock::time_point at(us t) const {
        return std::chrono::steady_clock::time_point() + t;
    }
};

// CPU the whole process burns while the UI thread idles in its event loop for ms.
qint64 cpuWhileIdle(int ms) {
    const auto cpuMs = [] {
        timespec ts;
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
    };
    const qint64 before = cpuMs();
    QTest::qWait(ms);
    return cpuMs() - before;
}

// The threads this process runs.
int threadCount() {
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// A port that lets the test call the UI-thread side of an event directly.
class ProbeComm : public TComm {
public:
    using TCustomComm::HandleEvent;
};

// A fresh temporary working directory for a test, restored afterwards.
class WorkingDir {
public:
    WorkingDir() : previous_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }
    ~WorkingDir() { QDir::setCurrent(previous_); }

private:
    QTemporaryDir dir_;
    QString previous_;
};

const QString kAlreadyOpen = "Port already assigned (open) (Error: -1) ";
const QString kRefusedSettings = "Error updating DataControlBlock (Error: 22) ";

} // namespace

class SerialTest : public QObject {
    Q_OBJECT

    std::unique_ptr<PseudoTerminal> line;
    std::unique_ptr<ProbeComm> comm;

private slots:
    void init() {
        line = std::make_unique<PseudoTerminal>();
        QVERIFY(line->isValid());
        comm = std::make_unique<ProbeComm>();
        comm->setDeviceName(line->slavePath());
    }

    void cleanup() {
        comm.reset();
        line.reset();
    }

    // --- opening and closing ---

    // "com1" reaches the device through the COM1 link in the working directory.
    void openAndClose() {
        WorkingDir dir;
        QCOMPARE(symlink(line->slavePath().c_str(), "COM1"), 0);
        comm->setDeviceName("com1");
        comm->Open();
        QVERIFY(comm->isOpen());
        comm->Close();
        QVERIFY(!comm->isOpen());
        comm->Close();
        comm->Open();
        QVERIFY(comm->isOpen());
    }

    void openTwiceRaises() {
        comm->Open();
        int code = 0;
        QCOMPARE(raised([&] { comm->Open(); }, &code), kAlreadyOpen);
        QCOMPARE(code, -1);
        QVERIFY(comm->isOpen());
    }

    void openFailures_data() {
        QTest::addColumn<QString>("device"); // "pty" for the test's line, "busy" for it held by another
        QTest::addColumn<int>("readBufSize");
        QTest::addColumn<int>("baud");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("code");
        const auto row = [](const char* name, const char* device, int bufSize, TBaudrate baud,
                            const char* text, int code) {
            QTest::newRow(name) << device << bufSize << int(baud)
                                << QString("%1 (Error: %2) ").arg(text).arg(code) << code;
        };
        // The holder's exclusive flag keeps out every open but root's, which then meets its lock.
        const int busy = geteuid() == 0 ? EWOULDBLOCK : EBUSY;
        row("missing device", "missing", 4096, br9600, "Error accessing specified device", ENOENT);
        row("unusable device", "locked", 4096, br9600, "Error accessing specified device", EIO);
        row("busy", "busy", 4096, br9600, "Error accessing specified device", busy);
        row("regular file", "file", 4096, br9600, "Invalid device handle, access denied", -1);
        row("no terminal", "/dev/null", 4096, br9600, "Error updating CommTimeouts", ENOTTY);
        row("refused speed", "pty", 4096, br14400, "Error updating DataControlBlock", EINVAL);
        row("no input queue", "pty", 0, br9600, "Error initializing Read/Write Buffers", EINVAL);
    }

    // A failed open leaves the port closed, whatever step failed: no event thread runs, and the
    // device is free for the next open, its lock and exclusive flag released.
    void openFailures() {
        QFETCH(QString, device);
        QFETCH(int, readBufSize);
        QFETCH(int, baud);
        QFETCH(QString, message);
        QFETCH(int, code);
        QTemporaryDir dir;
        QTemporaryFile file;
        QVERIFY(file.open());
        PseudoTerminal locked(PseudoTerminal::Locked);
        QVERIFY(locked.isValid());
        TComm holder;
        holder.setDeviceName(line->slavePath());
        if (device == "busy") holder.Open();
        const QString path = device == "missing"      ? dir.filePath("ttyQRX")
                             : device == "file"       ? file.fileName()
                             : device == "locked"     ? QString::fromStdString(locked.slavePath())
                             : device.startsWith('/') ? device
                                                      : QString::fromStdString(line->slavePath());
        comm->setDeviceName(path.toStdString());
        comm->setReadBufSize(readBufSize);
        comm->setBaudRate(TBaudrate(baud));
        const int threadsBefore = threadCount();
        int got = 0;
        bool lost = true;
        QCOMPARE(raised([&] { comm->Open(); }, &got, &lost), message);
        QCOMPARE(got, code);
        QVERIFY2(!lost, "a failed open counts as a lost line");
        QVERIFY2(!comm->isOpen(), "a failed open left the port open");
        QCOMPARE(comm->InQueueCount(), -1);
        QCOMPARE(threadCount(), threadsBefore);
        if (device != "pty") return;
        const int probe = ::open(line->slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        QVERIFY(probe >= 0);
        int exclusive = -1;
        QCOMPARE(ioctl(probe, TIOCGEXCL, &exclusive), 0);
        ::close(probe);
        QCOMPARE(exclusive, 0);
        TComm next;
        next.setDeviceName(line->slavePath());
        QCOMPARE(raised([&] { next.Open(); }), QString("no error"));
    }

    // The flag belongs to the terminal and would outlive the port while the far end holds the
    // terminal, keeping the next program out.
    void exclusiveWhileOpen() {
        const int probe = ::open(line->slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        QVERIFY(probe >= 0);
        const auto closeProbe = qScopeGuard([probe] { ::close(probe); });
        const auto exclusive = [probe] {
            int on = -1;
            return ioctl(probe, TIOCGEXCL, &on) == 0 ? on : -1;
        };
        QCOMPARE(exclusive(), 0);
        comm->Open();
        QCOMPARE(exclusive(), 1);
        TComm second;
        second.setDeviceName(line->slavePath());
        QVERIFY(raised([&] { second.Open(); }) != "no error");
        QCOMPARE(exclusive(), 1); // the port that was refused leaves the holder's flag alone
        comm->Close();
        QCOMPARE(exclusive(), 0);
    }

    // --- settings ---

    // A different value while open is refused and not stored; the same value is accepted.
    void closedOnlySettings() {
        comm->Open();
        const std::function<void(bool)> setters[] = {
            [&](bool other) { comm->setDeviceName(other ? "/dev/ttyS3" : comm->DeviceName()); },
            [&](bool other) { comm->setMonitorEvents(other ? eventBit(evRxChar) : comm->MonitorEvents()); },
            [&](bool other) { comm->setReadBufSize(other ? 100 : comm->ReadBufSize()); },
            [&](bool other) { comm->setWriteBufSize(other ? 100 : comm->WriteBufSize()); }};
        for (const auto& set : setters) {
            QCOMPARE(raised([&] { set(false); }), QString("no error"));
            int code = 0;
            QCOMPARE(raised([&] { set(true); }, &code), kAlreadyOpen);
            QCOMPARE(code, -1);
        }
        QCOMPARE(comm->DeviceName(), line->slavePath());
        QVERIFY(comm->ReadBufSize() != 100 && comm->WriteBufSize() != 100);
        QVERIFY(comm->isOpen());
    }

    void lineSettingsReachTerminal_data() {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("databits");
        QTest::addColumn<int>("stopbits");
        QTest::addColumn<uint>("speed");
        QTest::addColumn<uint>("framing");
        const auto row = [](const char* name, TBaudrate b, TParity p, TDatabits d, TStopbits s, speed_t speed,
                            tcflag_t framing) {
            QTest::newRow(name) << int(b) << int(p) << int(d) << int(s) << uint(speed) << uint(framing);
        };
        row("1200 8N1", br1200, paNone, da8, sb10, B1200, CS8);
        row("9600 7E2", br9600, paEven, da7, sb20, B9600, CS7 | PARENB | CSTOPB);
        row("19200 8O2", br19200, paOdd, da8, sb20, B19200, CS8 | PARENB | PARODD | CSTOPB);
        row("110 5N1.5", br110, paNone, da5, sb15, B110, CS5 | CSTOPB);
        row("38400 6 mark 1", br38400, paMark, da6, sb10, B38400, CS6 | PARENB | PARODD | CMSPAR);
        row("115200 8 space 2", br115200, paSpace, da8, sb20, B115200, CS8 | PARENB | CMSPAR | CSTOPB);
    }

    // Settings made while closed are applied by Open, settings made while open at once. A
    // pseudo-terminal keeps the speed, the stop bits and the parity kind but always reads back
    // 8 bits without parity, so the full framing is checked on the translation of the block.
    void lineSettingsReachTerminal() {
        QFETCH(int, baud);
        QFETCH(int, parity);
        QFETCH(int, databits);
        QFETCH(int, stopbits);
        QFETCH(uint, speed);
        QFETCH(uint, framing);
        const auto apply = [&](int b, int p, int d, int s) {
            comm->setBaudRate(TBaudrate(b));
            comm->setParity(TParity(p));
            comm->setDatabits(TDatabits(d));
            comm->setStopbits(TStopbits(s));
        };
        const auto reached = [&](speed_t wantSpeed, tcflag_t wantFraming) {
            const tcflag_t kept = PARODD | CMSPAR | CSTOPB;
            const termios tio = line->settings();
            return cfgetospeed(&tio) == wantSpeed && (tio.c_cflag & kept) == (wantFraming & kept);
        };
        apply(baud, parity, databits, stopbits);
        comm->Open();
        QVERIFY(reached(speed, framing));
        termios tio = line->settings();
        QCOMPARE(termiosFromBlock(comm->DeviceControlBlock(), tio), 0);
        QCOMPARE(uint(tio.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB)), framing);
        apply(br9600, paNone, da8, sb10);
        QVERIFY(reached(B9600, CS8));
    }

    // The terminal keeps its settings rather than taking something else.
    void unsupportedSpeedRefused() {
        comm->Open();
        int code = 0;
        QCOMPARE(raised([&] { comm->setBaudRate(br56000); }, &code), kRefusedSettings);
        QCOMPARE(code, EINVAL);
        const termios tio = line->settings();
        QCOMPARE(uint(cfgetospeed(&tio)), uint(B9600));
    }

    void flagWord_data() {
        QTest::addColumn<bool>("leftOn"); // an earlier program left crtscts ixon ixoff ixany on
        QTest::addColumn<int>("openFlow");
        QTest::addColumn<int>("laterFlow"); // set while open
        QTest::addColumn<int>("options");
        QTest::addColumn<uint>("flags");
        QTest::addColumn<bool>("refused");
        // CRTSCTS, INPCK, IXON, IXOFF, IXANY as the terminal then holds them.
        QTest::addColumn<uint>("terminal");
        const int all = optionBit(coParityCheck) | optionBit(coDsrSensitivity) | optionBit(coIgnoreXOff) |
                        optionBit(coErrorChar) | optionBit(coNullStrip);
        const int parityAndXoff = optionBit(coParityCheck) | optionBit(coIgnoreXOff);
        const auto row = [](const char* name, bool leftOn, TFlowControl open, TFlowControl later, int options,
                            uint flags, bool refused, tcflag_t terminal) {
            QTest::newRow(name) << leftOn << int(open) << int(later) << options << flags << refused
                                << uint(terminal);
        };
        row("none", true, fcNone, fcNone, 0, 0x0001, false, 0);
        row("default opens without flow control", true, fcDefault, fcDefault, 0, 0x0001, false, 0);
        row("CTS", true, fcCTS, fcCTS, 0, 0x2005, false, CRTSCTS);
        row("software, parity check, ignore XOFF", true, fcSoftware, fcSoftware, parityAndXoff, 0x0383, false,
            INPCK | IXON | IXOFF);
        row("software added to CTS", false, fcCTS, fcSoftware, parityAndXoff, 0x2387, false,
            CRTSCTS | INPCK | IXON | IXOFF);
        row("none after software", false, fcSoftware, fcNone, 0, 0x0001, false, 0);
        row("DTR", false, fcDTR, fcDTR, 0, 0x0029, true, 0);
        row("CTS and every option", false, fcCTS, fcCTS, all, 0x2CC7, true, 0);
    }

    // fcNone replaces the word read from the line, the other kinds add to it. The block keeps the
    // word even when the terminal refuses it.
    void flagWord() {
        QFETCH(bool, leftOn);
        QFETCH(int, openFlow);
        QFETCH(int, laterFlow);
        QFETCH(int, options);
        QFETCH(uint, flags);
        QFETCH(bool, refused);
        QFETCH(uint, terminal);
        termios tio = line->settings();
        if (leftOn) {
            tio.c_cflag |= CRTSCTS;
            tio.c_iflag |= IXON | IXOFF | IXANY;
        }
        line->setSettings(tio);
        comm->setFlowControl(TFlowControl(openFlow));
        comm->setOptions(TCommOptions(options));
        QCOMPARE(raised([&] { comm->Open(); }), refused ? kRefusedSettings : QString("no error"));
        comm->setFlowControl(TFlowControl(laterFlow));
        QCOMPARE(comm->DeviceControlBlock().Flags, flags);
        if (refused) return;
        tio = line->settings();
        QCOMPARE(uint((tio.c_cflag & CRTSCTS) | (tio.c_iflag & (INPCK | IXON | IXOFF | IXANY))), terminal);
    }

    void eventCharsAndLimitsReachBlock() {
        comm->setReadBufSize(1000);
        comm->Open();
        const TDeviceControlBlock& dcb = comm->DeviceControlBlock();
        QCOMPARE(int(dcb.XonLim), 250);
        QCOMPARE(int(dcb.XoffLim), 250);
        TCommEventChars other(nullptr);
        other.setXonChar('A');
        other.setXoffChar('B');
        other.setErrorChar('C');
        other.setEofChar('D');
        other.setEvtChar('E');
        comm->EventChars().Assign(other);
        const char chars[] = {dcb.XonChar, dcb.XoffChar, dcb.ErrorChar, dcb.EofChar, dcb.EvtChar};
        QCOMPARE(QByteArray(chars, 5), QByteArray("ABCDE"));
        QCOMPARE(int(line->settings().c_cc[VSTART]), int('A'));
        QCOMPARE(int(line->settings().c_cc[VSTOP]), int('B'));
    }

    // --- transfers ---

    // Read takes what has arrived without waiting for its time-out.
    void readAndQueueCount() {
        QCOMPARE(comm->InQueueCount(), -1);
        comm->ReadTimeout = 5000;
        comm->Open();
        char buffer[16] = {};
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(comm->Read(buffer, sizeof buffer), 0);
        QVERIFY2(timer.elapsed() < 2500, "Read waited for its time-out");
        QVERIFY(line->send("\x02!aP#\x03"));
        QTRY_COMPARE(comm->InQueueCount(), 6); // the count lags the far end's write
        QCOMPARE(comm->Read(buffer, 2), 2);
        QCOMPARE(comm->InQueueCount(), 4);
        QCOMPARE(comm->Read(buffer + 2, sizeof buffer - 2), 4);
        QCOMPARE(QByteArray(buffer), QByteArray("\x02!aP#\x03"));
        QVERIFY2(timer.elapsed() < 2500, "Read waited for its time-out");
        QVERIFY(line->send("stale answer"));
        QTRY_COMPARE(comm->InQueueCount(), 12);
        comm->Close();
        QCOMPARE(comm->InQueueCount(), -1);
        comm->Open();
        QCOMPARE(comm->InQueueCount(), 0); // Close dropped what was left unread
    }

    // A line that takes nothing is a time-out, not an error, and the write is cancelled: of what
    // the kernel had taken, only what already sits in the far end's own buffer (4 KiB on Linux)
    // may still arrive, and the next write follows right after it. A pseudo-terminal takes 20 KiB
    // before it is full; 24 KiB take 2.1 s at 115200 bit/s, so the write gives up after 4.4 s.
    void writeTimesOutOnFullLine() {
        comm->WriteTimeout = 100;
        comm->setBaudRate(br115200);
        comm->Open();
        const QByteArray big(24 << 10, 'x');
        QCOMPARE(comm->Write(big.constData(), int(big.size())), -1);
        QVERIFY(comm->isOpen());
        QCOMPARE(comm->Write("A0", 2), 2);
        QByteArray got;
        QTRY_VERIFY((got += line->receive()).endsWith("A0"));
        QVERIFY2(got.size() - 2 <= 4096,
                 qPrintable(QString("%1 bytes of the cancelled write").arg(got.size() - 2)));
    }

    // A write may take twice its bytes' time on the wire at the speed set, plus 100 ms, when that
    // is longer than WriteTimeout (1 s): a long frame on a slow line is never cut. The far end
    // holds the line with XOFF and lets it go after releaseMs (never when -1).
    void writeDeadlineFollowsWireTime_data() {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<int>("releaseMs");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("minMs");
        const auto row = [](const char* name, TBaudrate baud, int bytes, int releaseMs, int result,
                            int minMs) {
            QTest::newRow(name) << int(baud) << bytes << releaseMs << result << minMs;
        };
        // 200 bytes of 10 bits take 1667 ms at 1200 bit/s.
        row("1200 bit/s, 200 bytes let go after their wire time", br1200, 200, 1700, 200, 1700);
        row("1200 bit/s, 200 bytes held: cut at twice their wire time", br1200, 200, -1, -1, 2 * 1667 + 100);
        row("9600 bit/s, 20 bytes held: cut at WriteTimeout", br9600, 20, -1, -1, 1000);
    }

    void writeDeadlineFollowsWireTime() {
        QFETCH(int, baud);
        QFETCH(int, bytes);
        QFETCH(int, releaseMs);
        QFETCH(int, result);
        QFETCH(int, minMs);
        comm->setBaudRate(TBaudrate(baud));
        comm->setFlowControl(fcSoftware);
        comm->Open();
        QVERIFY(line->send("\x13"));
        QThread::msleep(100); // the terminal takes the XOFF in on its own time
        std::thread release;
        if (releaseMs >= 0)
            release = std::thread([this, releaseMs] {
                QThread::msleep(ulong(releaseMs));
                line->send("\x11");
            });
        const QByteArray frame(bytes, 'x');
        QElapsedTimer timer;
        timer.start();
        const int written = comm->Write(frame.constData(), int(frame.size()));
        const qint64 tookMs = timer.elapsed();
        if (release.joinable()) release.join();
        QCOMPARE(written, result);
        QVERIFY2(tookMs >= minMs - 5 && tookMs <= 3 * minMs + 500, qPrintable(QString("%1 ms").arg(tookMs)));
        QByteArray got;
        if (result > 0) QTRY_COMPARE(got += line->receive(), frame);
    }

    // What a pulled USB adapter's driver gives before the hang-up reaches the terminal, and what
    // the open of a vanished device gives; no pseudo-terminal produces either.
    void lostLineFromAdapter_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("lost");
        QTest::newRow("write, adapter gone") << "Write error" << ENODEV << true;
        QTest::newRow("read, adapter gone") << "Read error" << ENODEV << true;
        QTest::newRow("open, adapter gone") << "Error accessing specified device" << ENODEV << false;
        QTest::newRow("open, no such port") << "Error accessing specified device" << ENXIO << false;
    }

    void lostLineFromAdapter() {
        QFETCH(QString, text);
        QFETCH(int, code);
        QFETCH(bool, lost);
        QCOMPARE(isLineLost(ECommError(text.toStdString(), code)), lost);
    }

    void closedPortRefusesTransfers() {
        comm->Open();
        comm->Close();
        char buffer[4] = {};
        int code = 0;
        bool lost = true;
        QCOMPARE(raised([&] { comm->Read(buffer, 1); }, &code, &lost), "Read error (Error: 9) ");
        QCOMPARE(code, EBADF);
        QVERIFY(!lost);
        lost = true;
        QCOMPARE(raised([&] { comm->Write(buffer, 1); }, &code, &lost), "Write error (Error: 9) ");
        QCOMPARE(code, EBADF);
        QVERIFY(!lost);
    }

    // --- line events ---

    void handleEventCallsHandlersInOrder() {
        QStringList seen;
        const auto note = [&seen](const char* name) { return [&seen, name](TCustomComm*) { seen << name; }; };
        comm->OnBreak = note("Break");
        comm->OnCts = note("Cts");
        comm->OnDsr = note("Dsr");
        comm->OnError = [&](TCustomComm*, int errors) { seen << QString("Error(%1)").arg(errors); };
        comm->OnRing = note("Ring");
        comm->OnRlsd = note("Rlsd");
        comm->OnRxChar = [&](TCustomComm*, int count) { seen << QString("RxChar(%1)").arg(count); };
        comm->OnRxFlag = note("RxFlag");
        comm->OnTxEmpty = note("TxEmpty");
        comm->setMonitorEvents(0);
        comm->Open();
        comm->HandleEvent(0x01FF);
        QCOMPARE(seen.join(' '), "Break Cts Dsr Error(0) Ring Rlsd RxFlag TxEmpty"); // no input, no RxChar
        QVERIFY(line->send("abc"));
        QTRY_COMPARE(comm->InQueueCount(), 3);
        seen.clear();
        comm->HandleEvent(0x01FF);
        QCOMPARE(seen.join(' '), "Break Cts Dsr Error(0) Ring Rlsd RxChar(3) RxFlag TxEmpty");
    }

    // Input is reported on the UI thread when more has arrived, not again (nor spinning) while it
    // sits unread.
    void inputIsReportedOnUiThreadWhenItGrows() {
        QList<int> counts;
        bool onUiThread = true;
        comm->OnRxChar = [&](TCustomComm*, int count) {
            onUiThread = onUiThread && QThread::currentThread() == QCoreApplication::instance()->thread();
            counts << count;
        };
        comm->Open();
        QVERIFY(line->send("12345"));
        QTRY_VERIFY(!counts.isEmpty() && counts.last() == 5);
        const qsizetype reports = counts.size();
        const qint64 cpu = cpuWhileIdle(600);
        QVERIFY2(cpu < 150, qPrintable(QString("%1 ms of CPU in 600 ms").arg(cpu)));
        QCOMPARE(counts.size(), reports);
        QVERIFY(line->send("67"));
        QTRY_VERIFY(counts.last() == 7);
        char buffer[8];
        QCOMPARE(comm->Read(buffer, sizeof buffer), 7);
        QVERIFY(line->send("8"));
        QTRY_VERIFY(counts.last() == 1);
        QVERIFY(onUiThread);
    }

    // Every transfer raises at once, as a lost line, rather than waiting out its time-out.
    void hangUpRaisesAndDoesNotSpin() {
        int hangUps = 0;
        comm->OnRlsd = [&](TCustomComm*) { ++hangUps; };
        comm->WriteTimeout = comm->ReadTimeout = 5000;
        comm->Open();
        line->hangUp();
        QTRY_COMPARE(hangUps, 1);
        char buffer[4];
        const std::pair<QString, std::function<void()>> transfers[] = {
            {"Read error (Error: 5) ", [&] { comm->InQueueCount(); }},
            {"Read error (Error: 5) ", [&] { comm->Read(buffer, sizeof buffer); }},
            {"Write error (Error: 5) ", [&] { comm->Write("A0", 2); }}};
        for (const auto& [message, transfer] : transfers) {
            bool lost = false;
            QElapsedTimer timer;
            timer.start();
            QCOMPARE(raised(transfer, nullptr, &lost), message);
            QVERIFY2(timer.elapsed() < 2500, "waited for the time-out");
            QVERIFY(lost);
        }
        const qint64 cpu = cpuWhileIdle(600);
        QVERIFY2(cpu < 150, qPrintable(QString("%1 ms of CPU in 600 ms").arg(cpu)));
        QCOMPARE(hangUps, 1);
        comm->Close();
        QVERIFY(!comm->isOpen());
    }

    void handlerMayClosePort() {
        comm->OnRxChar = [](TCustomComm* sender, int) { sender->Close(); };
        comm->Open();
        QVERIFY(line->send("x"));
        QTRY_VERIFY(!comm->isOpen());
        comm->OnRxChar = nullptr;
        comm->Open();
        QVERIFY(comm->isOpen());
    }

    // Close (and destruction) while the event thread waits to hand input over must neither
    // deadlock nor let a posted event reach the closed or destroyed port later.
    void closeWhileHandingOverEvents() {
        int late = 0;
        bool closing = false;
        for (int round = 0; round < 150; ++round) {
            auto port = std::make_unique<TComm>();
            port->setDeviceName(line->slavePath());
            int handled = 0;
            port->OnRxChar = [&](TCustomComm*, int) { ++(closing ? late : handled); };
            port->Open();
            QVERIFY(line->send(QByteArray(64, 'x')));
            if (round % 3 == 1) QThread::msleep(2); // the thread posts and waits meanwhile
            if (round % 3 == 2) {
                QTRY_VERIFY(handled > 0);
                QVERIFY(line->send(QByteArray(64, 'x')));
            }
            closing = true;
            if (round % 2) port->Close();
            port.reset();
            QCoreApplication::processEvents();
            closing = false;
        }
        QCOMPARE(late, 0);
    }

    // --- waiting for output to leave ---

    void outputDrain_data() {
        QTest::addColumn<int>("queued");
        QTest::addColumn<int>("byteUs"); // a byte's time at the line speed
        QTest::addColumn<int>("lineUs"); // a byte's time as the queue count falls
        QTest::addColumn<bool>("held");  // flow control holds the line
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("failAtMs");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("maxMs");
        const auto row = [](const char* name, int queued, int byteUs, int lineUs, bool held, int error,
                            int failAtMs, int timeoutMs, int result, int minMs, int maxMs) {
            QTest::newRow(name) << queued << byteUs << lineUs << held << error << failAtMs << timeoutMs
                                << result << minMs << maxMs;
        };
        row("nothing queued", 0, 1042, 1042, false, 0, 0, 1000, 0, 0, 0);
        row("9600 bit/s", 100, 1042, 1042, false, 0, 0, 1000, 0, 104, 115);
        row("115200 bit/s", 500, 87, 87, false, 0, 0, 1000, 0, 43, 54);
        row("110 bit/s", 3, 100000, 100000, false, 0, 0, 1000, 0, 300, 311);
        // A UART's FIFO takes several bytes at once: the count falls faster than the speed says.
        row("count falls faster than the speed", 3, 100000, 2000, false, 0, 0, 1000, 0, 6, 17);
        row("held line times out at the deadline", 2, 87, 87, true, 0, 0, 205, -1, 205, 205);
        row("bytes left at the deadline", 500, 1042, 1042, false, 0, 0, 303, -1, 303, 303);
        row("no time left", 10, 1042, 1042, false, 0, 0, 0, -1, 0, 0);
        row("device without an output queue", 10, 1042, 1042, false, ENOTTY, 0, 1000, 0, 0, 0);
        row("queue refused", 10, 1042, 1042, false, EINVAL, 0, 1000, 0, 0, 0);
        row("hung up while draining", 100, 1042, 1042, false, EIO, 20, 1000, EIO, 20, 31);
    }

    // The drain returns soon after the last byte has left, never past its deadline, and does not
    // spin: it looks at most about once a millisecond.
    void outputDrain() {
        QFETCH(int, queued);
        QFETCH(int, byteUs);
        QFETCH(int, lineUs);
        QFETCH(bool, held);
        QFETCH(int, error);
        QFETCH(int, failAtMs);
        QFETCH(int, timeoutMs);
        QFETCH(int, result);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        using std::chrono::microseconds;
        using std::chrono::milliseconds;
        DrainingLine fake{queued, microseconds(lineUs), held, error, milliseconds(failAtMs)};
        DrainClock clock;
        clock.now = [&] { return fake.at(fake.now); };
        clock.sleep = [&](microseconds d) { fake.now += d; };
        const int got = waitForOutputDrain([&](int& count) { return fake.outputQueue(count); },
                                           fake.at(milliseconds(timeoutMs)), microseconds(byteUs), clock);
        QCOMPARE(got, result);
        const auto elapsedMs = std::chrono::duration_cast<milliseconds>(fake.now).count();
        QVERIFY2(elapsedMs >= minMs && elapsedMs <= maxMs, qPrintable(QString("%1 ms").arg(elapsedMs)));
        QVERIFY2(fake.looks <= elapsedMs + 2,
                 qPrintable(QString("%1 looks in %2 ms").arg(fake.looks).arg(elapsedMs)));
    }

    // --- port names ---

    void resolveDeviceName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("device"); // "@/x" stands for x in the working directory
        const auto row = [](const char* name, const char* device) { QTest::newRow(name) << name << device; };
        row("com1", "@/COM1");
        row("Com2", "/dev/ttyS1");
        row("COM3", "@/COM3"); // a dangling link
        row("/dev/ttyUSB0", "/dev/ttyUSB0");
        row("COM5", "COM5"); // no built-in port
    }

    void resolveDeviceName() {
        QFETCH(QString, name);
        QFETCH(QString, device);
        WorkingDir dir;
        QCOMPARE(symlink(line->slavePath().c_str(), "COM1"), 0);
        QCOMPARE(symlink("/nonexistent/ttyQRX", "COM3"), 0);
        device.replace("@", QDir::currentPath());
        QCOMPARE(QString::fromStdString(::resolveDeviceName(name.toStdString())), device);
    }
};

QTEST_GUILESS_MAIN(SerialTest)
#include "tst_serial.moc"
