// The faults a reader can be told to make, as the host sees them on the line.
#include "HostPort.h"
#include "SimTests.h"

#include <QRegularExpression>
#include <QTest>

using sim::Fault;

namespace {

const QByteArray kA0 = QByteArray::fromHex("0221615023032F28");
const QByteArray kA0Answer = QByteArray::fromHex("02216150246303252C");
const QByteArray kC0 = frame(1, "C0");
const QByteArray kC1 = frame(1, "C1");
const QByteArray kC5 = frame(1, "C5");
const QByteArray kN0 = frame(1, "N0");

Fault faultNamed(const QString& name) {
    if (name == "bad checksum") return Fault::badChecksum();
    if (name == "wrong address") return Fault::wrongAddress(3);
    if (name == "truncated") return Fault::truncate(5);
    if (name == "garbage") return Fault::garbage({0xFF, 0x00});
    if (name == "request lost") return Fault::silent();
    if (name == "answer lost") return Fault::loseAnswer();
    if (name == "flipped bit") return Fault::flipBit(2, 0x02);
    if (name == "flipped bit beyond the frame") return Fault::flipBit(9, 0xFF);
    return Fault::answerCode(name.toStdString());
}

// How often the line applied the fault named as in lineFaults_data.
int applied(const sim::LineFaultCounts& c, const QString& fault) {
    if (fault == "lose answer") return c.answersLost;
    if (fault == "late answer") return c.answersLate;
    if (fault == "lose request") return c.requestsLost;
    if (fault == "flip bit") return c.bitsFlipped;
    return c.strayBytes;
}

} // namespace

class FaultTest : public QObject, private SimBench {
    Q_OBJECT

    QByteArray recordAnswer(const char* code, std::size_t index) {
        return frame(1, code, toQt(line_->withReader(1, [&](sim::Reader& r) { return r.records()[index]; })));
    }

private slots:
    // Reader 1 holds three records and customer 0000012345.
    void init() {
        startLine(2);
        line_->withReader(1, [](sim::Reader& r) {
            r.addRecords(3);
            r.storeCustomer({0x00, 0x00, 0x01, 0x23, 0x45, 0x10, 0x00, 0x12, 0x34});
        });
    }

