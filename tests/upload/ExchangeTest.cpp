// The exchanges of both uploads against a scripted in-memory reader: what goes on the wire for
// each kind of answer in each state of the reader, the retry limits, NAK mode, the settle times,
// the idle count, the batch pass of an owed reader with nothing to repeat, and the judgement of
// sequence numbers.
#include "BatchJob.h"
#include "FakeLine.h"
#include "OnlineSession.h"
#include "RecordSink.h"
#include "UploadTests.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QByteArray recordData(int seq) {
    return QByteArray::fromHex(QStringLiteral("%1").arg(seq, 6, 10, QLatin1Char('0')).toLatin1() +
                               "00000123450120040315085930");
}

// Plays reader 1 from a script of answers, one per request: "ack" the request's own code, "rec"
// the next record, "bad" the same with a wrong checksum, "cut" its first 10 bytes only, "flip"
// the same with the command's second character turned into '7' (the length kept, the checksum
// not mended), "again" the last answer repeated, "stale" the record before once more while the
// answer to this request (the next record) is lost behind it, "lateC0" a late "C0" echo with the
// answer to this request (the next record) lost behind it, "-" silence (the request never
// heard), anything else that answer code.
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
        if (step == QLatin1String("stale") || step == QLatin1String("lateC0")) {
            const QByteArray stale = step == QLatin1String("stale") ? last : readerFrame("C0", 1);
            last = readerFrame(code[0] == 'N' ? recordCode : code, 1, recordData(nextSeq++));
            return stale;
        }
        QByteArray answer = last;
        if (step == QLatin1String("ack"))
            answer = readerFrame(code, 1);
        else if (step == QLatin1String("rec") || step == QLatin1String("bad") ||
                 step == QLatin1String("cut") || step == QLatin1String("flip"))
            answer = readerFrame(code[0] == 'N' ? recordCode : code, 1, recordData(nextSeq++));
        else if (step == QLatin1String("-"))
            answer.clear();
        else if (step != QLatin1String("again"))
            answer = readerFrame(step.toLatin1().constData(), 1);
        // Silence is a request the reader never heard: its last answer stays what it was.
        if (step != QLatin1String("-")) last = answer;
        if (step == QLatin1String("bad")) answer[answer.size() - 1] = char(answer.back() ^ 0x01);
        if (step == QLatin1String("cut")) answer.truncate(10);
        if (step == QLatin1String("flip")) answer[3] = char('7' + 0x20);
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
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<RecordSink> sink;

    // The records taken from reader 1, by sequence number, as the file holds them.
    QList<int> fileSeqs() const {
        QList<int> seqs;
        QFile file(sink->path());
        if (!file.open(QIODevice::ReadOnly)) return seqs;
        for (const QByteArray& l : file.readAll().split('\n'))
            if (l.size() > 9) seqs << l.mid(3, 6).toInt();
        return seqs;
    }

