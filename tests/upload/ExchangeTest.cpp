// The exchanges of both uploads against a scripted in-memory reader: what goes on the wire for
// each kind of answer, the retry limits, NAK mode, the settle times, the idle count, and the
// judgement of sequence numbers.
#include "BatchExchange.h"
#include "FakeLine.h"
#include "OnlineExchange.h"
#include "RecordSink.h"
#include "UploadTests.h"

#include <QtTest>

namespace {
QByteArray recordData(int seq) {
    return QByteArray::fromHex(QStringLiteral("%1").arg(seq, 6, 10, QLatin1Char('0')).toLatin1() +
                               "00000123450120040315085930");
}

// Plays reader 1 from a script of answers, one per request: "ack" the request's own code, "rec"
// the next record, "bad" the same with a wrong checksum, "again" the last answer repeated,
// "stale" the record before once more while the answer to this request (the next record) is
// lost behind it, "-" silence, anything else that answer code.
struct ScriptedReader {
    explicit ScriptedReader(QStringList steps, const char* echo = "C1")
        : script(std::move(steps)), recordCode(echo) {}
    QStringList script;
    const char* recordCode; // the echo of a record answer to "N0"
    int nextSeq = 1;
    QByteArray last;

    QByteArray operator()(const QByteArray& frame) {
        if (script.isEmpty()) return {};
        const QString step = script.takeFirst();
        const char code[3] = {char(frame.at(2) - 0x20), char(frame.at(3) - 0x20), 0};
        if (step == QLatin1String("stale")) {
            const QByteArray stale = last;
            last = readerFrame(code, 1, recordData(nextSeq++));
            return stale;
        }
        QByteArray answer = last;
        if (step == QLatin1String("ack"))
            answer = readerFrame(code, 1);
        else if (step == QLatin1String("rec") || step == QLatin1String("bad"))
            answer = readerFrame(code[0] == 'N' ? recordCode : code, 1, recordData(nextSeq++));
        else if (step == QLatin1String("-"))
            answer.clear();
        else if (step != QLatin1String("again"))
            answer = readerFrame(step.toLatin1().constData(), 1);
        // Silence is a request the reader never heard: its last answer stays what it was.
        if (step != QLatin1String("-")) last = answer;
        if (step == QLatin1String("bad")) answer[answer.size() - 1] = char(answer.back() ^ 0x01);
        return answer;
    }
};

QStringList commandsOf(const FakeLine& line) {
    QStringList out;
    for (const QByteArray& f : line.frames) out << QString(QChar(f.at(2) - 0x20)) + QChar(f.at(3) - 0x20);
    return out;
}

QStringList times(int n, const QString& text) {
    QStringList out;
    for (int i = 0; i < n; ++i) out << text;
    return out;
}
} // namespace

class ExchangeTest : public QObject {
    Q_OBJECT

    FakeLine line;
    ReaderLink link{line, virtualTimeEnv(line)};

private slots:
    void init() {
        const std::int64_t now = line.nowUs + 1'000'000;
        line = FakeLine();
        line.nowUs = now;
    }

