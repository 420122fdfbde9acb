// What each reader answers, byte for byte, and how its records and tables change, with the
// host's side played by the test on the pseudo-terminal. Pacing is off: answers come at once.
#include "HostPort.h"
#include "SimTests.h"

#include <QTest>

namespace {

const sim::Punch kFirstPunch{12345, 1, 2004, 3, 15, 8, 59, 30};
const sim::Punch kSecondPunch{678, 2, 2004, 3, 15, 9, 0, 1};
const QByteArray kFirstRecordAnswer = QByteArray::fromHex("022163513320202120202143652140242335287950032423");
const QByteArray kSecondRecordAnswer =
    QByteArray::fromHex("022163513320202220202026982240242335292021032D23");
const QByteArray kA0ToReader1 = QByteArray::fromHex("0221615023032F28");
const QByteArray kA0Answer = QByteArray::fromHex("02216150246303252C");
const QByteArray kC1 = frame(1, "C1");
const QByteArray kC4 = frame(1, "C4");
const QByteArray kC5 = frame(1, "C5");
const QByteArray kN0 = frame(1, "N0");

QByteArray count(int n) {
    return frame(1, "C4", QByteArray::fromHex(QByteArray::number(n).rightJustified(6, '0')));
}

} // namespace

class AnswerTest : public QObject, private SimBench {
    Q_OBJECT

    // Runs steps against reader 2, each a request and what must come back: "C1 r2" its second
    // stored record, "C5 p1" its first on-line punch, "C1 b1" the same punch handed out by a
    // batch, "C4 3" a count of 3, "C0 C0" that code alone, "N0 -" nothing at all; "power cut"
    // makes it lose its last answer.
    void runSteps(const QStringList& steps, const std::vector<sim::RecordBytes>& punches) {
        const auto stored = line_->withReader(2, [](sim::Reader& r) { return r.records(); });
        for (const QString& step : steps) {
            if (step == "power cut") {
                line_->withReader(2, [](sim::Reader& r) { r.loseMemory(); });
                continue;
            }
            const QString request = step.section(' ', 0, 0);
            const QString answer = step.section(' ', 1);
            QByteArray expected;
            if (answer.startsWith('r')) {
                expected = frame(2, "C1", toQt(stored.at(std::size_t(answer.mid(1).toInt() - 1))));
            } else if (answer.startsWith('p') || answer.startsWith('b')) {
                expected = frame(2, answer.startsWith('p') ? "C5" : "C1",
                                 toQt(punches.at(std::size_t(answer.mid(1).toInt() - 1))));
            } else if (answer == "-") {
                host_->send(frame(2, qPrintable(request)));
                QCOMPARE(ask(kA0ToReader1, kA0Answer.size()).toHex(), kA0Answer.toHex());
                continue;
            } else if (answer.at(0).isDigit()) {
                expected = frame(2, "C4", QByteArray::fromHex(answer.toLatin1().rightJustified(6, '0')));
            } else {
                expected = frame(2, qPrintable(answer));
            }
            const QByteArray got = ask(frame(2, qPrintable(request)), int(expected.size()));
            QVERIFY2(got == expected,
                     qPrintable(step + ": " + got.toHex() + " instead of " + expected.toHex()));
        }
    }

private slots:
    // Reader 1 holds two records, a clock and customer 0000012345; reader 2 reports status 'D' and
    // holds nothing; reader 3 is full with one customer; reader 4 is as new.
    void init() {
        startLine(4);
        line_->withReader(1, [](sim::Reader& r) {
            r.setClock({0x20, 0x07, 0x12, 0x08, 0x06, 0x13, 0x45, 0x30});
            r.addRecord(kFirstPunch);
            r.addRecord(kSecondPunch);
            r.storeCustomer({0x00, 0x00, 0x01, 0x23, 0x45, 0x10, 0x00, 0x12, 0x34});
        });
        line_->withReader(2, [](sim::Reader& r) { r.setStatus('D'); });
        line_->withReader(3, [](sim::Reader& r) {
            r.setCapacity(1);
            r.storeCustomer({0x00, 0x00, 0x00, 0x77, 0x77, 0x00, 0x00, 0x00, 0x00});
        });
    }

