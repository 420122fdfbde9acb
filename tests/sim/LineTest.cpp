// The line itself: how host writes are cut into frames, pacing, raw records, broadcasts,
// absent readers, the device link and the qrx-reader-sim command.
#include "HostPort.h"
#include "ReaderSim.h"
#include "SimTests.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QByteArray kA0 = QByteArray::fromHex("0221615023032F28");
const QByteArray kA0Answer = QByteArray::fromHex("02216150246303252C");
const QByteArray kA0ToReader2 = QByteArray::fromHex("0222615023032F29");
const QByteArray kA0Reader2Answer = QByteArray::fromHex("02226150246303252D");
const QByteArray kB0 = QByteArray::fromHex("0221625023032F29");
const QByteArray kB0Answer = QByteArray::fromHex("022162502B4024233521282020032426");

QByteArray fixedAmount(int id) {
    QByteArray record = QByteArray::fromHex("022350");
    record += char(id);
    record += char(0);
    for (int i = 0; i < 96; ++i) record += char('0' + i % 10);
    record += char(0xFF);
    return record;
}

} // namespace

class LineTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void hostBytesLoggedExactly();
    void writesInAnyPieces_data();
    void writesInAnyPieces();
    void garbageBeforeFrame();
    void incompleteFrameDropped();
    void fixedAmountRecord();
    void broadcastReachesEveryPresentReader();
    void absentReader();
    void twelveReaders();
    void reopenedPort();
    void pacing_data();
    void pacing();
    void answersShareTheLine();
    void waitTimesOut();
    void link();
    void linkRefusesPlainFile();
    void commandServesAndCleansUp();
    void commandRefusesPlainFile();

private:
    QByteArray ask(const QByteArray& request, int answerBytes) {
        host_->send(request);
        return host_->read(answerBytes);
    }
    std::unique_ptr<sim::SimLine> line_;
    std::unique_ptr<HostPort> host_;
};

void LineTest::init() {
    line_ = std::make_unique<sim::SimLine>(4);
    line_->setPacing(false);
    host_ = std::make_unique<HostPort>(QString::fromStdString(line_->devicePath()));
}

void LineTest::cleanup() {
    host_.reset();
    line_.reset();
}

void LineTest::hostBytesLoggedExactly() {
    host_->send(kA0.left(6));
    host_->send(kA0.mid(6));
    QCOMPARE(host_->read(kA0Answer.size()).toHex(), kA0Answer.toHex());
    host_->send(QByteArray::fromHex("0222645626325476032021"));
    QVERIFY(line_->waitForFrames(2, 1, 2000));
    QCOMPARE(toQt(line_->wireBytes()).toHex(), (kA0 + QByteArray::fromHex("0222645626325476032021")).toHex());
    line_->clearLogs();
    QVERIFY(line_->wireBytes().empty());
    QVERIFY(line_->frames(1).empty());
    QVERIFY(line_->lineEvents().empty());
}

void LineTest::writesInAnyPieces_data() {
    QTest::addColumn<QList<QByteArray>>("writes");
    QTest::addColumn<int>("pauseMs");
    const QByteArray both = kA0 + kA0ToReader2;
    QTest::newRow("two frames in one write") << QList<QByteArray>{both} << 0;
    QList<QByteArray> bytes;
    for (int i = 0; i < both.size(); ++i) bytes << both.mid(i, 1);
    QTest::newRow("byte by byte") << bytes << 3;
    QTest::newRow("cut inside the second frame") << QList<QByteArray>{both.left(11), both.mid(11)} << 20;
}

void LineTest::writesInAnyPieces() {
    QFETCH(QList<QByteArray>, writes);
    QFETCH(int, pauseMs);
    for (const QByteArray& w : writes) {
        host_->send(w);
        if (pauseMs) QTest::qWait(pauseMs);
    }
    const QByteArray expected = kA0Answer + kA0Reader2Answer;
    QCOMPARE(host_->read(expected.size()).toHex(), expected.toHex());
    QCOMPARE(line_->lineEvents().size(), std::size_t(2));
    QCOMPARE(line_->frames(1).size(), std::size_t(1));
    QCOMPARE(line_->frames(2).size(), std::size_t(1));
}

void LineTest::garbageBeforeFrame() {
    QCOMPARE(ask(QByteArray::fromHex("FF4142") + kA0, kA0Answer.size()).toHex(), kA0Answer.toHex());
    const auto events = line_->lineEvents();
    QCOMPARE(events.size(), std::size_t(2));
    QCOMPARE(events[0].kind, sim::LineEvent::Kind::Garbage);
    QCOMPARE(toQt(events[0].raw).toHex(), QByteArray("ff4142"));
    QCOMPARE(events[1].kind, sim::LineEvent::Kind::Frame);
}

