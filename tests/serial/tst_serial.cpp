// The serial port component against a pseudo-terminal: opening, settings as the terminal sees
// them, transfers, line events and their hand-over to the UI thread, port names.
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

#include <cerrno>
#include <ctime>
#include <functional>
#include <unistd.h>

namespace {

// The message of the ECommError that action raises, or "no error".
QString raised(const std::function<void()>& action, int* code = nullptr) {
    try {
        action();
    } catch (const ECommError& e) {
        if (code) *code = e.ErrorCode;
        return QString::fromStdString(e.what());
    }
    return "no error";
}

qint64 processCpuMs() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// CPU the whole process burns while the UI thread idles in its event loop for ms.
qint64 cpuWhileIdle(int ms) {
    const qint64 before = processCpuMs();
    QTest::qWait(ms);
    return processCpuMs() - before;
}

// Waits (handling events) until the port reports count pending bytes; FIONREAD lags the writer.
bool waitForQueue(TComm& comm, int count) {
    QElapsedTimer timer;
    timer.start();
    while (comm.InQueueCount() != count) {
        if (timer.elapsed() > 5000) return false;
        QTest::qWait(5);
    }
    return true;
}

// Everything the line delivers, read the way the link reads it: ask for the count, read that.
QByteArray readAll(TComm& comm, int expected) {
    QByteArray got;
    QElapsedTimer timer;
    timer.start();
    while (got.size() < expected && timer.elapsed() < 5000) {
        const int pending = comm.InQueueCount();
        if (pending <= 0) {
            QTest::qWait(5);
            continue;
        }
        QByteArray chunk(pending, '\0');
        chunk.truncate(comm.Read(chunk.data(), pending));
        got += chunk;
    }
    return got;
}

QByteArray eventChars(const TDeviceControlBlock& dcb) {
    const char chars[] = {dcb.XonChar, dcb.XoffChar, dcb.ErrorChar, dcb.EofChar, dcb.EvtChar};
    return QByteArray(chars, sizeof chars);
}

QByteArray pattern(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) bytes[i] = char(i * 7 + 3);
    return bytes;
}

// A port that lets the test call the UI-thread side of an event directly.
class ProbeComm : public TComm {
public:
    using TCustomComm::HandleEvent;
};

enum ClosedOnlySetting { kDeviceName, kMonitorEvents, kReadBufSize, kWriteBufSize };

void setClosedOnly(TComm& comm, int which, bool different) {
    switch (which) {
    case kDeviceName:
        comm.setDeviceName(different ? "/dev/ttyS3" : comm.DeviceName());
        break;
    case kMonitorEvents:
        comm.setMonitorEvents(different ? eventBit(evRxChar) : comm.MonitorEvents());
        break;
    case kReadBufSize:
        comm.setReadBufSize(different ? 100 : comm.ReadBufSize());
        break;
    case kWriteBufSize:
        comm.setWriteBufSize(different ? 100 : comm.WriteBufSize());
        break;
    }
}

QString closedOnlyValue(TComm& comm, int which) {
    switch (which) {
    case kDeviceName:
        return QString::fromStdString(comm.DeviceName());
    case kMonitorEvents:
        return QString::number(comm.MonitorEvents());
    case kReadBufSize:
        return QString::number(comm.ReadBufSize());
    default:
        return QString::number(comm.WriteBufSize());
    }
}

// The working directory for a test: a fresh temporary one, restored afterwards.
class WorkingDir {
public:
    WorkingDir() : previous_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }
    ~WorkingDir() { QDir::setCurrent(previous_); }
    QString path() const { return QDir::currentPath(); }

private:
    QTemporaryDir dir_;
    QString previous_;
};

constexpr tcflag_t kFramingBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
const QString kAlreadyOpen = "Port already assigned (open) (Error: -1) ";
const QString kRefusedSettings = "Error updating DataControlBlock (Error: 22) ";

} // namespace

class SerialTest : public QObject {
    Q_OBJECT

    std::unique_ptr<PseudoTerminal> line;
    std::unique_ptr<ProbeComm> comm;