    // Every record handed to the caller, repeats included (the sink drops those).
    void batchReader_data() {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<int>("end");
        QTest::addColumn<QList<int>>("seqs");
        using E = batch::ReaderEnd;
        QTest::newRow("records then C6")
            << QStringList{"ack", "rec", "rec", "C6"} << QStringList{"C0", "C1", "C1", "C1"}
            << int(E::Finished) << QList<int>{1, 2};
        QTest::newRow("no C0 acknowledgement after three tries")
            << times(3, "-") << times(3, "C0") << int(E::NotAcknowledged) << QList<int>{};
        QTest::newRow("C0 acknowledgement lost once")
            << QStringList{"-", "ack", "rec", "C6"} << QStringList{"C0", "C0", "C1", "C1"} << int(E::Finished)
            << QList<int>{1};
        QTest::newRow("N0 answer is a bad answer")
            << QStringList{"ack", "N0", "rec", "C6"} << QStringList{"C0", "C1", "N0", "C1"}
            << int(E::Finished) << QList<int>{1};
        QTest::newRow("answer lost: the record is asked again with N0, never C1")
            << QStringList{"ack", "-", "rec", "C6"} << QStringList{"C0", "C1", "N0", "C1"} << int(E::Finished)
            << QList<int>{1};
        QTest::newRow("request lost: the repeat of the record taken, then C1")
            << QStringList{"ack", "rec", "-", "again", "rec", "C6"}
            << QStringList{"C0", "C1", "C1", "N0", "C1", "C1"} << int(E::Finished) << QList<int>{1, 1, 2};
        QTest::newRow("first C1 lost: the repeated C0 echo asks with C1 again")
            << QStringList{"ack", "-", "again", "rec", "C6"} << QStringList{"C0", "C1", "N0", "C1", "C1"}
            << int(E::Finished) << QList<int>{1};
        QTest::newRow("C6 lost: its repeat ends the reader")
            << QStringList{"ack", "rec", "-", "C6"} << QStringList{"C0", "C1", "C1", "N0"} << int(E::Finished)
            << QList<int>{1};
        QTest::newRow("a stale record in front of the answer: N0 fetches the record behind it")
            << QStringList{"ack", "rec", "stale", "again", "C6"} << QStringList{"C0", "C1", "C1", "N0", "C1"}
            << int(E::Finished) << QList<int>{1, 2};
        QTest::newRow("silent from the start: ten N0")
            << (QStringList{"ack"} + times(11, "-")) << (QStringList{"C0", "C1"} + times(10, "N0"))
            << int(E::Failed) << QList<int>{};
        QTest::newRow("retries count for the reader, not the record")
            << (QStringList{"ack", "bad", "again"} + times(9, "bad") + QStringList{"again", "bad"})
            << (QStringList{"C0", "C1", "N0", "C1"} + times(9, "N0") + QStringList{"C1"}) << int(E::Failed)
            << QList<int>{1, 10};
    }
    void batchReader() {
        QFETCH(QStringList, script);
        QFETCH(QStringList, commands);
        QFETCH(int, end);
        QFETCH(QList<int>, seqs);
        line.responder = ScriptedReader{script};
        QList<int> got;
        const batch::ReaderEnd result = batch::uploadReader(
            link, 1, [] { return false; }, [&](const TPunchRecord& r) { got << RecordSeq(r); });
        QCOMPARE(commandsOf(line), commands);
        QCOMPARE(int(result), end);
        QCOMPARE(got, seqs);
    }

    // 100 ms after "C0", then at least the 25 ms settle time after each record answer.
    void batchWaits() {
        line.responder = ScriptedReader{{"ack", "rec", "C6"}};
        const std::int64_t start = line.nowUs;
        batch::uploadReader(
            link, 1, [] { return false; }, [](const TPunchRecord&) {});
        QVERIFY(line.nowUs - start >= (100 + 25 + 25) * 1000);
    }

    void onlineVisit_data() {
        QTest::addColumn<int>("visits");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("idle");
        QTest::newRow("a record") << 1 << QStringList{"rec"} << QStringList{"C5"} << 1 << 0;
        QTest::newRow("after silence the next visits ask for a repeat")
            << 3 << times(3, "-") << QStringList{"C5", "N0", "N0"} << 0 << 3;
        QTest::newRow("three silent repeat visits: the reader is asked with C5 again")
            << 5 << times(5, "-") << QStringList{"C5", "N0", "N0", "N0", "C5"} << 0 << 5;
        QTest::newRow("answer lost: its repeat is the record")
            << 2 << QStringList{"-", "rec"} << QStringList{"C5", "N0"} << 1 << 0;
        QTest::newRow("a repeated C7 ends the repeats")
            << 3 << QStringList{"-", "C7", "C7"} << QStringList{"C5", "N0", "C5"} << 0 << 0;
        QTest::newRow("another answer code leaves the idle count")
            << 3 << QStringList{"-", "C6", "-"} << QStringList{"C5", "N0", "C5"} << 0 << 2;
        QTest::newRow("a repeated batch answer: no on-line record is out")
            << 3 << QStringList{"-", "C0", "C7"} << QStringList{"C5", "N0", "C5"} << 0 << 0;
        QTest::newRow("a stale record in front of the answer: N0 fetches the record behind it")
            << 2 << QStringList{"rec", "stale", "again"} << QStringList{"C5", "C5", "N0"} << 2 << 0;
        QTest::newRow("N0 answer passes the reader over")
            << 1 << QStringList{"N0"} << QStringList{"C5"} << 0 << 0;
        QTest::newRow("bad answer: N0")
            << 1 << QStringList{"bad", "again"} << QStringList{"C5", "N0"} << 1 << 0;
        QTest::newRow("silence after a bad answer: N0")
            << 1 << QStringList{"bad", "-", "rec"} << QStringList{"C5", "N0", "N0"} << 1 << 0;
        QTest::newRow("silent after a bad answer counts each silence")
            << 1 << (QStringList{"bad"} + times(10, "-")) << (QStringList{"C5"} + times(10, "N0")) << 0 << 10;
        QTest::newRow("ten N0 a visit, then the next visit asks for a repeat")
            << 2 << (times(12, "bad") + QStringList{"again"}) << (QStringList{"C5"} + times(12, "N0")) << 1
            << 0;
    }
    void onlineVisit() {
        QFETCH(int, visits);
        QFETCH(QStringList, script);
        QFETCH(QStringList, commands);
        QFETCH(int, records);
        QFETCH(int, idle);
        line.responder = ScriptedReader{script, "C5"};
        online::Poller poller(link, [] { return false; });
        int got = 0;
        for (int i = 0; i < visits; ++i)
            if (poller.visit(1)) ++got;
        QCOMPARE(commandsOf(line), commands);
        QCOMPARE(got, records);
        QCOMPARE(poller.idle(), idle);
    }

