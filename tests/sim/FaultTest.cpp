// The faults a reader can be told to make, as the host sees them on the line.
#include "HostPort.h"
#include "ReaderSim.h"
#include "SimTests.h"

#include <QTest>

#include <memory>

using sim::Fault;

namespace {

const QByteArray kA0 = QByteArray::fromHex("0221615023032F28");
const QByteArray kA0Answer = QByteArray::fromHex("02216150246303252C");
const QByteArray kC0 = QByteArray::fromHex("0221635023032F2A");
const QByteArray kC1 = QByteArray::fromHex("0221635123032F2B");
const QByteArray kC4 = QByteArray::fromHex("0221635423032F2E");
const QByteArray kC5 = QByteArray::fromHex("0221635523032F2F");
const QByteArray kN0 = QByteArray::fromHex("02216E5023032025");
const QByteArray kC6 = QByteArray::fromHex("0221635623032020");
const QByteArray kC7 = QByteArray::fromHex("0221635723032021");

QByteArray recordAnswer(const char* code, const sim::RecordBytes& r) {
    return frame(1, code, toQt(sim::Bytes(r.begin(), r.end())));
}

Fault faultNamed(const QString& name) {
    if (name == "bad checksum") return Fault::badChecksum();
    if (name == "wrong address") return Fault::wrongAddress(3);
    if (name == "truncated") return Fault::truncate(5);
    if (name == "garbage") return Fault::garbage({0xFF, 0x00});
    return Fault::answerCode(name.toStdString());
}

} // namespace

class FaultTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void spoiledAnswer_data();
    void spoiledAnswer();
    void faultForOneCommandOnce();
    void silentReaderKeepsItsState();
    void corruptedRecordResentOnN0();
    void silentAfterError();
    void lateAnswer();
    void splitAnswer();
    void onlineRecordOfferedTwice();
    void sequenceGap();
    void clearFaults();

private:
    QByteArray ask(const QByteArray& request, int answerBytes) {
        host_->send(request);
        return host_->read(answerBytes);
    }
    // Nothing came for the request before: the next request's answer is the first thing read.
    void expectNothingBeforeProbe() { QCOMPARE(ask(kA0, kA0Answer.size()).toHex(), kA0Answer.toHex()); }
    std::unique_ptr<sim::SimLine> line_;
    std::unique_ptr<HostPort> host_;
};

void FaultTest::init() {
    line_ = std::make_unique<sim::SimLine>(2);
    line_->setPacing(false);
    line_->withReader(1, [](sim::Reader& r) {
        r.addRecords(3);
        r.storeCustomer({0x00, 0x00, 0x01, 0x23, 0x45, 0x10, 0x00, 0x12, 0x34});
    });
    host_ = std::make_unique<HostPort>(QString::fromStdString(line_->devicePath()));
}

void FaultTest::cleanup() {
    host_.reset();
    line_.reset();
}

void FaultTest::spoiledAnswer_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");
    auto row = [](const char* fault, const char* request, const char* answer) {
        QTest::newRow(fault) << QString(fault) << QByteArray::fromHex(request) << QByteArray::fromHex(answer);
    };
    row("bad checksum", "0221615023032F28", "02216150246303252D");
    row("wrong address", "0221615023032F28", "02236150246303252E");
    row("truncated", "0221615023032F28", "0221615024");
    row("garbage", "0221615023032F28", "FF0002216150246303252C");
    row("N0", "0221645428202021436503202D", "02216E5023032025");
    row("N1", "0221645428202021436503202D", "02216E5123032026");
    row("N2", "02216455282020203131032C27", "02216E5223032027");
    row("N3", "0221645626202021032625", "02216E5323032028");
    row("N4", "02216457282020214365032120", "02216E5423032029");
    row("D9", "0221645223032F2D", "0221645923032024");
    row("C6", "0221635123032F2B", "0221635623032020");
    row("C7", "0221635523032F2F", "0221635723032021");
}

void FaultTest::spoiledAnswer() {
    QFETCH(QString, fault);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    line_->withReader(1, [&](sim::Reader& r) { r.addFault(faultNamed(fault)); });
    QCOMPARE(ask(request, answer.size()).toHex(), answer.toHex());
    QCOMPARE(host_->readQuiet(30).toHex(), QByteArray());
    QCOMPARE(line_->frames(1).back().answer, fromQt(answer));
}

void FaultTest::faultForOneCommandOnce() {
    line_->withReader(1, [](sim::Reader& r) { r.addFault(Fault::badChecksum().on("C4").once()); });
    QCOMPARE(ask(kA0, kA0Answer.size()).toHex(), kA0Answer.toHex());
    QCOMPARE(ask(kC4, 11).toHex(), QByteArray("0221635426202023032625"));
    QCOMPARE(ask(kC4, 11).toHex(), QByteArray("0221635426202023032624"));
    QVERIFY(line_->withReader(1, [](sim::Reader& r) { return r.faults().empty(); }));
}