    void spoiledAnswer_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("answer");
        auto row = [](const char* fault, const char* request, const char* answer) {
            QTest::newRow(fault) << QString(fault) << QByteArray::fromHex(request)
                                 << QByteArray::fromHex(answer);
        };
        row("bad checksum", "0221615023032F28", "02216150246303252D");
        row("wrong address", "0221615023032F28", "02236150246303252E");
        row("truncated", "0221615023032F28", "0221615024");
        row("garbage", "0221615023032F28", "FF0002216150246303252C");
        row("flipped bit", "0221615023032F28", "02216350246303252C"); // reads as "C0", checksum as it was
        row("flipped bit beyond the frame", "0221615023032F28", "02216150246303252C");
        row("N0", "0221645428202021436503202D", "02216E5023032025");
        row("N1", "0221645428202021436503202D", "02216E5123032026");
        row("N2", "02216455282020203131032C27", "02216E5223032027");
        row("N3", "0221645626202021032625", "02216E5323032028");
        row("N4", "02216457282020214365032120", "02216E5423032029");
        row("D9", "0221645223032F2D", "0221645923032024");
        row("C6", "0221635123032F2B", "0221635623032020");
        row("C7", "0221635523032F2F", "0221635723032021");
    }

    void spoiledAnswer() {
        QFETCH(QString, fault);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, answer);
        line_->withReader(1, [&](sim::Reader& r) { r.addFault(faultNamed(fault)); });
        QCOMPARE(ask(request, answer.size()).toHex(), answer.toHex());
        QCOMPARE(host_->readQuiet(30).toHex(), QByteArray());
        QCOMPARE(line_->frames(1).back().answer, fromQt(answer));
    }

    // A lost request leaves the reader as it was: the record it would have offered comes next.
    // A lost answer moves it on: the record it offered counts as seen, and the next one comes.
    void lostRequestOrAnswer_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("nextRecord");
        QTest::newRow("request lost") << "request lost" << 0;
        QTest::newRow("answer lost") << "answer lost" << 1;
    }

    void lostRequestOrAnswer() {
        QFETCH(QString, fault);
        QFETCH(int, nextRecord);
        line_->withReader(1, [&](sim::Reader& r) { r.addFault(faultNamed(fault).on("C1").once()); });
        ask(kC0, 8);
        host_->send(kC1);
        QCOMPARE(ask(kA0, kA0Answer.size()).toHex(), kA0Answer.toHex()); // nothing came for C1
        const QByteArray next = recordAnswer("C1", std::size_t(nextRecord));
        QCOMPARE(ask(kC1, next.size()).toHex(), next.toHex());
        QCOMPARE(line_->frames(1)[1].note, fault.toStdString());
    }

    // Every other request or answer on the line goes wrong. Reader 1's C1s show which: "-"
    // nothing came, "N" record N, "+N" stray bytes and then record N, "N~" record N, late, "^N"
    // record N with one bit flipped.
    void lineFaults_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("outcomes");
        QTest::newRow("lose answer") << "lose answer"
                                     << "0 - 2 -";
        QTest::newRow("lose request") << "lose request"
                                      << "0 - 1 -";
        QTest::newRow("stray bytes") << "stray bytes"
                                     << "0 +1 2 +3";
        QTest::newRow("late answer") << "late answer"
                                     << "0 1~ 2 3~";
        QTest::newRow("flip bit") << "flip bit"
                                  << "0 ^1 2 ^3";
    }

    void lineFaults() {
        QFETCH(QString, fault);
        QFETCH(QString, outcomes);
        sim::LineFaults faults;
        faults.lateMs = 120;
        (fault == "lose answer"    ? faults.loseAnswerEvery
         : fault == "late answer"  ? faults.lateAnswerEvery
         : fault == "lose request" ? faults.loseRequestEvery
         : fault == "flip bit"     ? faults.flipBitEvery
                                   : faults.strayBytesEvery) = 2;
        line_->setLineFaults(faults);
        line_->withReader(1, [](sim::Reader& r) { r.addRecords(1); });
        const QStringList expected = outcomes.split(' ');
        for (int i = 0; i < expected.size(); ++i) {
            QString outcome = expected[i];
            host_->send(kC1);
            QVERIFY(line_->waitForFrames(1, std::size_t(i + 1), 2000));
            const bool spoiled = !outcome.contains(QRegularExpression("^[0-9]$"));
            QCOMPARE(line_->frames(1)[std::size_t(i)].note.rfind("line: ", 0) == 0, spoiled);
            if (outcome == "-") {
                QVERIFY(line_->waitUntilSent(2000));
                QCOMPARE(host_->readQuiet(30).toHex(), QByteArray());
                continue;
            }
            const bool late = outcome.endsWith('~');
            const bool flipped = outcome.startsWith('^');
            QByteArray answer = outcome.startsWith('+') ? QByteArray::fromHex("00FF7F") : QByteArray();
            answer += recordAnswer("C1", std::size_t(outcome.remove(QRegularExpression("[+~^]")).toInt()));
            const HostPort::Timed t = host_->readTimed(int(answer.size()));
            if (flipped) {
                QCOMPARE(t.bytes.size(), answer.size());
                int bits = 0;
                for (int b = 0; b < answer.size(); ++b)
                    bits += qPopulationCount(quint8(t.bytes[b] ^ answer[b]));
                QCOMPARE(bits, 1);
                QCOMPARE(host_->readQuiet(30), QByteArray());
                continue;
            }
            QCOMPARE(t.bytes.toHex(), answer.toHex());
            if (late) QVERIFY2(tookAtLeast(t.firstMs, faults.lateMs), qPrintable(QString::number(t.firstMs)));
        }
        const sim::LineFaultCounts c = line_->lineFaultCounts();
        QCOMPARE(c.requests, 4);
        QCOMPARE(c.answers, fault == "lose request" ? 2 : 4);
        QCOMPARE(applied(c, fault), 2);
        QCOMPARE(c.answersLost + c.answersLate + c.requestsLost + c.strayBytes + c.bitsFlipped, 2);
    }

    // A late answer starts late; a split one trickles in: 4, 4 and 1 bytes with pauses between.
    void lateAndSplitAnswer() {
        line_->withReader(1, [](sim::Reader& r) {
            r.addFault(Fault::late(150));
            r.addFault(Fault::split(4, 60));
        });
        host_->send(kA0);
        const HostPort::Timed t = host_->readTimed(kA0Answer.size());
        QCOMPARE(t.bytes.toHex(), kA0Answer.toHex());
        QVERIFY2(tookAtLeast(t.firstMs, 140), qPrintable(QString::number(t.firstMs)));
        QVERIFY(t.reads >= 3);
        QVERIFY2(tookAtLeast(t.lastMs - t.firstMs, 110), qPrintable(QString::number(t.lastMs - t.firstMs)));
    }

    // One flipped bit turns the "C5" of a record answer into "C7": the frame keeps its length,
    // its checksum no longer fits, and the punch counts as handed out, so "N0" fetches it whole.
    void flippedCommandByte() {
        const sim::RecordBytes punched = line_->withReader(1, [](sim::Reader& r) {
            r.addFault(Fault::flipBit(3, 0x02).on("C5").once());
            return r.punchNow(4321);
        });
        const QByteArray whole = frame(1, "C5", toQt(punched));
        const QByteArray got = ask(kC5, int(whole.size()));
        QByteArray flipped = whole;
        flipped[3] = char(flipped[3] ^ 0x02);
        QCOMPARE(got.toHex(), flipped.toHex());
        QCOMPARE(sim::decodeFrame(fromQt(got)).code, std::string("C7"));
        QCOMPARE(line_->frames(1).back().note, std::string("byte 3 XOR 02"));
        QCOMPARE(ask(kN0, int(whole.size())).toHex(), whole.toHex());
        QCOMPARE(ask(kC5, 8), frame(1, "C7"));
    }

    // A reader late to answer "C0" has already acted on it: the "C1" sent meanwhile is answered
    // with the first record, behind the late "C0" echo, which is what the host reads first.
    void lateC0EchoComesBeforeTheNextAnswer() {
        line_->withReader(1, [](sim::Reader& r) { r.addFault(Fault::late(300).on("C0").once()); });
        host_->send(kC0);
        QVERIFY(line_->waitForFrames(1, 1, 2000));
        const QByteArray record = recordAnswer("C1", 0);
        host_->send(kC1);
        const HostPort::Timed t = host_->readTimed(int(kC0.size() + record.size()));
        QCOMPARE(t.bytes.toHex(), (kC0 + record).toHex());
        QVERIFY2(tookAtLeast(t.firstMs, 250), qPrintable(QString::number(t.firstMs)));
        QCOMPARE(line_->frames(1)[0].note, std::string("300 ms late"));
    }

    void onlineRecordOfferedTwice() {
        const auto [a, b] = line_->withReader(1, [](sim::Reader& r) {
            r.addFault(Fault::reoffer().once());
            const sim::RecordBytes first = r.punchNow(1111);
            return std::make_pair(first, r.punchNow(2222));
        });
        const QByteArray first = frame(1, "C5", toQt(a));
        QCOMPARE(ask(kC5, first.size()).toHex(), first.toHex());
        QCOMPARE(ask(kC5, first.size()).toHex(), first.toHex());
        QCOMPARE(ask(kC5, first.size()).toHex(), frame(1, "C5", toQt(b)).toHex());
        QCOMPARE(ask(kC5, 8), frame(1, "C7"));
    }
};

int runFaultTests(int argc, char** argv) {
    FaultTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "FaultTest.moc"
