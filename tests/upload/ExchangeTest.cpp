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
    return QByteArray::fromHex(QStringLiteral("%1").arg(seq, 6, 10, QLatin1Char('0')).toLatin1() +
                               "00000123450120040315085930");
}

// Plays reader 1 from a script of answers, one per request: "ack" the request's own code, "rec"
// the next record, "bad" the same with a wrong checksum, "again" the last answer repeated,
// "-" silence, anything else that answer code.
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
        QByteArray answer = last;
        if (step == QLatin1String("ack"))
            answer = readerFrame(code, 1);
        else if (step == QLatin1String("rec") || step == QLatin1String("bad"))
            answer = readerFrame(code[0] == 'N' ? recordCode : code, 1, recordData(nextSeq++));
        else if (step == QLatin1String("-"))
            answer.clear();
        else if (step != QLatin1String("again"))
            answer = readerFrame(step.toLatin1().constData(), 1);
        last = answer;
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

// The settle waits of a visit with n bad answers in a row: 25 ms, then 200 ms more each time.
QList<int> ramp(int n) {
    QList<int> out;
    for (int i = 0; i < n; ++i) out << 25 + 200 * i;
    return out;
}
} // namespace

class ExchangeTest : public QObject {
    Q_OBJECT

    FakeLine line;
    QList<int> settles; // the settle waits, without AwaitInput's 5 ms polling rounds
    ReaderLink link{line, LinkEnv{[](bool) {},
                                  [this](int ms) {
                                      if (ms != 5) settles << ms;
                                  }}};

private slots:
    void init() {
        line = FakeLine();
        settles.clear();
    }

    void batchReader_data() {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("records");
        using E = batch::ReaderEnd;
        QTest::newRow("records then C6") << QStringList{"ack", "rec", "rec", "C6"}
                                         << QStringList{"C0", "C1", "C1", "C1"} << int(E::Finished) << 2;
        QTest::newRow("no C0 acknowledgement")
            << QStringList{"-"} << QStringList{"C0"} << int(E::NotAcknowledged) << 0;
        QTest::newRow("N0 answer is a bad answer")
            << QStringList{"ack", "N0", "rec", "C6"} << QStringList{"C0", "C1", "N0", "C1"}
            << int(E::Finished) << 1;
        QTest::newRow("silence before any error asks with C1")
            << QStringList{"ack", "-", "rec", "C6"} << QStringList{"C0", "C1", "C1", "C1"} << int(E::Finished)
            << 1;
        QTest::newRow("NAK mode stays on for later silence")
            << QStringList{"ack", "bad", "again", "-", "rec", "C6"}
            << QStringList{"C0", "C1", "N0", "C1", "N0", "C1"} << int(E::Finished) << 2;
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
        QCOMPARE(settles, (QList<int>{100, 25, 25}));
    }

    void onlineVisit_data() {
        QTest::addColumn<int>("visits");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("idle");
        QTest::addColumn<QList<int>>("settles");
        QTest::newRow("a record") << 1 << QStringList{"rec"} << QStringList{"C5"} << 1 << 0 << ramp(1);
        QTest::newRow("silences add up, not asked again")
            << 3 << times(3, "-") << times(3, "C5") << 0 << 3 << QList<int>{};
        QTest::newRow("an answer ends the idle run")
            << 3 << QStringList{"-", "-", "C7"} << times(3, "C5") << 0 << 0 << ramp(1);
        QTest::newRow("another answer code leaves the idle count")
            << 2 << QStringList{"-", "C6"} << times(2, "C5") << 0 << 1 << ramp(1);
        QTest::newRow("N0 answer passes the reader over")
            << 1 << QStringList{"N0"} << QStringList{"C5"} << 0 << 0 << ramp(1);
        QTest::newRow("bad answer: N0 with 200 ms more")
            << 1 << QStringList{"bad", "again"} << QStringList{"C5", "N0"} << 1 << 0 << ramp(2);
        QTest::newRow("silence after a bad answer: N0 with 20 ms more")
            << 1 << QStringList{"bad", "-", "rec"} << QStringList{"C5", "N0", "N0"} << 1 << 0
            << QList<int>{25, 245};
        QTest::newRow("silent after a bad answer counts each silence")
            << 1 << (QStringList{"bad"} + times(10, "-")) << (QStringList{"C5"} + times(10, "N0")) << 0 << 10
            << ramp(1);
        QTest::newRow("ten N0 a visit, then again at the next")
            << 2 << (times(12, "bad") + QStringList{"again"})
            << (QStringList{"C5"} + times(10, "N0") + QStringList{"C5", "N0"}) << 1 << 0
            << ramp(11) + ramp(2);
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
        QCOMPARE(this->settles, settles);
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
        QCOMPARE(tracker.sum(2), sum);
    }
};

int runExchangeTests(int argc, char** argv) {
    ExchangeTest test;
    return runGroup(test, argc, argv);
}

#include "ExchangeTest.moc"
