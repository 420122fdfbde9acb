// The exchanges of both uploads against a scripted in-memory reader: what goes on the wire for
// each kind of answer, the retry limits, NAK mode, the settle times, the idle count, and the
// judgement of sequence numbers.
#include "BatchExchange.h"
#include "FakeLine.h"
#include "OnlineExchange.h"
#include "UploadTests.h"

#include <QtTest>

namespace {
QByteArray recordData(int seq) {
    const QString digits = QStringLiteral("%1").arg(seq, 6, 10, QLatin1Char('0'));
    return QByteArray::fromHex(digits.toLatin1() + "0000012345"
                                                   "01"
                                                   "2004031508"
                                                   "5930");
}

// Plays reader 1 from a script of answers, one per request:
//   "ack" the request's own code, "rec" the next record, "C6"/"C7"/"N0" that answer code,
//   "bad" the next record with a wrong checksum, "again" the last answer repeated, "-" silence.
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
        QByteArray answer;
        if (step == QLatin1String("ack")) {
            answer = readerFrame(code, 1);
        } else if (step == QLatin1String("rec") || step == QLatin1String("bad")) {
            answer = readerFrame(code[0] == 'N' ? recordCode : code, 1, recordData(nextSeq++));
            last = answer;
            // A spoilt answer is repeated whole on "N0".
            if (step == QLatin1String("bad")) answer[answer.size() - 1] = char(answer.back() ^ 0x01);
            return answer;
        } else if (step == QLatin1String("again")) {
            answer = last;
        } else if (step != QLatin1String("-")) {
            answer = readerFrame(step.toLatin1().constData(), 1);
        }
        last = answer;
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
    QList<int> sleeps;
    ReaderLink link{line, LinkEnv{[](bool) {}, [this](int ms) { sleeps << ms; }}};

    // The settle waits AwaitInput made (every sleep but its 5 ms polling rounds).
    QList<int> settles() const {
        QList<int> out;
        for (int ms : sleeps)
            if (ms != 5) out << ms;
        return out;
    }

private slots:
    void init() {
        line = FakeLine();
        sleeps.clear();
    }

    void batchReader_data() {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("records");
        using E = batch::ReaderEnd;
        QTest::newRow("records then C6") << QStringList{"ack", "rec", "rec", "C6"}
                                         << QStringList{"C0", "C1", "C1", "C1"} << int(E::Finished) << 2;
        QTest::newRow("first C1 answered C6")
            << QStringList{"ack", "C6"} << QStringList{"C0", "C1"} << int(E::Finished) << 0;
        QTest::newRow("no C0 acknowledgement")
            << QStringList{"-"} << QStringList{"C0"} << int(E::NotAcknowledged) << 0;
        QTest::newRow("wrong acknowledgement")
            << QStringList{"N0"} << QStringList{"C0"} << int(E::NotAcknowledged) << 0;
        QTest::newRow("bad record asked again with N0")
            << QStringList{"ack", "bad", "again", "C6"} << QStringList{"C0", "C1", "N0", "C1"}
            << int(E::Finished) << 1;
        QTest::newRow("N0 answer is a bad answer")
            << QStringList{"ack", "N0", "rec", "C6"} << QStringList{"C0", "C1", "N0", "C1"}
            << int(E::Finished) << 1;
        QTest::newRow("silence before any error asks with C1")
            << QStringList{"ack", "-", "rec", "C6"} << QStringList{"C0", "C1", "C1", "C1"} << int(E::Finished)
            << 1;
        QTest::newRow("NAK mode stays on for later silence")
            << QStringList{"ack", "bad", "again", "-", "rec", "C6"}
            << QStringList{"C0", "C1", "N0", "C1", "N0", "C1"} << int(E::Finished) << 2;
        QTest::newRow("silent after an error: ten N0, then the reader fails")
            << (QStringList{"ack", "bad"} + times(10, "-")) << (QStringList{"C0", "C1"} + times(10, "N0"))
            << int(E::Failed) << 0;
        QTest::newRow("silent from the start: ten more C1")
            << (QStringList{"ack"} + times(11, "-")) << (QStringList{"C0"} + times(11, "C1"))
            << int(E::Failed) << 0;
        QTest::newRow("retries count for the reader, not the record")
            << (QStringList{"ack", "bad", "again"} + times(9, "bad") + QStringList{"again", "bad"})
            << (QStringList{"C0", "C1", "N0", "C1"} + times(9, "N0") + QStringList{"C1"}) << int(E::Failed)
            << 2;
    }
    void batchReader() {
        QFETCH(QStringList, script);
        QFETCH(QStringList, commands);
        QFETCH(int, end);
        QFETCH(int, records);
        line.responder = ScriptedReader{script};
        QList<int> seqs;
        const batch::ReaderEnd result = batch::uploadReader(
            link, 1, [] { return false; }, [&](const TPunchRecord& r) { seqs << RecordSeq(r); });
        QCOMPARE(commandsOf(line), commands);
        QCOMPARE(int(result), end);
        QCOMPARE(seqs.size(), records);
        if (records > 0) QCOMPARE(seqs.first(), 1);
    }