    void answers_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("answer");
        auto row = [](const char* name, const char* request, const char* answer) {
            QTest::newRow(name) << QByteArray::fromHex(request) << QByteArray::fromHex(answer);
        };
        row("A0 status C", "0221615023032F28", "02216150246303252C");
        row("A0 another status byte", "0222615023032F29", "02226150246403252E");
        row("B0 clock", "0221625023032F29", "022162502B4027322826336550032D20");
        row("B1 sets the clock, answers B0", "022462512B404421222324252603252E",
            "022462502B404421222324252603252D");
        row("C4 two records", "0221635423032F2E", "0221635426202022032623");
        row("C4 no records", "0222635423032F2F", "0222635426202020032622");
        row("C0 acknowledged", "0221635023032F2A", "0221635023032F2A");
        row("C1 first record", "0221635123032F2B", "022163513320202120202143652140242335287950032423");
        row("C1 nothing to upload", "0222635123032F2C", "0222635623032021");
        row("C3 acknowledged", "0221635323032F2D", "0221635323032F2D");
        row("C5 nothing new", "0221635523032F2F", "0221635723032021");
        row("D0 acknowledged", "0224645023032F2E", "0224645023032F2E");
        row("D1 acknowledged", "022464512C2020207575212020B903262C", "0224645123032F2F");
        row("D2 acknowledged", "0224645223032020", "0224645223032020");
        row("D3 acknowledged", "0224645323032021", "0224645323032021");
        row("D4 customer held", "0221645428202021436503202D", "022164542C202021436530203254032E27");
        row("D4 not held: N1", "022164542820202020B903232D", "02216E5123032026");
        row("D5 added", "02216455282020203131032C27", "0221645523032020");
        row("D5 already held: N2", "0221645528202021436503202E", "02216E5223032027");
        row("D5 table full: N2", "02236455282020203131032C29", "02236E5223032029");
        row("D6 deleted by six digits", "0221645626202021032625", "0221645623032021");
        row("D6 none matching: N3", "0222645626325476032021", "02226E5323032029");
        row("D7 held", "02216457282020214365032120", "0221645723032022");
        row("D7 not held: N4", "022164572820202020B9032420", "02216E5423032029");
        row("D8 one customer", "0221645823032023", "0221645826202021032627");
        row("E0 acknowledged", "0224655023032F2F", "0224655023032F2F");
        row("E1 acknowledged", "0224655123032020", "0224655123032020");
        QByteArray modes, meals(49, '\0');
        for (int band = 0; band < 8; ++band) modes += QByteArray::fromHex("0101083009") + char(band);
        for (int i = 0; i < meals.size(); ++i) meals[i] = char(0x11 * (i % 9));
        QTest::newRow("B3 stores the table, answers B2") << frame(4, "B3", modes) << frame(4, "B2", modes);
        QTest::newRow("E2 stores a meal line") << frame(2, "E2", meals) << frame(2, "E2");
    }

    void answers() {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, answer);
        QCOMPARE(ask(request, answer.size()).toHex(), answer.toHex());
        QCOMPARE(host_->readQuiet(30).toHex(), QByteArray());
    }

    void unanswered_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("note");
        auto row = [](const char* name, const char* request, sim::LineEvent::Kind kind, const char* note) {
            QTest::newRow(name) << QByteArray::fromHex(request) << int(kind) << QString(note);
        };
        using K = sim::LineEvent::Kind;
        row("unknown command", "02217A592303212A", K::Frame, "unknown command");
        row("an answer code as request", "0221635623032020", K::Frame, "unknown command");
        row("B1 with two bytes", "02216251254027032623", K::Frame, "wrong data length");
        row("N0 before any answer", "02216E5023032025", K::Frame, "nothing to repeat");
        row("C2 has no answer", "0221635223032F2C", K::Frame, "");
        row("checksum wrong", "0221615023032F29", K::BadChecksum, "");
        row("reader 5 of 4", "0225615023032F2C", K::NoReader, "");
    }

    // The probe that follows the request must be the first thing answered.
    void unanswered() {
        QFETCH(QByteArray, request);
        QFETCH(int, kind);
        QFETCH(QString, note);
        host_->send(request);
        QCOMPARE(ask(kA0ToReader1, kA0Answer.size()).toHex(), kA0Answer.toHex());
        const auto events = line_->lineEvents();
        QCOMPARE(events.size(), std::size_t(2));
        QCOMPARE(int(events[0].kind), kind);
        QCOMPARE(QString::fromStdString(events[0].note), note);
        QVERIFY(events[0].answer.empty());
    }

    // A record counts as delivered once the host asks for the next; "N0" repeats the last answer.
    void upload() {
        QCOMPARE(ask(frame(1, "C0"), 8), frame(1, "C0"));
        QCOMPARE(ask(kC1, kFirstRecordAnswer.size()), kFirstRecordAnswer);
        QCOMPARE(ask(kN0, kFirstRecordAnswer.size()), kFirstRecordAnswer);
        QCOMPARE(ask(kC1, kSecondRecordAnswer.size()), kSecondRecordAnswer);
        host_->send(frame(1, "C2")); // abandoned: the second record was not delivered
        QCOMPARE(ask(kC4, 11), count(1));
        ask(frame(1, "C0"), 8);
        QCOMPARE(ask(kC1, kSecondRecordAnswer.size()), kSecondRecordAnswer);
        QCOMPARE(ask(kC1, 8), frame(1, "C6"));
        QCOMPARE(ask(kC1, 8), frame(1, "C6"));
        QCOMPARE(ask(kC4, 11), count(0));
        QCOMPARE(line_->withReader(1, [](sim::Reader& r) { return r.uploadedCount(); }), std::size_t(2));
        line_->withReader(1, [](sim::Reader& r) { r.addRecords(1); });
        ask(frame(1, "C3"), 8);
        QCOMPARE(ask(kC4, 11), count(0));
    }

    // A record given as bytes goes out unchanged, nibbles above 9 included.
    void recordBytesKeptAsGiven() {
        const sim::RecordBytes odd{0x00, 0x0A, 0x01, 0x00, 0x00, 0x01, 0x23, 0x4F,
                                   0x0A, 0x20, 0x04, 0x03, 0x15, 0x08, 0x59, 0x30};
        line_->withReader(2, [&](sim::Reader& r) { r.addRecordBytes(odd); });
        const QByteArray answer = frame(2, "C1", toQt(odd));
        QCOMPARE(ask(frame(2, "C1"), answer.size()).toHex(), answer.toHex());
    }

    // Sequence numbers go on from the stored records; on-line punches are not among them.
    void online() {
        QCOMPARE(ask(kC5, 8), frame(1, "C7"));
        const auto [first, second] = line_->withReader(1, [](sim::Reader& r) {
            const sim::RecordBytes a = r.punch(kFirstPunch);
            r.skipSequence(2); // a gap in the numbers
            return std::make_pair(a, r.punch(kSecondPunch));
        });
        QCOMPARE(sim::recordSeq(first), 3u);
        QCOMPARE(sim::recordSeq(second), 6u);
        const QByteArray firstAnswer = frame(1, "C5", toQt(first));
        QCOMPARE(ask(kC5, firstAnswer.size()).toHex(), firstAnswer.toHex());
        QCOMPARE(ask(kN0, firstAnswer.size()).toHex(), firstAnswer.toHex());
        QCOMPARE(ask(kC5, firstAnswer.size()).toHex(), frame(1, "C5", toQt(second)).toHex());
        QCOMPARE(ask(kC5, 8), frame(1, "C7"));
        QCOMPARE(ask(kC4, 11), count(2));
    }

    // Reader 2 holds three records; a first batch takes two of them, the second unconfirmed,
    // and is abandoned. What "C0" starts the next batch at depends on the reader; a "C1"
    // confirms the record before it either way.
    void batchCopies_data() {
        QTest::addColumn<bool>("whole");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("uploaded");
        const QStringList firstBatch{"C0 C0", "C1 r1", "C1 r2", "C2 -"};
        QTest::newRow("unconfirmed") << false << firstBatch + QStringList{"C4 2",  "C0 C0", "C1 r2", "C1 r3",
                                                                          "C1 C6", "C4 0",  "C0 C0", "C1 C6"}
                                     << 3;
        QTest::newRow("whole copy") << true
                                    << firstBatch + QStringList{"C4 3",  "C0 C0", "C1 r1", "C1 r2", "C1 r3",
                                                                "C1 C6", "C4 3",  "C0 C0", "C1 r1", "C3 C3",
                                                                "C4 0",  "C0 C0", "C1 C6"}
                                    << 0;
        QTest::newRow("whole copy, stopped early")
            << true << firstBatch + QStringList{"C0 C0", "C1 r1", "C2 -"} << 1;
    }

    void batchCopies() {
        QFETCH(bool, whole);
        QFETCH(QStringList, steps);
        QFETCH(int, uploaded);
        line_->withReader(2, [&](sim::Reader& r) {
            r.addRecords(3);
            if (whole) r.setBatchCopies(sim::BatchCopies::Whole);
        });
        runSteps(steps, {});
        QCOMPARE(line_->withReader(2, [](sim::Reader& r) { return r.uploadedCount(); }),
                 std::size_t(uploaded));
    }

    // A power cut takes the last answer, so "N0" gets none; what was handed out and not yet
    // confirmed is handed out again, the stored records stay.
    void powerCut_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("batch") << QStringList{"C0 C0", "C1 r1", "C1 r2", "power cut", "N0 -", "C4 4",
                                              "C1 r2", "C1 r3", "C1 b1", "C1 b2", "C1 C6"};
        // A batch hands out the on-line punches no "C5" confirmed, the one in flight included;
        // what it confirmed is not offered on line again.
        QTest::newRow("on-line record in flight, then a batch")
            << QStringList{"C5 p1", "C0 C0", "C1 r1", "C1 r2", "C1 r3", "C1 b1", "C1 b2", "C1 C6", "C4 0", "C5 C7"};
        QTest::newRow("on-line") << QStringList{"C5 p1", "power cut", "N0 -", "C5 p1", "C5 p2", "C5 C7"};
        QTest::newRow("nothing asked yet") << QStringList{"power cut", "N0 -", "C5 p1"};
    }

    void powerCut() {
        QFETCH(QStringList, steps);
        const auto punches = line_->withReader(2, [](sim::Reader& r) {
            r.addRecords(3);
            return std::vector<sim::RecordBytes>{r.punch(kFirstPunch), r.punch(kSecondPunch)};
        });
        runSteps(steps, punches);
    }

    // Reader 2 holds records 1 and 2 when something happens to its numbering; the number its
    // next punch gets, and the records it still holds.
    void numbering_data() {
        QTest::addColumn<QString>("event");
        QTest::addColumn<bool>("deleteRenumbers");
        QTest::addColumn<int>("nextSeq");
        QTest::addColumn<int>("held");
        QTest::newRow("goes on") << "" << false << 3 << 2;
        QTest::newRow("restarted (a replacement)") << "restart" << false << 1 << 2;
        QTest::newRow("delete-all goes on") << "C3" << false << 3 << 0;
        QTest::newRow("delete-all renumbers") << "C3" << true << 1 << 0;
        QTest::newRow("records lost") << "memory loss" << false << 1 << 0;
        QTest::newRow("power cut keeps them") << "power cut" << false << 3 << 2;
    }

    void numbering() {
        QFETCH(QString, event);
        QFETCH(bool, deleteRenumbers);
        QFETCH(int, nextSeq);
        QFETCH(int, held);
        line_->withReader(2, [&](sim::Reader& r) {
            r.addRecords(2);
            r.setDeleteRenumbers(deleteRenumbers);
            if (event == "restart") r.restartNumbering();
            if (event == "memory loss") r.loseMemory(sim::Reader::MemoryLoss::Records);
            if (event == "power cut") r.loseMemory();
        });
        if (event == "C3") QCOMPARE(ask(frame(2, "C3"), 8), frame(2, "C3"));
        const auto [punched, records] = line_->withReader(
            2, [](sim::Reader& r) { return std::make_pair(r.punch(kFirstPunch), r.records().size()); });
        QCOMPARE(sim::recordSeq(punched), std::uint32_t(nextSeq));
        QCOMPARE(records, std::size_t(held));
        const QByteArray answer = frame(2, "C5", toQt(punched));
        QCOMPARE(ask(frame(2, "C5"), int(answer.size())).toHex(), answer.toHex());
    }

    void customerDownloadOverflow() {
        line_->withReader(4, [](sim::Reader& r) { r.setCapacity(2); });
        QCOMPARE(ask(frame(4, "D0"), 8), frame(4, "D0"));
        for (const char* customer : {"000000000105000001", "000000000205000002", "000000000305000003"})
            QCOMPARE(ask(frame(4, "D1", QByteArray::fromHex(customer)), 8), frame(4, "D1"));
        QCOMPARE(ask(frame(4, "D2"), 8), frame(4, "D9"));
        QCOMPARE(line_->withReader(4, [](sim::Reader& r) { return r.customers().size(); }), std::size_t(2));
        // A customer already held may come again without overflowing; the new record replaces it.
        ask(frame(4, "D0"), 8);
        ask(frame(4, "D1", QByteArray::fromHex("000000000105000009")), 8);
        QCOMPARE(ask(frame(4, "D2"), 8), frame(4, "D2"));
        const auto customers = line_->withReader(4, [](sim::Reader& r) { return r.customers(); });
        QCOMPARE(customers.begin()->second[8], std::uint8_t(9));
    }

    // The host writes a frame's body and its checksum apart; the logs keep it decoded and as
    // written, until cleared.
    void logs() {
        const QByteArray request = QByteArray::fromHex("0222645626325476032021");
        host_->send(request.left(9));
        QCOMPARE(ask(request.mid(9), 8).toHex(), QByteArray("02226e5323032029"));
        const auto frames = line_->frames(2);
        QCOMPARE(frames.size(), std::size_t(1));
        QCOMPARE(frames[0].code, std::string("D6"));
        QCOMPARE(toQt(frames[0].data).toHex(), QByteArray("123456"));
        QCOMPARE(toQt(frames[0].raw), request);
        QCOMPARE(toQt(frames[0].answer).toHex(), QByteArray("02226e5323032029"));
        QCOMPARE(toQt(line_->wireBytes()), request);
        QVERIFY(line_->frames(1).empty());
        line_->clearLogs();
        QVERIFY(line_->wireBytes().empty() && line_->frames(2).empty() && line_->lineEvents().empty());
    }
};

int runAnswerTests(int argc, char** argv) {
    AnswerTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "AnswerTest.moc"