void LineTest::incompleteFrameDropped() {
    line_->setStaleInputMs(100);
    host_->send(kA0.left(5));
    QVERIFY(line_->waitForLineEvents(1, 2000));
    QCOMPARE(ask(kA0, kA0Answer.size()).toHex(), kA0Answer.toHex());
    const auto events = line_->lineEvents();
    QCOMPARE(events.size(), std::size_t(2));
    QCOMPARE(events[0].kind, sim::LineEvent::Kind::Incomplete);
    QCOMPARE(toQt(events[0].raw), kA0.left(5));
}

void LineTest::fixedAmountRecord() {
    const QByteArray record = fixedAmount(3);
    host_->send(record.left(5));
    host_->send(record.mid(5, 96));
    host_->send(record.right(1));
    // Not answered: the probe's answer is the first thing back.
    QCOMPARE(ask(kA0, kA0Answer.size()).toHex(), kA0Answer.toHex());
    const auto amounts = line_->withReader(3, [](sim::Reader& r) { return r.fixedAmounts(); });
    QCOMPARE(amounts.size(), std::size_t(1));
    QCOMPARE(toQt(sim::Bytes(amounts[0].begin(), amounts[0].end())), record.mid(5, 96));
    const auto frames = line_->frames(3);
    QCOMPARE(frames.size(), std::size_t(1));
    QCOMPARE(frames[0].kind, sim::LineEvent::Kind::RawRecord);
    QCOMPARE(toQt(frames[0].raw), record);
}

void LineTest::broadcastReachesEveryPresentReader() {
    const QByteArray customer = QByteArray::fromHex("000000555501000099");
    host_->send(frame(sim::kBroadcastId, "D1", customer));
    QCOMPARE(ask(kA0, kA0Answer.size()).toHex(), kA0Answer.toHex());
    for (int id = 1; id <= 5; ++id) {
        const auto customers = line_->withReader(id, [](sim::Reader& r) { return r.customers(); });
        QCOMPARE(customers.size(), std::size_t(id <= 4 ? 1 : 0));
        QCOMPARE(line_->frames(id).size(), std::size_t(id == 1 ? 2 : id <= 4 ? 1 : 0));
    }
    QCOMPARE(line_->lineEvents()[0].kind, sim::LineEvent::Kind::Broadcast);
}

void LineTest::absentReader() {
    const QByteArray a0To5 = QByteArray::fromHex("0225615023032F2C");
    host_->send(a0To5);
    QCOMPARE(ask(kA0, kA0Answer.size()).toHex(), kA0Answer.toHex());
    QCOMPARE(line_->lineEvents()[0].kind, sim::LineEvent::Kind::NoReader);
    line_->withReader(5, [](sim::Reader& r) { r.setPresent(true); });
    QCOMPARE(ask(a0To5, 9).toHex(), QByteArray("022561502463032620"));
    line_->withReader(1, [](sim::Reader& r) { r.setPresent(false); });
    host_->send(kA0);
    QCOMPARE(ask(kA0ToReader2, kA0Reader2Answer.size()).toHex(), kA0Reader2Answer.toHex());
}

void LineTest::twelveReaders() {
    line_.reset();
    host_.reset();
    line_ = std::make_unique<sim::SimLine>(12);
    line_->setPacing(false);
    host_ = std::make_unique<HostPort>(QString::fromStdString(line_->devicePath()));
    QCOMPARE(ask(QByteArray::fromHex("022C615023032023"), 9).toHex(), QByteArray("022c61502463032627"));
}

// The sim holds the line open itself, so a host that closes and reopens its port finds it alive.
void LineTest::reopenedPort() {
    QCOMPARE(ask(kA0, kA0Answer.size()).toHex(), kA0Answer.toHex());
    host_->close();
    host_->reopen();
    QCOMPARE(ask(kA0, kA0Answer.size()).toHex(), kA0Answer.toHex());
}

void LineTest::pacing_data() {
    QTest::addColumn<int>("baud");
    QTest::newRow("1200") << 1200;
    QTest::newRow("2400") << 2400;
}