    void batchWaits() {
        line.responder = ScriptedReader{{"ack", "rec", "C6"}};
        batch::uploadReader(
            link, 1, [] { return false; }, [](const TPunchRecord&) {});
        QCOMPARE(settles(), (QList<int>{100, 25, 25}));
    }

    void batchStop() {
        line.responder = ScriptedReader{{"ack", "rec", "rec", "rec"}};
        int taken = 0;
        const batch::ReaderEnd result = batch::uploadReader(
            link, 1, [&] { return taken == 2; }, [&](const TPunchRecord&) { ++taken; });
        QCOMPARE(int(result), int(batch::ReaderEnd::Stopped));
        QCOMPARE(commandsOf(line), (QStringList{"C0", "C1", "C1", "C2"}));
        QCOMPARE(sleeps.back(), 100);
    }

    void onlineVisit_data() {
        QTest::addColumn<int>("visits");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("idle");
        QTest::addColumn<QList<int>>("settles");
        QTest::newRow("nothing new") << 1 << QStringList{"C7"} << QStringList{"C5"} << 0 << 0
                                     << QList<int>{25};
        QTest::newRow("a record") << 1 << QStringList{"rec"} << QStringList{"C5"} << 1 << 0 << QList<int>{25};
        QTest::newRow("silence is not asked again")
            << 1 << QStringList{"-"} << QStringList{"C5"} << 0 << 1 << QList<int>{};
        QTest::newRow("silences add up over visits")
            << 3 << QStringList{"-", "-", "-"} << QStringList{"C5", "C5", "C5"} << 0 << 3 << QList<int>{};
        QTest::newRow("an answer ends the idle run")
            << 3 << QStringList{"-", "-", "C7"} << QStringList{"C5", "C5", "C5"} << 0 << 0 << QList<int>{25};
        QTest::newRow("another answer code leaves the idle count")
            << 2 << QStringList{"-", "C6"} << QStringList{"C5", "C5"} << 0 << 1 << QList<int>{25};
        QTest::newRow("N0 answer passes the reader over")
            << 1 << QStringList{"N0"} << QStringList{"C5"} << 0 << 0 << QList<int>{25};
        QTest::newRow("bad answer: N0 with 200 ms more")
            << 1 << QStringList{"bad", "again"} << QStringList{"C5", "N0"} << 1 << 0 << QList<int>{25, 225};
        QTest::newRow("silence after a bad answer: N0 with 20 ms more")
            << 1 << QStringList{"bad", "-", "rec"} << QStringList{"C5", "N0", "N0"} << 1 << 0
            << QList<int>{25, 245};
        QTest::newRow("ten N0 a visit for bad answers")
            << 1 << times(11, "bad") << (QStringList{"C5"} + times(10, "N0")) << 0 << 0
            << QList<int>{25, 225, 425, 625, 825, 1025, 1225, 1425, 1625, 1825, 2025};
        QTest::newRow("silent after a bad answer counts each silence")
            << 1 << (QStringList{"bad"} + times(10, "-")) << (QStringList{"C5"} + times(10, "N0")) << 0 << 10
            << QList<int>{25};
        QTest::newRow("retries start again at the next visit")
            << 2 << (times(11, "bad") + QStringList{"bad", "again"})
            << (QStringList{"C5"} + times(10, "N0") + QStringList{"C5", "N0"}) << 1 << 0
            << QList<int>{25, 225, 425, 625, 825, 1025, 1225, 1425, 1625, 1825, 2025, 25, 225};
    }
    void onlineVisit() {
        QFETCH(int, visits);
        QFETCH(QStringList, script);
        QFETCH(QStringList, commands);
        QFETCH(int, records);
        QFETCH(int, idle);
        QFETCH(QList<int>, settles);
        line.responder = ScriptedReader{script, "C5"};
        online::Poller poller(link, [] { return false; });
        int got = 0;
        for (int i = 0; i < visits; ++i)
            if (poller.visit(1)) ++got;
        QCOMPARE(commandsOf(line), commands);
        QCOMPARE(got, records);
        QCOMPARE(poller.idle(), idle);
        QCOMPARE(this->settles(), settles);
    }