    void addByteRows() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("frame") << QByteArray::fromHex("0221615023032f28");
        QTest::newRow("control characters") << QByteArray::fromHex("000d0a1113030418 1a7f80ff");
        QTest::newRow("more than one read") << pattern(3000);
    }

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

    void openAndClose() {
        QVERIFY(!comm->isOpen());
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
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("code");
        QTest::newRow("missing device") << "missing"
                                        << "Error accessing specified device (Error: 2) " << ENOENT;
        QTest::newRow("directory") << "directory"
                                   << "Error accessing specified device (Error: 21) " << EISDIR;
        QTest::newRow("regular file") << "file"
                                      << "Invalid device handle, access denied (Error: -1) " << -1;
    }

    void openFailures() {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        QFETCH(int, code);
        QTemporaryDir dir;
        QTemporaryFile file;
        QVERIFY(file.open());
        const QString path = kind == "missing"     ? dir.filePath("ttyQRX")
                             : kind == "directory" ? dir.path()
                                                   : file.fileName();
        comm->setDeviceName(path.toStdString());
        int got = 0;
        QCOMPARE(raised([&] { comm->Open(); }, &got), message);
        QCOMPARE(got, code);
        QVERIFY(!comm->isOpen());
        QCOMPARE(comm->InQueueCount(), -1);
    }

    void openStepFailures_data() {
        QTest::addColumn<QString>("device"); // "pty" for the test's line
        QTest::addColumn<int>("readBufSize");
        QTest::addColumn<int>("baud");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("code");
        QTest::newRow("no terminal") << "/dev/null" << 4096 << int(br9600)
                                     << "Error updating CommTimeouts (Error: 25) " << ENOTTY;
        QTest::newRow("refused speed") << "pty" << 4096 << int(br14400) << kRefusedSettings << EINVAL;
        QTest::newRow("no input queue")
            << "pty" << 0 << int(br9600) << "Error initializing Read/Write Buffers (Error: 22) " << EINVAL;
    }

    // Failures after the device has been opened leave it open, with its event thread; Close
    // still ends both.
    void openStepFailures() {
        QFETCH(QString, device);
        QFETCH(int, readBufSize);
        QFETCH(int, baud);
        QFETCH(QString, message);
        QFETCH(int, code);
        if (device != "pty") comm->setDeviceName(device.toStdString());
        comm->setReadBufSize(readBufSize);
        comm->setBaudRate(TBaudrate(baud));
        int got = 0;
        QCOMPARE(raised([&] { comm->Open(); }, &got), message);
        QCOMPARE(got, code);
        QVERIFY(comm->isOpen());
        comm->Close();
        QVERIFY(!comm->isOpen());
    }

    void secondPortOnSameDeviceIsBusy() {
        comm->Open();
        TComm second;
        second.setDeviceName(line->slavePath());
        int code = 0;
        QCOMPARE(raised([&] { second.Open(); }, &code),
                 QString("Error accessing specified device (Error: %1) ").arg(EWOULDBLOCK));
        QCOMPARE(code, EWOULDBLOCK);
        QVERIFY(!second.isOpen());
        comm->Close();
        second.Open();
        QVERIFY(second.isOpen());
    }

    // --- settings ---

    void closedOnlySettings_data() {
        QTest::addColumn<int>("setting");
        QTest::newRow("DeviceName") << int(kDeviceName);
        QTest::newRow("MonitorEvents") << int(kMonitorEvents);
        QTest::newRow("ReadBufSize") << int(kReadBufSize);
        QTest::newRow("WriteBufSize") << int(kWriteBufSize);
    }

    void closedOnlySettings() {
        QFETCH(int, setting);
        comm->Open();
        const QString before = closedOnlyValue(*comm, setting);
        QCOMPARE(raised([&] { setClosedOnly(*comm, setting, false); }), QString("no error"));
        int code = 0;
        QCOMPARE(raised([&] { setClosedOnly(*comm, setting, true); }, &code), kAlreadyOpen);
        QCOMPARE(code, -1);
        QCOMPARE(closedOnlyValue(*comm, setting), before);
        QVERIFY(comm->isOpen());
        comm->Close();
        setClosedOnly(*comm, setting, true);
        QVERIFY(closedOnlyValue(*comm, setting) != before);
    }

    void lineSettingsReachTerminal_data() {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("databits");
        QTest::addColumn<int>("stopbits");
        QTest::addColumn<uint>("speed");
        QTest::addColumn<uint>("framing");
        QTest::newRow("1200 8N1") << int(br1200) << int(paNone) << int(da8) << int(sb10) << uint(B1200)
                                  << uint(CS8);
        QTest::newRow("9600 7E2") << int(br9600) << int(paEven) << int(da7) << int(sb20) << uint(B9600)
                                  << uint(CS7 | PARENB | CSTOPB);
        QTest::newRow("19200 8O2") << int(br19200) << int(paOdd) << int(da8) << int(sb20) << uint(B19200)
                                   << uint(CS8 | PARENB | PARODD | CSTOPB);
        QTest::newRow("110 5N1.5") << int(br110) << int(paNone) << int(da5) << int(sb15) << uint(B110)
                                   << uint(CS5 | CSTOPB);
        QTest::newRow("38400 6 mark 1") << int(br38400) << int(paMark) << int(da6) << int(sb10)
                                        << uint(B38400) << uint(CS6 | PARENB | PARODD | CMSPAR);
        QTest::newRow("115200 8 space 2") << int(br115200) << int(paSpace) << int(da8) << int(sb20)
                                          << uint(B115200) << uint(CS8 | PARENB | CMSPAR | CSTOPB);
        QTest::newRow("57600 7O1") << int(br57600) << int(paOdd) << int(da7) << int(sb10) << uint(B57600)
                                   << uint(CS7 | PARENB | PARODD);
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
        const auto apply = [&](TBaudrate b, TParity p, TDatabits d, TStopbits s) {
            comm->setBaudRate(b);
            comm->setParity(p);
            comm->setDatabits(d);
            comm->setStopbits(s);
        };
        const auto reached = [&](speed_t wantSpeed, tcflag_t wantFraming) {
            const tcflag_t kept = PARODD | CMSPAR | CSTOPB;
            const termios tio = line->settings();
            return cfgetospeed(&tio) == wantSpeed && (tio.c_cflag & kept) == (wantFraming & kept);
        };
        apply(TBaudrate(baud), TParity(parity), TDatabits(databits), TStopbits(stopbits));
        comm->Open();
        QVERIFY(reached(speed, framing));
        const TDeviceControlBlock& dcb = comm->DeviceControlBlock();
        QCOMPARE(int(dcb.BaudRate), baudRateValue(TBaudrate(baud)));
        QCOMPARE(int(dcb.Parity), parity);
        QCOMPARE(int(dcb.ByteSize), databits + 4);
        QCOMPARE(int(dcb.StopBits), stopbits);

        termios tio = line->settings();
        QCOMPARE(termiosFromBlock(dcb, tio), 0);
        QCOMPARE(uint(tio.c_cflag & kFramingBits), framing);
        QCOMPARE(uint(cfgetospeed(&tio)), speed);
        const TDeviceControlBlock back = blockFromTermios(tio);
        QCOMPARE(back.BaudRate, dcb.BaudRate);
        QCOMPARE(back.Parity, dcb.Parity);
        QCOMPARE(back.ByteSize, dcb.ByteSize);
        QCOMPARE(int(back.StopBits), stopbits == sb10 ? 0 : 2);

        apply(br9600, paNone, da8, sb10);
        QVERIFY(reached(B9600, CS8));
        apply(TBaudrate(baud), TParity(parity), TDatabits(databits), TStopbits(stopbits));
        QVERIFY(reached(speed, framing));
    }

    void unsupportedSettingsRefused_data() {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("databits");
        QTest::newRow("14400 bit/s") << int(br14400) << int(da8);
        QTest::newRow("56000 bit/s") << int(br56000) << int(da8);
        QTest::newRow("128000 bit/s") << int(br128000) << int(da8);
        QTest::newRow("256000 bit/s") << int(br256000) << int(da8);
        QTest::newRow("4 data bits") << int(br9600) << int(da4);
    }

    // The terminal keeps its settings rather than taking something else.
    void unsupportedSettingsRefused() {
        QFETCH(int, baud);
        QFETCH(int, databits);
        comm->Open();
        int code = 0;
        QCOMPARE(raised(
                     [&] {
                         comm->setBaudRate(TBaudrate(baud));
                         comm->setDatabits(TDatabits(databits));
                     },
                     &code),
                 kRefusedSettings);
        QCOMPARE(code, EINVAL);
        QCOMPARE(int(comm->BaudRate()), baud);
        QCOMPARE(int(comm->Databits()), databits);
        const termios tio = line->settings();
        QCOMPARE(uint(cfgetospeed(&tio)), uint(B9600));
        QCOMPARE(uint(tio.c_cflag & CSIZE), uint(CS8));
    }

    void flagWord_data() {
        QTest::addColumn<int>("flow");
        QTest::addColumn<int>("options");
        QTest::addColumn<uint>("flags");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<uint>("control"); // CRTSCTS as the terminal then holds it
        QTest::addColumn<uint>("input");   // INPCK, IXON, IXOFF
        const int all = optionBit(coParityCheck) | optionBit(coDsrSensitivity) | optionBit(coIgnoreXOff) |
                        optionBit(coErrorChar) | optionBit(coNullStrip);
        QTest::newRow("none") << int(fcNone) << 0 << 0x0001u << false << 0u << 0u;
        QTest::newRow("CTS") << int(fcCTS) << 0 << 0x2005u << false << uint(CRTSCTS) << 0u;
        QTest::newRow("DTR") << int(fcDTR) << 0 << 0x0029u << true << 0u << 0u;
        QTest::newRow("software") << int(fcSoftware) << 0 << 0x0301u << false << 0u << uint(IXON | IXOFF);
        QTest::newRow("default on a raw line") << int(fcDefault) << 0 << 0x0001u << false << 0u << 0u;
        QTest::newRow("parity check")
            << int(fcNone) << int(optionBit(coParityCheck)) << 0x0003u << false << 0u << uint(INPCK);
        QTest::newRow("ignore XOFF") << int(fcNone) << int(optionBit(coIgnoreXOff)) << 0x0081u << false << 0u
                                     << 0u;
        QTest::newRow("software, parity check, ignore XOFF")
            << int(fcSoftware) << int(optionBit(coParityCheck) | optionBit(coIgnoreXOff)) << 0x0383u << false
            << 0u << uint(INPCK | IXON | IXOFF);
        QTest::newRow("DSR sensitivity")
            << int(fcNone) << int(optionBit(coDsrSensitivity)) << 0x0041u << true << 0u << 0u;
        QTest::newRow("error char") << int(fcNone) << int(optionBit(coErrorChar)) << 0x0401u << true << 0u
                                    << 0u;
        QTest::newRow("null strip") << int(fcNone) << int(optionBit(coNullStrip)) << 0x0801u << true << 0u
                                    << 0u;
        QTest::newRow("CTS and every option") << int(fcCTS) << all << 0x2CC7u << true << 0u << 0u;
    }

    // The block keeps the word even when the terminal refuses it: it is what was last written.
    void flagWord() {
        QFETCH(int, flow);
        QFETCH(int, options);
        QFETCH(uint, flags);
        QFETCH(bool, refused);
        QFETCH(uint, control);
        QFETCH(uint, input);
        comm->setFlowControl(TFlowControl(flow));
        comm->setOptions(TCommOptions(options));
        QCOMPARE(raised([&] { comm->Open(); }), refused ? kRefusedSettings : QString("no error"));
        QCOMPARE(comm->DeviceControlBlock().Flags, flags);
        if (refused) return;
        const termios tio = line->settings();
        QCOMPARE(uint(tio.c_cflag & CRTSCTS), control);
        QCOMPARE(uint(tio.c_iflag & (INPCK | IXON | IXOFF)), input);
    }

    // fcDefault keeps the flow control the terminal already has; fcNone replaces the whole word.
    void defaultFlowKeepsTerminalFlags() {
        termios tio = line->settings();
        tio.c_cflag |= CRTSCTS;
        line->setSettings(tio);
        comm->Open();
        QCOMPARE(comm->DeviceControlBlock().Flags, 0x2005u);
        QVERIFY(line->settings().c_cflag & CRTSCTS);
        comm->setFlowControl(fcNone);
        QCOMPARE(comm->DeviceControlBlock().Flags, 0x0001u);
        QVERIFY(!(line->settings().c_cflag & CRTSCTS));
    }

    void eventCharsAndLimitsReachBlock() {
        comm->setReadBufSize(1000);
        comm->EventChars().setXonChar(0x05);
        comm->EventChars().setXoffChar(0x06);
        comm->EventChars().setErrorChar('?');
        comm->EventChars().setEofChar(0x1A);
        comm->EventChars().setEvtChar('\n');
        comm->Open();
        const TDeviceControlBlock& dcb = comm->DeviceControlBlock();
        QCOMPARE(int(dcb.XonLim), 250);
        QCOMPARE(int(dcb.XoffLim), 250);
        QCOMPARE(eventChars(dcb), QByteArray("\x05\x06?\x1a\n"));
        QCOMPARE(int(line->settings().c_cc[VSTART]), 0x05);
        QCOMPARE(int(line->settings().c_cc[VSTOP]), 0x06);

        TCommEventChars other(nullptr);
        other.setXonChar('A');
        other.setXoffChar('B');
        other.setErrorChar('C');
        other.setEofChar('D');
        other.setEvtChar('E');
        comm->EventChars().Assign(other);
        QCOMPARE(eventChars(dcb), QByteArray("ABCDE"));
        QCOMPARE(int(line->settings().c_cc[VSTART]), int('A'));
        QCOMPARE(int(line->settings().c_cc[VSTOP]), int('B'));
    }

    // --- transfers ---

    void readReturnsAtOnceWhenNothingArrived() {
        comm->ReadTimeout = 5000;
        comm->Open();
        char buffer[16];
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(comm->Read(buffer, sizeof buffer), 0);
        QVERIFY2(timer.elapsed() < 2500, "Read waited for its time-out");
        QCOMPARE(comm->InQueueCount(), 0);
    }

    void bytesFromLineAreRead_data() { addByteRows(); }

    void bytesFromLineAreRead() {
        QFETCH(QByteArray, bytes);
        comm->Open();
        QVERIFY(line->send(bytes));
        QCOMPARE(readAll(*comm, bytes.size()), bytes);
        QCOMPARE(comm->InQueueCount(), 0);
    }

    void inQueueCountCountsPendingBytes() {
        QCOMPARE(comm->InQueueCount(), -1);
        comm->Open();
        QVERIFY(line->send("\x02!aP#\x03"));
        QVERIFY(waitForQueue(*comm, 6));
        char buffer[8] = {};
        QCOMPARE(comm->Read(buffer, 2), 2);
        QCOMPARE(QByteArray(buffer, 2), QByteArray("\x02!"));
        QCOMPARE(comm->InQueueCount(), 4);
        QCOMPARE(comm->Read(buffer, sizeof buffer), 4);
        QCOMPARE(QByteArray(buffer, 4), QByteArray("aP#\x03"));
        comm->Close();
        QCOMPARE(comm->InQueueCount(), -1);
    }

    void writtenBytesReachLine_data() { addByteRows(); }

    void writtenBytesReachLine() {
        QFETCH(QByteArray, bytes);
        comm->Open();
        QCOMPARE(comm->Write(bytes.constData(), int(bytes.size())), int(bytes.size()));
        QCOMPARE(line->receive(int(bytes.size()), 5000), bytes);
    }

    // A line that takes nothing is a time-out, not an error.
    void writeTimesOutOnFullLine() {
        comm->WriteTimeout = 100;
        comm->Open();
        const QByteArray big(1 << 20, 'x');
        QCOMPARE(comm->Write(big.constData(), int(big.size())), -1);
        QVERIFY(comm->isOpen());
    }

    void closedPortRefusesTransfers() {
        char buffer[4] = {};
        for (int round = 0; round < 2; ++round) {
            int code = 0;
            QCOMPARE(raised([&] { comm->Read(buffer, 1); }, &code), "Read error (Error: 9) ");
            QCOMPARE(code, EBADF);
            QCOMPARE(raised([&] { comm->Write(buffer, 1); }, &code), "Write error (Error: 9) ");
            QCOMPARE(code, EBADF);
            comm->Open();
            comm->Close();
        }
    }

    void closeDropsPendingInput() {
        comm->Open();
        QVERIFY(line->send("stale answer"));
        QVERIFY(waitForQueue(*comm, 12));
        comm->Close();
        comm->Open();
        QCOMPARE(comm->InQueueCount(), 0);
    }

    // --- line events ---

    void handleEventCallsHandlersInOrder_data() {
        QTest::addColumn<uint>("mask");
        QTest::addColumn<QByteArray>("pending");
        QTest::addColumn<QString>("calls");
        QTest::newRow("every event, input waiting")
            << 0x01FFu << QByteArray("abc") << "Break Cts Dsr Error(0) Ring Rlsd RxChar(3) RxFlag TxEmpty";
        QTest::newRow("every event, nothing waiting")
            << 0x01FFu << QByteArray() << "Break Cts Dsr Error(0) Ring Rlsd RxFlag TxEmpty";
        QTest::newRow("input") << commevent::RxChar << QByteArray("ab") << "RxChar(2)";
        QTest::newRow("error and break")
            << (commevent::Err | commevent::Break) << QByteArray("a") << "Break Error(0)";
    }

    void handleEventCallsHandlersInOrder() {
        QFETCH(uint, mask);
        QFETCH(QByteArray, pending);
        QFETCH(QString, calls);
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
        QVERIFY(line->send(pending));
        QVERIFY(waitForQueue(*comm, int(pending.size())));
        comm->HandleEvent(mask);
        QCOMPARE(seen.join(' '), calls);
    }

    // Input is reported when more has arrived, not again and again while it sits unread.
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
        QTest::qWait(300);
        QCOMPARE(counts.size(), reports);
        QVERIFY(line->send("67"));
        QTRY_VERIFY(counts.last() == 7);
        QCOMPARE(readAll(*comm, 7), QByteArray("1234567"));
        QVERIFY(line->send("8"));
        QTRY_VERIFY(counts.last() == 1);
        QVERIFY(onUiThread);
    }

    void unreadInputDoesNotSpin() {
        comm->Open();
        QVERIFY(line->send("unread"));
        QVERIFY(waitForQueue(*comm, 6));
        const qint64 cpu = cpuWhileIdle(600);
        QVERIFY2(cpu < 150, qPrintable(QString("%1 ms of CPU in 600 ms").arg(cpu)));
    }

    void hangUpRaisesAndDoesNotSpin() {
        int hangUps = 0;
        comm->OnRlsd = [&](TCustomComm*) { ++hangUps; };
        comm->Open();
        line->hangUp();
        QTRY_COMPARE(hangUps, 1);
        char buffer[4];
        int code = 0;
        QCOMPARE(raised([&] { comm->InQueueCount(); }, &code), "Read error (Error: 5) ");
        QCOMPARE(code, EIO);
        QCOMPARE(raised([&] { comm->Read(buffer, sizeof buffer); }), "Read error (Error: 5) ");
        QCOMPARE(raised([&] { comm->Write("A0", 2); }), "Write error (Error: 5) ");
        QCOMPARE(raised([&] { comm->setBaudRate(br19200); }), "Error updating DataControlBlock (Error: 5) ");
        const qint64 cpu = cpuWhileIdle(600);
        QVERIFY2(cpu < 150, qPrintable(QString("%1 ms of CPU in 600 ms").arg(cpu)));
        QCOMPARE(hangUps, 1);
        QElapsedTimer timer;
        timer.start();
        comm->Close();
        QVERIFY(timer.elapsed() < 5000);
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
            QVERIFY(line->send(pattern(64)));
            switch (round % 3) {
            case 1:
                QThread::msleep(2);
                break; // the thread posts and waits meanwhile
            case 2:
                QTRY_VERIFY(handled > 0);
                QVERIFY(line->send(pattern(64)));
                break;
            }
            closing = true;
            if (round % 2) port->Close();
            port.reset();
            QCoreApplication::processEvents();
            closing = false;
        }
        QCOMPARE(late, 0);
    }

    // --- port names ---

    void resolveDeviceName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("device"); // "@/x" stands for x in the working directory
        QTest::newRow("com1 with a link") << "com1"
                                          << "@/COM1";
        QTest::newRow("COM1 with a link") << "COM1"
                                          << "@/COM1";
        QTest::newRow("Com2 without one") << "Com2"
                                          << "/dev/ttyS1";
        QTest::newRow("COM3 dangling link") << "COM3"
                                            << "@/COM3";
        QTest::newRow("COM4 without one") << "COM4"
                                          << "/dev/ttyS3";
        QTest::newRow("absolute path") << "/dev/ttyUSB0"
                                       << "/dev/ttyUSB0";
        QTest::newRow("COM5 is no built-in port") << "COM5"
                                                  << "COM5";
        QTest::newRow("other relative name") << "ttyUSB0"
                                             << "ttyUSB0";
    }

    void resolveDeviceName() {
        QFETCH(QString, name);
        QFETCH(QString, device);
        WorkingDir dir;
        QCOMPARE(symlink(line->slavePath().c_str(), "COM1"), 0);
        QCOMPARE(symlink("/nonexistent/ttyQRX", "COM3"), 0);
        device.replace("@", dir.path());
        QCOMPARE(QString::fromStdString(::resolveDeviceName(name.toStdString())), device);
    }

    void openThroughComLink() {
        WorkingDir dir;
        QCOMPARE(symlink(line->slavePath().c_str(), "COM1"), 0);
        comm->setDeviceName("com1");
        comm->Open();
        QVERIFY(line->send("A0"));
        QCOMPARE(readAll(*comm, 2), QByteArray("A0"));
    }
};

QTEST_GUILESS_MAIN(SerialTest)
#include "tst_serial.moc"
