// The line played as a real one: requests and answers take their time on the wire, readers
// their turn-around, and the host's USB adapter hands answers over in bursts. Times are checked
// from below, and from above with the room a loaded machine needs (tookAtLeast).
#include "HostPort.h"
#include "SimTests.h"

#include <QElapsedTimer>
#include <QTest>

#include <chrono>
#include <memory>
#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const QByteArray kA0 = QByteArray::fromHex("0221615023032F28");
const QByteArray kA0Answer = QByteArray::fromHex("02216150246303252C");
const QByteArray kA0ToReader2 = QByteArray::fromHex("0222615023032F29");
const QByteArray kA0Reader2Answer = QByteArray::fromHex("02226150246303252D");
const QByteArray kModeTable(48, '\x11');
const QByteArray kB3 = frame(1, "B3", kModeTable); // 56 bytes
const QByteArray kB2 = frame(1, "B2", kModeTable); // 56 bytes
constexpr int kTurnaroundMs = 3;

double byteMs(int speed) {
    return 10000.0 / speed;
}

qint64 msSince(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration_cast<milliseconds>(to - from).count();
}

} // namespace

class LineModelTest : public QObject, private SimBench {
    Q_OBJECT

    // Started before the line, so that it never runs behind the line's own clock.
    QElapsedTimer sinceStart_;

private slots:
    void init() {
        sinceStart_.start();
        startLine(4);
        line_->setPacing(true);
    }

    // The answer starts no earlier than the request's bytes and the turn-around after the write,
    // and its first byte is in one byte time later. With the adapter at its 16 ms default a long
    // answer comes in a few bursts, not in the chunks of a few bytes that come without it.
    void requestAndAnswerTakeWireTime_data() {
        QTest::addColumn<int>("speed");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("adapter");
        QTest::newRow("1200, A0, no adapter") << 1200 << kA0 << kA0Answer << false;
        QTest::newRow("9600, A0, no adapter") << 9600 << kA0 << kA0Answer << false;
        QTest::newRow("1200, A0, adapter") << 1200 << kA0 << kA0Answer << true;
        QTest::newRow("9600, B3, adapter") << 9600 << kB3 << kB2 << true;
    }