    void onlineIdleLimit() {
        online::Poller poller(link, [] { return false; });
        for (int i = 0; i < 100; ++i) poller.visit(1);
        QVERIFY(!poller.idleTooLong());
        poller.visit(1);
        QVERIFY(poller.idleTooLong());
    }

    void onlineStopBeforeReading() {
        line.responder = ScriptedReader{{"rec"}, "C5"};
        online::Poller poller(link, [] { return true; });
        QVERIFY(!poller.visit(1));
        QCOMPARE(commandsOf(line), QStringList{"C5"});
    }

    // Each row: records (reader:seq) offered in turn; what each one is judged to be
    // ("new", "dup" or "gap <expected>").
    void sequences_data() {
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QStringList>("verdicts");
        QTest::newRow("in order") << QStringList{"1:5", "1:6", "1:7"} << QStringList{"new", "new", "new"};
        QTest::newRow("first record is never a gap") << QStringList{"1:500"} << QStringList{"new"};
        QTest::newRow("first record numbered 000000")
            << QStringList{"1:0", "1:1"} << QStringList{"new", "new"};
        QTest::newRow("offered twice")
            << QStringList{"1:5", "1:5", "1:6"} << QStringList{"new", "dup", "new"};
        QTest::newRow("000000 twice") << QStringList{"1:0", "1:0"} << QStringList{"new", "dup"};
        QTest::newRow("gap") << QStringList{"1:5", "1:7", "1:8"} << QStringList{"new", "gap 6", "new"};
        QTest::newRow("step back") << QStringList{"1:5", "1:3"} << QStringList{"new", "gap 6"};
        QTest::newRow("readers apart") << QStringList{"1:5", "2:5", "2:6", "1:6", "12:9"}
                                       << QStringList{"new", "new", "new", "new", "new"};
    }
    void sequences() {
        QFETCH(QStringList, offered);
        QFETCH(QStringList, verdicts);
        online::SequenceTracker tracker;
        for (int i = 0; i < offered.size(); ++i) {
            const int reader = offered.at(i).section(QLatin1Char(':'), 0, 0).toInt();
            const int seq = offered.at(i).section(QLatin1Char(':'), 1).toInt();
            const online::Verdict v = tracker.take(reader, TPunchRecord::fromBytes(recordData(seq)));
            const QString text = v.duplicate       ? QStringLiteral("dup")
                                 : v.expected >= 0 ? QStringLiteral("gap %1").arg(v.expected)
                                                   : QStringLiteral("new");
            QCOMPARE(text, verdicts.at(i));
            if (!v.duplicate) QCOMPARE(v.seq, seq);
        }
    }

    void sequenceSum() {
        online::SequenceTracker tracker;
        tracker.take(1, TPunchRecord::fromBytes(recordData(5)));
        tracker.take(2, TPunchRecord::fromBytes(recordData(7)));
        tracker.take(3, TPunchRecord::fromBytes(recordData(100)));
        QCOMPARE(tracker.sum(2), 12);
        QCOMPARE(tracker.sum(12), 112);
    }
};

int runExchangeTests(int argc, char** argv) {
    ExchangeTest test;
    return runGroup(test, argc, argv);
}

#include "ExchangeTest.moc"