void FaultTest::silentReaderKeepsItsState() {
    line_->withReader(1, [](sim::Reader& r) { r.addFault(Fault::silent().on("C1").once()); });
    ask(kC0, 8);
    host_->send(kC1);
    expectNothingBeforeProbe();
    // The ignored C1 moved nothing: the first record comes now.
    const auto first = line_->withReader(1, [](sim::Reader& r) { return r.records()[0]; });
    const QByteArray answer = recordAnswer("C1", first);
    QCOMPARE(ask(kC1, answer.size()).toHex(), answer.toHex());
    QCOMPARE(line_->frames(1)[1].note, std::string("silent"));
}

// The host sees one bad record, asks with N0, gets it whole and moves on: every record is
// handed out whole exactly once.
void FaultTest::corruptedRecordResentOnN0() {
    line_->withReader(1, [](sim::Reader& r) { r.addFault(Fault::badChecksum().on("C1").once()); });
    const auto records = line_->withReader(1, [](sim::Reader& r) { return r.records(); });
    ask(kC0, 8);
    const QByteArray first = recordAnswer("C1", records[0]);
    const QByteArray spoiled = ask(kC1, first.size());
    QCOMPARE(spoiled.left(first.size() - 1), first.left(first.size() - 1));
    QVERIFY(spoiled != first);
    QCOMPARE(ask(kN0, first.size()).toHex(), first.toHex());
    for (std::size_t i = 1; i < records.size(); ++i) {
        const QByteArray next = recordAnswer("C1", records[i]);
        QCOMPARE(ask(kC1, next.size()).toHex(), next.toHex());
    }
    QCOMPARE(ask(kC1, kC6.size()), kC6);
    QCOMPARE(line_->withReader(1, [](sim::Reader& r) { return r.pendingCount(); }), std::size_t(0));
}

void FaultTest::silentAfterError() {
    line_->withReader(
        1, [](sim::Reader& r) { r.addFault(Fault::badChecksum().on("C1").once().then(Fault::silent())); });
    ask(kC0, 8);
    const auto first = line_->withReader(1, [](sim::Reader& r) { return r.records()[0]; });
    QCOMPARE(ask(kC1, recordAnswer("C1", first).size()).size(), recordAnswer("C1", first).size());
    for (int retry = 0; retry < 3; ++retry) host_->send(kN0);
    QVERIFY(line_->waitForFrames(1, 5, 2000));
    QCOMPARE(host_->readQuiet(50).toHex(), QByteArray());
    const auto frames = line_->frames(1);
    for (std::size_t i = 2; i < 5; ++i) {
        QCOMPARE(frames[i].code, std::string("N0"));
        QCOMPARE(frames[i].note, std::string("silent"));
        QVERIFY(frames[i].answer.empty());
    }
}

void FaultTest::lateAnswer() {
    line_->withReader(1, [](sim::Reader& r) { r.addFault(Fault::late(150)); });
    host_->send(kA0);
    const HostPort::Timed t = host_->readTimed(kA0Answer.size());
    QCOMPARE(t.bytes.toHex(), kA0Answer.toHex());
    QVERIFY2(t.firstMs >= 140, qPrintable(QString::number(t.firstMs)));
}

void FaultTest::splitAnswer() {
    line_->withReader(1, [](sim::Reader& r) { r.addFault(Fault::split(4, 60)); });
    host_->send(kA0);
    const HostPort::Timed t = host_->readTimed(kA0Answer.size());
    QCOMPARE(t.bytes.toHex(), kA0Answer.toHex());
    // Three pieces (4, 4 and 1 bytes) with two pauses between them.
    QVERIFY(t.reads >= 3);
    QVERIFY2(t.lastMs - t.firstMs >= 110, qPrintable(QString::number(t.lastMs - t.firstMs)));
}

void FaultTest::onlineRecordOfferedTwice() {
    const auto [a, b] = line_->withReader(1, [](sim::Reader& r) {
        r.addFault(Fault::reoffer().once());
        const sim::RecordBytes first = r.punchNow(1111);
        return std::make_pair(first, r.punchNow(2222));
    });
    const QByteArray first = recordAnswer("C5", a);
    const QByteArray second = recordAnswer("C5", b);
    QCOMPARE(ask(kC5, first.size()).toHex(), first.toHex());
    QCOMPARE(ask(kC5, first.size()).toHex(), first.toHex());
    QCOMPARE(ask(kC5, second.size()).toHex(), second.toHex());
    QCOMPARE(ask(kC5, kC7.size()), kC7);
}

void FaultTest::sequenceGap() {
    const auto records = line_->withReader(1, [](sim::Reader& r) {
        r.skipSequence(2);
        r.addRecords(1);
        return r.records();
    });
    QCOMPARE(sim::recordSeq(records[2]), 3u);
    QCOMPARE(sim::recordSeq(records[3]), 6u);
}

void FaultTest::clearFaults() {
    line_->withReader(1, [](sim::Reader& r) {
        r.addFault(Fault::silent());
        r.clearFaults();
    });
    QCOMPARE(ask(kA0, kA0Answer.size()).toHex(), kA0Answer.toHex());
}

int runFaultTests(int argc, char** argv) {
    FaultTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "FaultTest.moc"