    void requestAndAnswerTakeWireTime() {
        QFETCH(int, speed);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, answer);
        QFETCH(bool, adapter);
        if (!adapter) line_->setAdapterLatencyMs(0);
        host_->setSpeed(speed);
        host_->send(request);
        const HostPort::Timed t = host_->readTimed(int(answer.size()));
        QCOMPARE(t.bytes.toHex(), answer.toHex());
        const double firstIn = (request.size() + 1) * byteMs(speed) + kTurnaroundMs;
        QVERIFY2(tookAtLeast(t.firstMs, firstIn), qPrintable(QString::number(t.firstMs)));
        const double lastIn = firstIn + (answer.size() - 1) * byteMs(speed);
        QVERIFY2(tookAtLeast(t.lastMs, lastIn), qPrintable(QString::number(t.lastMs)));
        if (adapter) {
            const int ticks = int(answer.size() * byteMs(speed) / 16) + 2;
            QVERIFY2(t.reads <= ticks, qPrintable(QString::number(t.reads)));
        }
    }

    // Two requests in one write at 1200 bit/s: each reaches its reader once its own last byte is
    // in, the second after both requests' time; the second answer waits for the first to leave.
    void framesOfOneWriteArriveOneByOne() {
        struct Seen {
            std::mutex mutex;
            std::vector<std::pair<int, Clock::time_point>> frames;
        };
        const auto seen = std::make_shared<Seen>();
        line_->setObserver([seen](const sim::LineEvent& e) {
            std::lock_guard<std::mutex> lock(seen->mutex);
            seen->frames.emplace_back(e.id, Clock::now());
        });
        host_->setSpeed(1200);
        const QByteArray b0 = frame(1, "B0");
        const QByteArray expected =
            frame(1, "B0", toQt(line_->withReader(1, [](sim::Reader& r) { return r.clock(); }))) +
            kA0Reader2Answer;
        const auto sent = Clock::now();
        host_->send(b0 + kA0ToReader2);
        const HostPort::Timed t = host_->readTimed(int(expected.size()));
        QCOMPARE(t.bytes.toHex(), expected.toHex());

        const double b = byteMs(1200);
        std::lock_guard<std::mutex> lock(seen->mutex);
        QCOMPARE(seen->frames.size(), std::size_t(2));
        QCOMPARE(seen->frames[0].first, 1);
        QCOMPARE(seen->frames[1].first, 2);
        QVERIFY(tookAtLeast(msSince(sent, seen->frames[0].second), 8 * b));
        QVERIFY(tookAtLeast(msSince(sent, seen->frames[1].second), 16 * b));
        // The B0 answer (16 bytes) leaves 8 bytes and the turn-around after the write.
        const double lastIn = (8 + 16 + 9) * b + kTurnaroundMs;
        QVERIFY2(tookAtLeast(t.lastMs, lastIn), qPrintable(QString::number(t.lastMs)));
    }

    // A reader turns its line around after its answer: a request to it that comes as soon as
    // the answer is in (at 1200 bit/s, sooner than 3.5 characters = 29 ms) is missed and logged
    // so; another reader hears it; after the 3.5 characters the reader hears again.
    void readerMissesARequestSoonAfterItsAnswer() {
        line_->setAdapterLatencyMs(0);
        host_->setSpeed(1200);
        QCOMPARE(ask(kA0, int(kA0Answer.size())).toHex(), kA0Answer.toHex());
        host_->send(kA0);
        QCOMPARE(host_->readQuiet(150), QByteArray());
        QCOMPARE(line_->frames(1).back().note,
                 std::string("missed: sooner than 3.5 characters after its answer"));
        QCOMPARE(ask(kA0ToReader2, int(kA0Reader2Answer.size())).toHex(), kA0Reader2Answer.toHex());
        QTest::qWait(int(3.5 * byteMs(1200)) + 5);
        QCOMPARE(ask(kA0, int(kA0Answer.size())).toHex(), kA0Answer.toHex());
        QCOMPARE(line_->frames(1).back().note, std::string());
    }

    // With a long latency the adapter hands 62 bytes over as soon as they have gathered, and
    // holds the 50 after them until its tick, counted from the line's start.
    void fullPacketGoesWithoutWaitingForTheTick() {
        constexpr int latencyMs = 600;
        line_->setAdapterLatencyMs(latencyMs);
        host_->send(kB3 + kB3);
        const QByteArray packet = host_->read(62);
        const qint64 packetAt = sinceStart_.elapsed();
        const HostPort::Timed rest = host_->readTimed(int(2 * kB2.size()) - 62);
        const qint64 restAt = sinceStart_.elapsed();
        QCOMPARE((packet + rest.bytes).toHex(), (kB2 + kB2).toHex());
        QVERIFY2(packetAt < latencyMs, qPrintable(QString::number(packetAt)));
        QVERIFY2(tookAtLeast(restAt, latencyMs), qPrintable(QString::number(restAt)));
        QCOMPARE(rest.reads, 1);
    }

    // waitUntilSent waits for a request still on the wire, though the answer before it has
    // left, and for answers the adapter still holds.
    void waitUntilSentCoversTheWholeLine_data() {
        QTest::addColumn<int>("adapterMs");
        QTest::newRow("request on the wire") << 0;
        QTest::newRow("answers in the adapter") << 400;
    }

    void waitUntilSentCoversTheWholeLine() {
        QFETCH(int, adapterMs);
        line_->setAdapterLatencyMs(adapterMs);
        const QByteArray b3ToReader2 = frame(2, "B3", kModeTable);
        QElapsedTimer sent;
        sent.start();
        host_->send(kA0 + b3ToReader2);
        QVERIFY(line_->waitForFrames(1, 1, 2000)); // the line has the write
        QVERIFY(line_->waitUntilSent(3000));
        // The B3 is in after 64 bytes, long after the A0's answer has left; its answer is 56 bytes.
        const double lastIn = (64 + 56) * byteMs(9600) + kTurnaroundMs;
        QVERIFY2(tookAtLeast(sent.elapsed(), lastIn), qPrintable(QString::number(sent.elapsed())));
        QVERIFY2(sinceStart_.elapsed() >= adapterMs, qPrintable(QString::number(sinceStart_.elapsed())));
        QCOMPARE(host_->read(65).toHex(), (kA0Answer + frame(2, "B2", kModeTable)).toHex());
    }

    // A pseudo-terminal keeps eight data bits and no parity whatever the host asks for, so
    // only the stop bits can change here.
    void bitsPerByte_data() {
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<int>("bits");
        QTest::newRow("8N1") << 1 << 10;
        QTest::newRow("8N2") << 2 << 11;
    }

    void bitsPerByte() {
        QFETCH(int, stopBits);
        QFETCH(int, bits);
        host_->setStopBits(stopBits);
        QCOMPARE(line_->bitsPerByte(), bits);
    }

    // When the adapter hands what it gathered to the host, as "ms:bytes" after the line's start:
    // at the tick after the first byte it holds, or once 62 bytes have gathered.
    void adapterHandOvers_data() {
        QTest::addColumn<int>("latencyMs");
        QTest::addColumn<QList<int>>("arrivals"); // ms after the line's start
        QTest::addColumn<QString>("handOvers");
        QTest::newRow("gathered until the tick") << 16 << QList<int>{5, 6, 7} << "16:3";
        QTest::newRow("ticks count from the line's start") << 16 << QList<int>{17, 40} << "32:1 48:1";
        QTest::newRow("a byte on a tick goes with it") << 16 << QList<int>{16, 17} << "16:1 32:1";
        QList<int> packetAndOne;
        for (int ms = 1; ms <= 63; ++ms) packetAndOne << ms;
        QTest::newRow("a full packet goes at once") << 100 << packetAndOne << "62:62 100:1";
        QTest::newRow("no latency") << 0 << QList<int>{3, 4} << "3:1 4:1";
    }

    void adapterHandOvers() {
        QFETCH(int, latencyMs);
        QFETCH(QList<int>, arrivals);
        QFETCH(QString, handOvers);
        const auto start = Clock::now();
        sim::Adapter adapter(start);
        adapter.setLatency(milliseconds(latencyMs));
        QStringList seen;
        sim::Bytes out;
        auto note = [&](Clock::time_point at) {
            if (!out.empty()) seen << QString("%1:%2").arg(msSince(start, at)).arg(out.size());
            out.clear();
        };
        for (const int ms : arrivals) {
            const auto at = start + milliseconds(ms);
            const auto tick = adapter.nextHandOver();
            adapter.receive(at, 0, out);
            note(tick <= at ? tick : at);
        }
        const auto last = adapter.nextHandOver();
        adapter.tick(last, out);
        note(last);
        QCOMPARE(seen.join(' '), handOvers);
    }
};

int runLineModelTests(int argc, char** argv) {
    LineModelTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "LineModelTest.moc"