    // The settle time starts at 25 ms and grows by 200 ms after each bad answer.
    void onlineSettleGrows() {
        line.responder = ScriptedReader{{"bad", "bad", "again"}, "C5"};
        online::Poller poller(link, [] { return false; });
        const std::int64_t start = line.nowUs;
        QVERIFY(poller.visit(1));
        QVERIFY(line.nowUs - start >= (25 + 225 + 425) * 1000);
    }

    void onlineIdleLimit() {
        online::Poller poller(link, [] { return false; });
        for (int i = 0; i < 100; ++i) poller.visit(1);
        QVERIFY(!poller.idleTooLong());
        poller.visit(1);
        QVERIFY(poller.idleTooLong());
    }

    // Records (reader:seq) offered in turn; what each is judged to be ("new", "dup" or "gap
    // <expected>"); the sum of the last sequence numbers of readers 1 and 2.
    void sequences_data() {
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QStringList>("verdicts");
        QTest::addColumn<int>("sum");
        QTest::newRow("first record is never a gap") << QStringList{"1:500"} << QStringList{"new"} << 500;
        QTest::newRow("first record numbered 000000")
            << QStringList{"1:0", "1:0", "1:1"} << QStringList{"new", "dup", "new"} << 1;
        QTest::newRow("offered twice")
            << QStringList{"1:5", "1:5", "1:6"} << QStringList{"new", "dup", "new"} << 6;
        QTest::newRow("gap") << QStringList{"1:5", "1:7", "1:8"} << QStringList{"new", "gap 6", "new"} << 8;
        QTest::newRow("step back") << QStringList{"1:5", "1:3"} << QStringList{"new", "gap 6"} << 3;
        QTest::newRow("readers apart") << QStringList{"1:5", "2:5", "2:6", "1:6", "12:9"}
                                       << QStringList{"new", "new", "new", "new", "new"} << 12;
    }
    void sequences() {
        QFETCH(QStringList, offered);
        QFETCH(QStringList, verdicts);
        QFETCH(int, sum);
        SequenceTracker tracker;
        for (int i = 0; i < offered.size(); ++i) {
            const int reader = offered.at(i).section(QLatin1Char(':'), 0, 0).toInt();
            const int seq = offered.at(i).section(QLatin1Char(':'), 1).toInt();
            const TPunchRecord record = TPunchRecord::fromBytes(recordData(seq));
            if (tracker.repeats(reader, record)) {
                QCOMPARE(QStringLiteral("dup"), verdicts.at(i));
                continue;
            }
            const Verdict v = tracker.take(reader, record);
            QCOMPARE(v.expected >= 0 ? QStringLiteral("gap %1").arg(v.expected) : QStringLiteral("new"),
                     verdicts.at(i));
            QCOMPARE(v.seq, seq);
        }
        QCOMPARE(tracker.sum(2), sum);
    }
};

int runExchangeTests(int argc, char** argv) {
    ExchangeTest test;
    return runGroup(test, argc, argv);
}

#include "ExchangeTest.moc"