// Lower bounds only: the request's 8 bytes and the answer's 18 bytes must have had their time on
// the wire, and the answer must have trickled in rather than come in one piece.
void LineTest::pacing() {
    QFETCH(int, baud);
    line_->setPacing(true);
    host_->setSpeed(baud);
    QCOMPARE(line_->lineSpeed(), baud);
    line_->withReader(1, [](sim::Reader& r) {
        r.setClock({0x20, 0x04, 0x03, 0x15, 0x01, 0x08, 0x00, 0x00});
    });
    host_->send(kB0);
    const HostPort::Timed t = host_->readTimed(kB0Answer.size());
    QCOMPARE(t.bytes.toHex(), kB0Answer.toHex());
    const double byteMs = 10000.0 / baud;
    QVERIFY2(t.lastMs >= 0.9 * (kB0.size() + kB0Answer.size()) * byteMs,
             qPrintable(QString::number(t.lastMs)));
    QVERIFY2(t.lastMs - t.firstMs >= 0.8 * (kB0Answer.size() - 1) * byteMs,
             qPrintable(QString::number(t.lastMs - t.firstMs)));
    QVERIFY(t.reads > 1);
}

// Two requests in one write: the second answer waits until the first has left.
void LineTest::answersShareTheLine() {
    line_->setPacing(true);
    host_->setSpeed(1200);
    host_->send(kA0 + kA0ToReader2);
    const QByteArray expected = kA0Answer + kA0Reader2Answer;
    const HostPort::Timed t = host_->readTimed(expected.size());
    QCOMPARE(t.bytes.toHex(), expected.toHex());
    QVERIFY2(t.lastMs - t.firstMs >= 0.8 * (expected.size() - 1) * 10000.0 / 1200,
             qPrintable(QString::number(t.lastMs - t.firstMs)));
}

void LineTest::waitTimesOut() {
    QVERIFY(!line_->waitForFrames(1, 1, 20));
    QVERIFY(!line_->waitForLineEvents(1, 20));
    QVERIFY(line_->waitUntilSent(20));
}

void LineTest::link() {
    QTemporaryDir dir;
    const QString name = dir.filePath("COM2");
    QVERIFY(QFile::link("/nonexistent", name));
    {
        sim::SimLine line(1);
        line.makeLink(name.toStdString());
        QCOMPARE(QFileInfo(name).symLinkTarget(), QString::fromStdString(line.devicePath()));
        HostPort host(name);
        host.send(kA0);
        QCOMPARE(host.read(kA0Answer.size()).toHex(), kA0Answer.toHex());
    }
    QVERIFY(!QFileInfo(name).isSymLink());
}

void LineTest::linkRefusesPlainFile() {
    QTemporaryDir dir;
    const QString name = dir.filePath("COM2");
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("keep");
    file.close();
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, line_->makeLink(name.toStdString()));
    QVERIFY(!QFileInfo(name).isSymLink());
    QCOMPARE(QFileInfo(name).size(), 4);
}

void LineTest::commandServesAndCleansUp() {
    if (!QFileInfo::exists(QRX_READER_SIM_PATH)) QSKIP("qrx-reader-sim is not built");
    QTemporaryDir dir;
    QProcess command;
    command.setWorkingDirectory(dir.path());
    command.start(QRX_READER_SIM_PATH, {"--readers", "2", "--records", "3", "--punch-every", "0",
                                        "--no-pacing", "--link", "COM7"});
    QVERIFY(command.waitForStarted());
    const QString link = dir.filePath("COM7");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 5000);
    {
        HostPort host(link);
        host.send(QByteArray::fromHex("0221635423032F2E"));
        QCOMPARE(host.read(11).toHex(), QByteArray("0221635426202023032624"));
    }
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT(
        (out += command.readAllStandardOutput()).contains("reader 01  C4  02 21 63 54 23 03 2F 2E"), 5000);
    command.terminate();
    QVERIFY(command.waitForFinished(5000));
    QCOMPARE(command.exitStatus(), QProcess::NormalExit);
    QCOMPARE(command.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

void LineTest::commandRefusesPlainFile() {
    if (!QFileInfo::exists(QRX_READER_SIM_PATH)) QSKIP("qrx-reader-sim is not built");
    QTemporaryDir dir;
    QFile file(dir.filePath("COM2"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QProcess command;
    command.setWorkingDirectory(dir.path());
    command.start(QRX_READER_SIM_PATH, {"--punch-every", "0"});
    QVERIFY(command.waitForFinished(5000));
    QCOMPARE(command.exitCode(), 1);
    QVERIFY(command.readAllStandardError().contains("COM2 exists and is not a symbolic link"));
    QVERIFY(QFileInfo::exists(dir.filePath("COM2")));
}

int runLineTests(int argc, char** argv) {
    LineTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "LineTest.moc"