private slots:
    void init() {
        const std::int64_t now = line.nowUs + 1'000'000;
        line = FakeLine();
        line.nowUs = now;
        link.ledger = OwedLedger();
        dir = std::make_unique<QTemporaryDir>();
        QDir::setCurrent(dir->path());
        QDir().mkdir(QStringLiteral("DATA2"));
        sink = std::make_unique<RecordSink>(QStringLiteral(".\\DATA2\\B20040315.TXT"),
                                            UploadFile::Mode::Truncate);
    }
    void cleanup() {
        sink.reset();
        QDir::setCurrent(QDir::tempPath());
        dir.reset();
    }

    // owed: the ledger holds reader 1 owed before the job.
    void batchReader_data() {
        QTest::addColumn<bool>("owed");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<int>("end");
        QTest::addColumn<QList<int>>("seqs");
        using E = batch::ReaderEnd;
        QTest::newRow("records then C6")
            << false << QStringList{"ack", "rec", "rec", "C6"} << QStringList{"C0", "C1", "C1", "C1"}
            << int(E::Finished) << QList<int>{1, 2};
        QTest::newRow("no C0 acknowledgement after three tries")
            << false << times(3, "-") << times(3, "C0") << int(E::NotAcknowledged) << QList<int>{};
        QTest::newRow("C0 acknowledgement lost once")
            << false << QStringList{"-", "ack", "rec", "C6"} << QStringList{"C0", "C0", "C1", "C1"}
            << int(E::Finished) << QList<int>{1};
        QTest::newRow("the reader's own N0 proves nothing: C0 takes the reader back")
            << false << QStringList{"ack", "N0", "again", "ack", "rec", "C6"}
            << QStringList{"C0", "C1", "N0", "C0", "C1", "C1"} << int(E::Finished) << QList<int>{1};
        QTest::newRow("answer lost: the record is asked again with N0, never C1")
            << false << QStringList{"ack", "-", "rec", "C6"} << QStringList{"C0", "C1", "N0", "C1"}
            << int(E::Finished) << QList<int>{1};
        QTest::newRow("request lost: the record taken, twice, then C1")
            << false << QStringList{"ack", "rec", "-", "again", "again", "rec", "C6"}
            << QStringList{"C0", "C1", "C1", "N0", "N0", "C1", "C1"} << int(E::Finished) << QList<int>{1, 2};
        QTest::newRow("first C1 lost: the C0 echo proves nothing, C0 again takes the reader back")
            << false << QStringList{"ack", "-", "again", "ack", "rec", "C6"}
            << QStringList{"C0", "C1", "N0", "C0", "C1", "C1"} << int(E::Finished) << QList<int>{1};
        QTest::newRow("a late C0 echo in answer to C1: N0 fetches the record behind it")
            << false << QStringList{"ack", "lateC0", "again", "C6"} << QStringList{"C0", "C1", "N0", "C1"}
            << int(E::Finished) << QList<int>{1};
        QTest::newRow("C6 lost: its repeat, twice, ends the reader")
            << false << QStringList{"ack", "rec", "-", "C6", "again"}
            << QStringList{"C0", "C1", "C1", "N0", "N0"} << int(E::Finished) << QList<int>{1};
        QTest::newRow("a stale record in front of the answer: N0 fetches the record behind it")
            << false << QStringList{"ack", "rec", "stale", "again", "C6"}
            << QStringList{"C0", "C1", "C1", "N0", "C1"} << int(E::Finished) << QList<int>{1, 2};
        QTest::newRow("a flipped bit that reads C6 is a bad answer")
            << false << QStringList{"ack", "rec", "flip", "again", "C6"}
            << QStringList{"C0", "C1", "C1", "N0", "C1"} << int(E::Finished) << QList<int>{1, 2};
        QTest::newRow("silent from the start: N0, never C1 again")
            << false << (QStringList{"ack"} + times(11, "-")) << (QStringList{"C0", "C1"} + times(10, "N0"))
            << int(E::Failed) << QList<int>{};
        QTest::newRow("retries count for the reader, not the record")
            << false << (QStringList{"ack", "bad", "again"} + times(9, "bad") + QStringList{"again", "bad"})
            << (QStringList{"C0", "C1", "N0", "C1"} + times(9, "N0") + QStringList{"C1"}) << int(E::Failed)
            << QList<int>{1, 10};
        QTest::newRow("owed from before (switched off and on, nothing to repeat): C0 at once settles it")
            << true << QStringList{"ack", "rec", "C6"} << QStringList{"C0", "C1", "C1"} << int(E::Finished)
            << QList<int>{1};
        QTest::newRow("owed and silent: C0 three times, still owed")
            << true << times(3, "-") << times(3, "C0") << int(E::NotAcknowledged) << QList<int>{};
    }
    void batchReader() {
        QFETCH(bool, owed);
        QFETCH(QStringList, script);
        QFETCH(QStringList, commands);
        QFETCH(int, end);
        QFETCH(QList<int>, seqs);
        if (owed) link.ledger.markOwed(1, 'B');
        line.responder = ScriptedReader{script};
        batch::BatchJob job(link, *sink, {});
        const batch::ReaderEnd result = job.uploadReader(1);
        QCOMPARE(commandsOf(line), commands);
        QCOMPARE(int(result), end);
        QCOMPARE(fileSeqs(), seqs);
        // The reader is owed exactly when the job ended with its answer unknown.
        QCOMPARE(link.ledger.owed(1),
                 result == batch::ReaderEnd::Failed || (owed && result == batch::ReaderEnd::NotAcknowledged));
    }

    // 100 ms after "C0", which gives the reader time to begin; a whole answer to "C1" is read
    // as soon as it is in, with no settle time after it.
    void batchWaits() {
        line.responder = ScriptedReader{{"ack", "rec", "C6"}};
        const std::int64_t start = line.nowUs;
        batch::BatchJob(link, *sink, {}).uploadReader(1);
        const std::int64_t tookUs = line.nowUs - start;
        QVERIFY2(tookUs >= 100'000 && tookUs < 105'000, qPrintable(QString::number(tookUs)));
    }

    // A job stopped leaves the reader's last record unconfirmed, and "C0" makes it hand that out
    // again: the ledger knows it is stored, and it is written no second time.
    void batchRepeatAfterC0IsWrittenOnce() {
        line.responder = ScriptedReader{{"ack", "rec", "rec", "-"}};
        batch::BatchJob(link, *sink,
                        batch::BatchJob::Hooks{[&] { return fileSeqs().size() >= 2; }, {}, {}, {}})
            .uploadReader(1);
        QCOMPARE(fileSeqs(), QList<int>({1, 2}));
        line.frames.clear();
        sink =
            std::make_unique<RecordSink>(QStringLiteral(".\\DATA2\\B20040315.TXT"), UploadFile::Mode::Append);
        ScriptedReader next{{"ack", "rec", "again", "again", "rec", "C6"}};
        next.nextSeq = 2;
        line.responder = next;
        int handed = 0;
        QCOMPARE(int(batch::BatchJob(link, *sink, {}).uploadReader(1, &handed)),
                 int(batch::ReaderEnd::Finished));
        QCOMPARE(commandsOf(line), QStringList({"C0", "C1", "N0", "N0", "C1", "C1"}));
        QCOMPARE(fileSeqs(), QList<int>({1, 2, 3}));
        QCOMPARE(handed, 1);
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
        QTest::newRow("silence never leads back to C5")
            << 7 << times(7, "-") << (QStringList{"C5"} + times(6, "N0")) << 0 << 7;
        QTest::newRow("answer lost: its repeat is the record")
            << 2 << QStringList{"-", "rec"} << QStringList{"C5", "N0"} << 1 << 0;
        QTest::newRow("a C7 repeated twice settles the reader")
            << 3 << QStringList{"-", "C7", "again", "rec"} << QStringList{"C5", "N0", "N0", "C5"} << 1 << 0;
        QTest::newRow("a batch's C6 repeated never settles an on-line reader")
            << 1 << (QStringList{"C6"} + times(10, "again")) << (QStringList{"C5"} + times(10, "N0")) << 0
            << 0;
        QTest::newRow("a whole frame of another command in answer to C5: N0, not nothing out")
            << 1 << QStringList{"lateC0", "again"} << QStringList{"C5", "N0"} << 1 << 0;
        QTest::newRow("a stale record in front of the answer: N0 fetches the record behind it")
            << 2 << QStringList{"rec", "stale", "again"} << QStringList{"C5", "C5", "N0"} << 2 << 0;
        QTest::newRow("the reader's own N0 repeated never settles it")
            << 1 << (QStringList{"N0"} + times(10, "again")) << (QStringList{"C5"} + times(10, "N0")) << 0
            << 0;
        QTest::newRow("bad answer: N0")
            << 1 << QStringList{"bad", "again"} << QStringList{"C5", "N0"} << 1 << 0;
        QTest::newRow("a flipped bit that reads C7: N0, not nothing new")
            << 1 << QStringList{"flip", "again"} << QStringList{"C5", "N0"} << 1 << 0;
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
            if (poller.visit(*sink, 1)) ++got;
        QCOMPARE(commandsOf(line), commands);
        QCOMPARE(got, records);
        QCOMPARE(fileSeqs().size(), records);
        QCOMPARE(poller.idle(), idle);
    }

    // An owed reader that does not repeat its last answer (switched off and on) is collected by a
    // batch pass of it into the day's batch file at its third visit; a pass that does not end
    // (the reader is gone) is tried again after 1, 3, 7 ... cycles, its "N0" asked every cycle.
    void onlineSessionCollectsASilentOwedReader() {
        link.ledger.markOwed(1, 'A');
        line.responder = ScriptedReader{{"-", "-", "-", "ack", "rec", "C6", "C7"}, "C5"};
        const QDate day(2004, 3, 15);
        QStringList collecting;
        online::OnlineSession session(
            link, [] { return false; },
            online::OnlineSession::Hooks{[&] { return day; },
                                         {},
                                         {},
                                         {},
                                         [&](int reader, const QString& path) {
                                             collecting << QStringLiteral("%1 %2").arg(reader).arg(
                                                 QFileInfo(path).fileName());
                                         }});
        for (int i = 0; i < 4; ++i) session.cycle(1, 1);
        session.close();
        QCOMPARE(commandsOf(line), QStringList({"N0", "N0", "N0", "C0", "C1", "C1", "C5"}));
        QCOMPARE(collecting, QStringList{"1 B20040315.TXT"});
        QVERIFY(!link.ledger.owed(1));
        QFile batchFile(QStringLiteral("DATA2/B20040315.TXT"));
        QVERIFY(batchFile.open(QIODevice::ReadOnly));
        QCOMPARE(batchFile.readAll().count('\n'), 1);

        line.frames.clear();
        link.ledger.markOwed(1, 'A');
        line.responder = [](const QByteArray&) { return QByteArray(); };
        for (int i = 0; i < 9; ++i) session.cycle(1, 1);
        const QStringList pass = {"N0", "C0", "C0", "C0"};
        QCOMPARE(commandsOf(line), times(2, "N0") + pass + QStringList{"N0"} + pass + times(3, "N0") + pass);
    }

    // What a cut answer is given after its first byte starts at 25 ms and grows by 200 ms after
    // each bad answer; the whole answer at the end is read at once.
    void onlineSettleGrows() {
        link.timing().setSpeed(9600);
        line.responder = ScriptedReader{{"cut", "cut", "again"}, "C5"};
        online::Poller poller(link, [] { return false; });
        const std::int64_t start = line.nowUs;
        QVERIFY(poller.visit(*sink, 1));
        const std::int64_t tookUs = line.nowUs - start;
        QVERIFY2(tookUs >= (25 + 225) * 1000 && tookUs < 425'000, qPrintable(QString::number(tookUs)));
    }

    void onlineIdleLimit() {
        online::Poller poller(link, [] { return false; });
        for (int i = 0; i < 100; ++i) poller.visit(*sink, 1);
        QVERIFY(!poller.idleTooLong());
        poller.visit(*sink, 1);
        QVERIFY(poller.idleTooLong());
    }

    // Sequence numbers (reader:seq) taken in turn and what each is judged ("new" or "gap
    // <expected>").
    void sequences_data() {
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QStringList>("verdicts");
        QTest::newRow("first record is never a gap") << QStringList{"1:500"} << QStringList{"new"};
        QTest::newRow("gap") << QStringList{"1:5", "1:7", "1:8"} << QStringList{"new", "gap 6", "new"};
        QTest::newRow("step back") << QStringList{"1:5", "1:3"} << QStringList{"new", "gap 6"};
        QTest::newRow("the numbers wrap after 999999")
            << QStringList{"1:999998", "1:999999", "1:0", "1:1"} << QStringList{"new", "new", "new", "new"};
        QTest::newRow("a reader that numbers afresh")
            << QStringList{"1:41", "1:1", "1:2"} << QStringList{"new", "new", "new"};
        QTest::newRow("readers apart") << QStringList{"1:5", "2:5", "2:6", "1:6", "12:9"}
                                       << QStringList{"new", "new", "new", "new", "new"};
    }
    void sequences() {
        QFETCH(QStringList, taken);
        QFETCH(QStringList, verdicts);
        SequenceTracker tracker;
        for (int i = 0; i < taken.size(); ++i) {
            const int reader = taken.at(i).section(QLatin1Char(':'), 0, 0).toInt();
            const int seq = taken.at(i).section(QLatin1Char(':'), 1).toInt();
            const Verdict v = tracker.take(reader, TPunchRecord::fromBytes(recordData(seq)));
            QCOMPARE(v.expected >= 0 ? QStringLiteral("gap %1").arg(v.expected) : QStringLiteral("new"),
                     verdicts.at(i));
            QCOMPARE(v.seq, seq);
        }
    }
};

int runExchangeTests(int argc, char** argv) {
    ExchangeTest test;
    return runGroup(test, argc, argv);
}

#include "ExchangeTest.moc"
