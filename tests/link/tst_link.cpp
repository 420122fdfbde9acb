// The frame codec and the transaction against an in-memory line.
#include "FakeLine.h"
#include "LineRetry.h"
#include "ReaderLink.h"
#include "ScriptedPrompts.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}
} // namespace

class LinkTest : public QObject {
    Q_OBJECT

    FakeLine line;
    int pumps = 0;
    ReaderLink link{line, virtualTimeEnv(line, [this](bool) {
                        ++pumps;
                        ++link.TickCount;
                    })};

    // Milliseconds on the line's clock since `from`.
    double since(std::int64_t from) const { return double(line.nowUs - from) / 1000; }
    // The moment the link reckons a request written now to have left the port.
    std::int64_t leaves(int bytes) const { return line.nowUs + link.timing().wireUs(bytes); }

private slots:
    void init() {
        // The clock goes on from test to test, as the link's idea of when the line is free does.
        const std::int64_t now = line.nowUs + 1'000'000;
        line = FakeLine();
        line.nowUs = now;
        link.ClearInput();
        link.ledger = OwedLedger();
        pumps = 0;
        link.ReaderCount = 1;
        link.timing().setSpeed(0);
        link.timing().setFraming(8, false, 1);
        link.timing().setAdapterLatencyMs(LineTiming::kDefaultAdapterLatencyMs);
    }

    void sendFrame_data() {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<int>("reader");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("A0 to reader 1") << QByteArray("A0") << 1 << QByteArray() << hex("022161502303 2F28");
        QTest::newRow("A0 to reader 12, sum 0x103")
            << QByteArray("A0") << 12 << QByteArray() << hex("022C61502303 2023");
        QTest::newRow("D6 to reader 2 with 12 34 56")
            << QByteArray("D6") << 2 << hex("123456") << hex("02226456263254760320 21");
        QTest::newRow("checksum 0x00 as two blanks")
            << QByteArray("A0") << 1 << hex("E7") << hex("0221615024070320 20");
        QTest::newRow("checksum 0xFF as //")
            << QByteArray("A0") << 1 << hex("E6") << hex("02216150240603 2F2F");
        QTest::newRow("data E3 wraps to 03, ETX still at L+2")
            << QByteArray("A0") << 1 << hex("E3") << hex("022161502403032F2C");
        QTest::newRow("broadcast address")
            << QByteArray("D1") << 153 << hex("01") << hex("02B96451242103 2B26");
    }
    void sendFrame() {
        QFETCH(QByteArray, command);
        QFETCH(int, reader);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, wire);
        line.input = "stale";
        if (data.isEmpty())
            link.SendFrame(command.constData(), reader);
        else
            link.SendDataFrame(command.constData(), data, reader);
        QCOMPARE(line.wire.toHex(' '), wire.toHex(' '));
        // The body and the checksum leave in two writes; stale input is gone first.
        QCOMPARE(line.writes.size(), 2);
        QCOMPARE(line.writes.last().size(), 2);
        QVERIFY(line.input.isEmpty());
    }

    void oneDataByteFrameIsNineBytes() {
        link.SendDataFrame("A0", 4, reinterpret_cast<const quint8*>("\x43"), 1);
        QCOMPARE(line.wire.size(), 9);
        QCOMPARE(quint8(line.wire.at(5)), quint8(0x63));
        QCOMPARE(line.wire.at(6), '\x03');
    }

    void digitHelpers() {
        QCOMPARE(ReaderLink::ByteToDigits(0x3A), QStringLiteral("3:"));
        QCOMPARE(ReaderLink::ByteToDigits(0x00), QStringLiteral("00"));
        QCOMPARE(ReaderLink::ByteToDigits(0xFF), QStringLiteral("??"));
        QCOMPARE(ReaderLink::ToBcd(59), quint8(0x59));
        QCOMPARE(ReaderLink::ToBcd(0), quint8(0x00));
        QCOMPARE(ReaderLink::YearToBcd(1999), (std::array<quint8, 2>{0x19, 0x99}));
        QCOMPARE(ReaderLink::YearToBcd(2004), (std::array<quint8, 2>{0x20, 0x04}));
        QVERIFY(ReaderLink::IsDigitChar('0') && ReaderLink::IsDigitChar('9'));
        QVERIFY(!ReaderLink::IsDigitChar('/') && !ReaderLink::IsDigitChar(':') &&
                !ReaderLink::IsDigitChar(' '));
    }

    void readReply_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("L");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<int>("reader");
        QTest::addColumn<char>("status");
        QTest::addColumn<QByteArray>("data");
        const QByteArray good = readerFrame("A0", 2, "C"); // 02 22 61 50 24 63 03 25 2D
        QByteArray badSum = good;
        badSum[8] = char(badSum[8] + 1);
        QTest::newRow("nothing") << QByteArray() << 4 << QByteArray("A0") << 2 << '0' << QByteArray();
        QTest::newRow("good A0 with C") << good << 4 << QByteArray("A0") << 2 << '1' << QByteArray("C");
        QTest::newRow("no STX") << good.mid(1) << 4 << QByteArray("A0") << 2 << '5' << QByteArray();
        QTest::newRow("another reader, good checksum")
            << readerFrame("A0", 3, "C") << 4 << QByteArray("A0") << 2 << '6' << QByteArray();
        QTest::newRow("bad checksum, exactly L+5")
            << badSum << 4 << QByteArray("A0") << 2 << '2' << QByteArray();
        QTest::newRow("bad checksum, one more byte")
            << badSum + "x" << 4 << QByteArray("A0") << 2 << '4' << QByteArray();
        QTest::newRow("wrong echo, L+5 bytes")
            << readerFrame("B0", 2, "C") << 4 << QByteArray("A0") << 2 << '2' << QByteArray();
        QTest::newRow("truncated") << good.left(6) << 4 << QByteArray("A0") << 2 << '4' << QByteArray();
        QTest::newRow("N0 whole") << readerFrame("N0", 2) << 19 << QByteArray("C1") << 2 << '3'
                                  << QByteArray();
        QTest::newRow("N0 with a bad checksum is a bad answer")
            << hex("02226E5023032020") << 19 << QByteArray("C1") << 2 << '4' << QByteArray();
        QByteArray flipped = readerFrame("C5", 1, QByteArray(16, '\x11'));
        flipped[3] = char('7' + 0x20); // a flipped bit: the length kept, the checksum now wrong
        QTest::newRow("a record that reads C7 by a flipped bit is a bad answer")
            << flipped << 19 << QByteArray("C5") << 1 << '2' << QByteArray();
        QTest::newRow("C7 cut short")
            << readerFrame("C7", 1).left(7) << 19 << QByteArray("C5") << 1 << '4' << QByteArray();
        QTest::newRow("a good frame of another length")
            << readerFrame("A0", 2, "CC") << 4 << QByteArray("A0") << 2 << '4' << QByteArray();
        QTest::newRow("C6") << readerFrame("C6", 1) << 19 << QByteArray("C1") << 1 << 'A' << QByteArray();
        QTest::newRow("C7") << readerFrame("C7", 1) << 19 << QByteArray("C5") << 1 << 'B' << QByteArray();
        QTest::newRow("N1") << readerFrame("N1", 1) << 12 << QByteArray("D4") << 1 << 'C' << QByteArray();
        QTest::newRow("two answers: the first counts")
            << good + readerFrame("A0", 2, "D") << 4 << QByteArray("A0") << 2 << '1' << QByteArray("C");
        QTest::newRow("data above E0 wraps back")
            << readerFrame("C4", 1, hex("E31234")) << 6 << QByteArray("C4") << 1 << '1' << hex("E31234");
    }
    void readReply() {
        QFETCH(QByteArray, input);
        QFETCH(int, L);
        QFETCH(QByteArray, command);
        QFETCH(int, reader);
        QFETCH(char, status);
        QFETCH(QByteArray, data);
        line.input = input;
        const Reply reply = link.ReadReply(L, command.constData(), reader);
        QCOMPARE(reply.status, status);
        QCOMPARE(reply.data.toHex(), data.toHex());
        QVERIFY(line.input.isEmpty());
    }

    void readWriteAck_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("result");
        QByteArray badSum = readerFrame("N0", 1);
        badSum[7] = char(badSum[7] ^ 1);
        QTest::newRow("nothing") << QByteArray() << 0;
        QTest::newRow("echo") << readerFrame("C3", 1) << 1;
        // Another reader's late echo read in this one's window.
        QTest::newRow("echo from another reader") << readerFrame("C3", 9) << 2;
        QTest::newRow("other code") << readerFrame("C0", 1) << 2;
        QTest::newRow("N0") << readerFrame("N0", 1) << 3;
        QTest::newRow("N0 with a bad checksum") << badSum << 2;
        QTest::newRow("N2") << readerFrame("N2", 1) << 4;
        QTest::newRow("N3") << readerFrame("N3", 1) << 5;
        QTest::newRow("N4") << readerFrame("N4", 1) << 6;
        QTest::newRow("D9") << readerFrame("D9", 1) << 7;
        QTest::newRow("short") << readerFrame("C3", 1).left(5) << 2;
        QTest::newRow("no STX") << QByteArray("x") + readerFrame("C3", 1).mid(1) << 2;
        QTest::newRow("a frame with data") << readerFrame("C3", 1, "C") << 2;
    }
    void readWriteAck() {
        QFETCH(QByteArray, input);
        QFETCH(int, result);
        link.SendFrame("C3", 1);
        line.input = input;
        QCOMPARE(link.ReadWriteAck("C3"), result);
    }

    void reportWriteAckShowsTheTextOfEachFailure_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << QByteArray() << QStringLiteral("응답이 없습니다");
        QTest::newRow("2") << readerFrame("D1", 1) << QStringLiteral("리더데이터가 부정확합니다");
        QTest::newRow("3") << readerFrame("N0", 1) << QStringLiteral("제전송요청!");
        QTest::newRow("4") << readerFrame("N2", 1)
                           << QStringLiteral("중복된 번호이거나 최대고객수가 초과되었습니다!");
        QTest::newRow("5") << readerFrame("N3", 1) << QStringLiteral("삭제불가-존재하지 않는 고객입니다");
        QTest::newRow("6") << readerFrame("N4", 1) << QStringLiteral("변경불가-존재하지 않는 고객입니다");
        QTest::newRow("7") << readerFrame("D9", 1)
                           << QStringLiteral("리더 메모리부족 - 다운로드건수를 줄이십시요");
    }
    void reportWriteAckShowsTheTextOfEachFailure() {
        QFETCH(QByteArray, input);
        QFETCH(QString, text);
        ScriptedPrompts prompts;
        line.input = input;
        QCOMPARE(link.ReportWriteAck("D2"), 0);
        QCOMPARE(prompts.boxes.size(), 1);
        QCOMPARE(prompts.boxes[0].text, text);
        QCOMPARE(prompts.boxes[0].caption, QStringLiteral("에러"));

        line.input = readerFrame("D2", 1);
        QCOMPARE(link.ReportWriteAck("D2"), 1);
        QCOMPARE(prompts.boxes.size(), 1);
    }

    // More input than any receive buffer holds: nothing overruns and nothing survives.
    void floodsAreDroppedWhole() {
        QByteArray flood = readerFrame("A0", 1, "C");
        flood += QByteArray(700, '\x55');
        line.input = flood;
        QCOMPARE(link.ReadReply(4, "A0", 1).status, '1');
        QVERIFY(line.input.isEmpty());
        line.input = readerFrame("C3", 1) + QByteArray(300, '\x02');
        QCOMPARE(link.ReadWriteAck("C3"), 1);
        QVERIFY(line.input.isEmpty());
        line.input = QByteArray(1000, '\x02');
        link.ClearInput();
        QVERIFY(line.input.isEmpty());
    }

    // Random byte streams never read or write outside a buffer (the sanitizer build checks).
    void randomInputNeverCrashes() {
        QRandomGenerator rng(20040315);
        for (int i = 0; i < 100000; ++i) {
            const int size = int(rng.bounded(i % 10 == 0 ? 700 : 40));
            QByteArray bytes(size, '\0');
            for (char& c : bytes) c = char(rng.bounded(256));
            if (size > 0 && rng.bounded(2)) bytes[0] = '\x02';
            line.input = bytes;
            const int L = int(rng.bounded(3, 60));
            const Reply reply = link.ReadReply(L, "C1", int(rng.bounded(1, 13)));
            QVERIFY(reply.status != '1' || reply.data.size() == L - 3);
            line.input = bytes;
            const int ack = link.ReadWriteAck("D1");
            QVERIFY(ack >= 0 && ack <= 7);
        }
    }

    // The main timer runs only while WaitTicks counts its ticks.
    void waitTicksEndsAtTheFourthTick() {
        QList<QPair<bool, int>> ticking; // on or off, and the events handled by then
        link.setTickSource([&](bool run) { ticking << qMakePair(run, pumps); });
        line.input = readerFrame("C4", 1, hex("000012"));
        QVERIFY(link.WaitTicks(3));
        link.setTickSource({});
        QCOMPARE(ticking, (QList<QPair<bool, int>>{{true, 0}, {false, 4}}));
        QCOMPARE(pumps, 4);
        link.ClearInput();
        link.ledger = OwedLedger();
        pumps = 0;
        QVERIFY(!link.WaitTicks(3));
        QCOMPARE(pumps, 4);
    }

    // What a frame's wire time is at each speed and framing.
    void wireTime_data() {
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<bool>("parity");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<int>("us");
        QTest::newRow("unknown speed costs nothing") << 0 << 8 << false << 1 << 24 << 0;
        QTest::newRow("8 bytes at 1200") << 1200 << 8 << false << 1 << 8 << 66667;
        QTest::newRow("24 bytes at 9600") << 9600 << 8 << false << 1 << 24 << 25000;
        QTest::newRow("7E2 is 11 bits a byte") << 9600 << 7 << true << 2 << 24 << 27500;
        QTest::newRow("57 bytes at 19200") << 19200 << 8 << false << 1 << 57 << 29688;
    }
    void wireTime() {
        QFETCH(int, speed);
        QFETCH(int, dataBits);
        QFETCH(bool, parity);
        QFETCH(int, stopBits);
        QFETCH(int, bytes);
        QFETCH(int, us);
        LineTiming timing;
        timing.setSpeed(speed);
        timing.setFraming(dataBits, parity, stopBits);
        QCOMPARE(timing.wireUs(bytes), std::int64_t(us));
    }

    void awaitInputGivesUpAfter205Ms() {
        const std::int64_t start = line.nowUs;
        QVERIFY(!link.AwaitInput(25));
        QVERIFY2(since(start) >= 205 && since(start) < 212, qPrintable(QString::number(since(start))));
    }

    // A record answer handed over in adapter bursts at each speed: the answer is read as soon as
    // its last piece is in, and never cut short.
    void awaitInputReadsTheWholeAnswer_data() {
        QTest::addColumn<int>("speed");
        QTest::newRow("1200") << 1200;
        QTest::newRow("2400") << 2400;
        QTest::newRow("9600") << 9600;
        QTest::newRow("19200") << 19200;
    }
    void awaitInputReadsTheWholeAnswer() {
        QFETCH(int, speed);
        link.timing().setSpeed(speed);
        const QByteArray answer = readerFrame("C1", 1, hex("00000100000123450120040315085930"));
        const std::int64_t left = leaves(8);
        link.SendFrame("C1", 1);
        // The reader answers 3 ms after the request has left; the adapter hands over every 16 ms.
        const std::int64_t firstUs = left + 3000 + link.timing().wireUs(1);
        std::int64_t at = firstUs - firstUs % 16000 + 16000;
        int given = 0;
        while (given < answer.size()) {
            const int done =
                int(std::min<std::int64_t>(answer.size(), (at - firstUs) / link.timing().wireUs(1) + 1));
            line.arriveAt(at, answer.mid(given, done - given));
            given = done;
            at += 16000;
        }
        const std::int64_t lastPiece = at - 16000;
        QVERIFY(link.AwaitInput(25));
        QVERIFY2(line.nowUs >= lastPiece && since(lastPiece) <= 2,
                 qPrintable(QString::number(since(lastPiece))));
        QCOMPARE(link.ReadReply(19, "C1", 1).status, '1');
    }

    // A short answer code where a record was expected is whole by its own length value: it is
    // read as soon as it is in, without waiting for the line to go quiet.
    void shortAnswerIsWholeByItsLength() {
        link.timing().setSpeed(9600);
        link.SendFrame("C1", 1);
        line.arriveAt(line.nowUs + 30000, readerFrame("C6", 1));
        const std::int64_t start = line.nowUs;
        QVERIFY(link.AwaitInput(25));
        QVERIFY2(since(start) >= 30 && since(start) <= 32, qPrintable(QString::number(since(start))));
        QCOMPARE(link.ReadReply(19, "C1", 1).status, 'A');
    }

    // A cut answer is given the settle time after its first byte, and then ends when the line
    // has been quiet for the inter-byte time.
    void cutAnswerIsGivenItsTime() {
        link.timing().setSpeed(9600);
        link.SendFrame("C1", 1);
        line.arriveAt(line.nowUs + 10000,
                      readerFrame("C1", 1, hex("00000100000123450120040315085930")).left(10));
        const std::int64_t start = line.nowUs;
        QVERIFY(link.AwaitInput(25));
        const double quietAt = 10 + link.timing().interByteMs();
        QVERIFY2(since(start) >= quietAt && since(start) < quietAt + 3,
                 qPrintable(QString::number(since(start))));
        QCOMPARE(link.ReadReply(19, "C1", 1).status, '4');
    }

    // The next request leaves 3.5 characters' time (3.65 ms at 9600 bit/s) after the last byte
    // heard, so that the reader has turned its line around; after a quieter line, at once.
    void requestWaitsForTheReaderToTurnAround() {
        link.timing().setSpeed(9600);
        std::int64_t sentUs = 0;
        line.responder = [&](const QByteArray&) {
            sentUs = line.nowUs;
            return QByteArray();
        };
        link.SendFrame("C1", 1);
        line.arriveAt(line.nowUs + 20000, readerFrame("C6", 1));
        QVERIFY(link.AwaitInput(25));
        const std::int64_t heardUs = line.nowUs;
        QCOMPARE(link.ReadReply(19, "C1", 1).status, 'A');
        link.SendFrame("A0", 2);
        QCOMPARE(sentUs - heardUs, link.timing().readerGapUs());
        QCOMPARE(link.timing().readerGapUs(), std::int64_t(3646));

        link.AwaitAnswer(0);
        const std::int64_t quietUs = line.nowUs;
        link.SendFrame("A0", 2);
        QCOMPARE(sentUs, quietUs);
    }

    // Bytes that are no frame end when the line has been quiet for the inter-byte time.
    void garbageEndsWhenTheLineIsQuiet() {
        link.timing().setSpeed(9600);
        link.SendFrame("A0", 1);
        line.arriveAt(line.nowUs + 20000, "noise");
        const std::int64_t start = line.nowUs;
        link.AwaitAnswer(0);
        const double quietAt = 20 + link.timing().interByteMs();
        QVERIFY2(since(start) >= quietAt && since(start) < quietAt + 5,
                 qPrintable(QString::number(since(start))));
        QCOMPARE(link.ReadReply(4, "A0", 1).status, '5');
    }

    // The plain waits count from the moment the request has left the port, not from the write:
    // a 56-byte table takes 467 ms at 1200 bit/s before the reader even has it.
    void plainWaitsCountFromTheRequestLeaving() {
        link.timing().setSpeed(1200);
        const QByteArray table(48, '\x01');
        const std::int64_t left = leaves(56);
        link.SendDataFrame("B3", table, 1);
        link.AwaitAnswer(100);
        QVERIFY(line.nowUs >= left + 100000);
        QVERIFY(since(left) < 100 + link.timing().firstByteMs());

        const std::int64_t pausedFrom = leaves(8);
        link.SendFrame("D2", 1);
        line.arriveAt(pausedFrom + 50000, readerFrame("D2", 1));
        link.PauseAfterRequest(1);
        QVERIFY(line.nowUs >= pausedFrom + 1000 && line.nowUs < pausedFrom + 4000);
        QCOMPARE(link.ReadWriteAck("D2"), 0);
    }

    // Frames written back to back queue on the wire: the wait after the last counts from when
    // all of them have left.
    void requestsQueueBehindEachOther() {
        link.timing().setSpeed(1200);
        const std::int64_t start = line.nowUs;
        link.SendFrame("D2", 1);
        link.SendFrame("D2", 2);
        link.SendFrame("D2", 3);
        link.AwaitAnswer(0);
        QVERIFY2(since(start) >= 3 * 66.6 && since(start) < 3 * 66.7 + link.timing().firstByteMs() + 5,
                 qPrintable(QString::number(since(start))));
    }

    // An answer that starts later than the first-byte time-out counts as none.
    void lateAnswerCountsAsNone() {
        link.timing().setSpeed(9600);
        link.SendFrame("A0", 1);
        line.arriveAt(line.nowUs + 400000, readerFrame("A0", 1, "C"));
        link.AwaitAnswer(100);
        QCOMPARE(link.ReadReply(4, "A0", 1).status, '0');
    }

    void replyCodeNamesWholeFrames_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("code");
        QByteArray badSum = readerFrame("C0", 1);
        badSum[7] = char(badSum[7] ^ 1);
        QTest::newRow("a repeated C0 acknowledgement") << readerFrame("C0", 1) << QByteArray("C0");
        QTest::newRow("a batch record where an on-line one was asked for")
            << readerFrame("C1", 1, hex("00000100000123450120040315085930")) << QByteArray("C1");
        QTest::newRow("bad checksum") << badSum << QByteArray();
        QTest::newRow("another reader") << readerFrame("C0", 2) << QByteArray();
        QTest::newRow("cut short") << readerFrame("C1", 1, hex("0000")).left(8) << QByteArray();
    }
    void replyCodeNamesWholeFrames() {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, code);
        line.input = input;
        QCOMPARE(link.ReadReply(19, "C5", 1).code, code);
    }

    void closedLineRaisesOnRead() {
        line.open = false;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, link.ReadReply(4, "A0", 1));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, link.ReadWriteAck("C3"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, link.ClearInput());
        QVERIFY(!link.AwaitInput(1));
    }

    void checkReadersAsksAboutFailedReaders() {
        ScriptedPrompts prompts;
        link.ReaderCount = 8;
        line.responder = [](const QByteArray& frame) {
            const int reader = frame.at(1) - 0x20;
            return reader == 3 || reader == 7 ? QByteArray() : readerFrame("A0", reader, "C");
        };
        prompts.answers = {false};
        const std::int64_t start = line.nowUs;
        QVERIFY(link.CheckReaders());
        QVERIFY2(since(start) >= 8 * 100 && since(start) < 8 * 100 + 50, // 100 ms after each "A0"
                 qPrintable(QString::number(since(start))));
        QCOMPARE(prompts.boxes.size(), 1);
        QCOMPARE(prompts.boxes[0].text,
                 QStringLiteral("현재  3번 7번리더에서 에러가 검출되었습니다, 그래도 진행하겠습니까?"));
        QCOMPARE(prompts.boxes[0].caption, QStringLiteral("에러발생"));
        QVERIFY(prompts.boxes[0].confirmation);
        QCOMPARE(line.frames.size(), 8);
        prompts.answers = {true};
        QVERIFY(!link.CheckReaders());
    }

    void checkReadersIsSilentWhenAllAnswer() {
        ScriptedPrompts prompts;
        link.ReaderCount = 12;
        line.responder = [](const QByteArray& frame) { return readerFrame("A0", frame.at(1) - 0x20, "C"); };
        QVERIFY(!link.CheckReaders());
        QVERIFY(prompts.boxes.isEmpty());
        QCOMPARE(line.frames.size(), 12);
        QCOMPARE(line.frames.last().toHex(), hex("022C615023032023").toHex());
    }

    // The ledger as a killed program leaves it (plain writes only) is taken up whole by the next.
    void ledgerOutlivesTheProgram() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromLatin1(OwedLedger::kFileName));
        const QByteArray record = hex("00012300000123450120040315085930");
        {
            OwedLedger ledger;
            ledger.attach(path, false);
            QVERIFY(!ledger.anyOwed());
            ledger.markOwed(3, 'B');
            ledger.markOwed(2, 'A');
            ledger.settle(2, record);
        }
        OwedLedger next;
        next.attach(path, true);
        QVERIFY(next.owed(3) && !next.owed(2) && !next.owed(1));
        QCOMPARE(next.kind(3), 'B');
        QCOMPARE(next.pending(2).toHex(), record.toHex());
        QVERIFY(next.pending(3).isEmpty());
    }

    // What the file says after the computer went down: trusted when this run of the computer
    // wrote it or when it was forced to the disk after its last change, else every reader owed.
    void ledgerAfterAPowerCut_data() {
        QTest::addColumn<QByteArray>("boot");
        QTest::addColumn<QByteArray>("synced");
        QTest::addColumn<int>("cut");
        QTest::addColumn<bool>("history");
        QTest::addColumn<bool>("allOwed");
        QTest::newRow("this run") << QByteArray() << QByteArray("0") << 0 << true << false;
        QTest::newRow("an earlier run, forced")
            << QByteArray("earlier") << QByteArray("1") << 0 << true << false;
        QTest::newRow("an earlier run, not forced")
            << QByteArray("earlier") << QByteArray("0") << 0 << true << true;
        QTest::newRow("cut short") << QByteArray() << QByteArray("0") << 30 << true << true;
        QTest::newRow("missing, records collected before")
            << QByteArray() << QByteArray() << -1 << true << true;
        QTest::newRow("missing, nothing ever collected")
            << QByteArray() << QByteArray() << -1 << false << false;
    }
    void ledgerAfterAPowerCut() {
        QFETCH(QByteArray, boot);
        QFETCH(QByteArray, synced);
        QFETCH(int, cut);
        QFETCH(bool, history);
        QFETCH(bool, allOwed);
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromLatin1(OwedLedger::kFileName));
        {
            OwedLedger ledger;
            ledger.attach(path, false);
            ledger.markOwed(5, 'A');
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray text = file.readAll();
        if (!boot.isEmpty()) text.replace(text.indexOf("boot ") + 5, boot.size(), boot);
        if (!synced.isEmpty()) text.replace(text.indexOf("synced ") + 7, 1, synced);
        if (cut > 0) text.chop(cut);
        file.resize(0);
        file.write(text);
        file.close();
        if (cut < 0) QFile::remove(path);
        OwedLedger after;
        after.attach(path, history);
        for (int reader = 1; reader <= OwedLedger::kReaders; ++reader)
            QCOMPARE(after.owed(reader), allOwed || (reader == 5 && cut == 0));
        // What was found is forced to the disk at once, and taken up the same way again.
        OwedLedger again;
        again.attach(path, history);
        QCOMPARE(again.owed(1), allOwed);
    }

    // A reader that may hold a record not stored gets nothing but "N0": another request first
    // asks the settler, and is not sent while the reader is still owed after it. "C1" and "C5"
    // mark a reader owed before they leave; a broadcast waits for every configured reader.
    void onlyN0GoesToAnOwedReader() {
        link.ReaderCount = 3;
        QList<int> asked;
        bool settles = false;
        link.gate.setSettler([&](int reader) {
            asked << reader;
            link.SendFrame("N0", reader);
            if (settles) link.ledger.settle(reader, {});
        });
        link.SendFrame("C5", 2);
        QVERIFY(link.ledger.owed(2) && !link.ledger.owed(1));
        QCOMPARE(link.ledger.kind(2), 'A');
        line.frames.clear();
        const auto sent = [this] {
            QStringList out;
            for (const QByteArray& f : line.frames)
                out << QStringLiteral("%1%2@%3")
                           .arg(QChar(f.at(2) - 0x20))
                           .arg(QChar(f.at(3) - 0x20))
                           .arg(quint8(f.at(1)) - 0x20);
            return out;
        };
        link.SendFrame("A0", 2);
        link.SendFrame("A0", 1);
        link.SendDataFrame("D1", QByteArray(9, '\0'), ReaderLink::kBroadcastAddress);
        QCOMPARE(asked, QList<int>({2, 2}));
        QCOMPARE(sent(), QStringList({"N0@2", "A0@1", "N0@2"}));
        settles = true;
        link.SendDataFrame("D1", QByteArray(9, '\0'), ReaderLink::kBroadcastAddress);
        QCOMPARE(asked, QList<int>({2, 2, 2}));
        QCOMPARE(sent(), QStringList({"N0@2", "A0@1", "N0@2", "N0@2", "D1@153"}));
        QVERIFY(!link.ledger.anyOwed());
        // Held back, a request reads as held, not as a silent reader.
        settles = false;
        link.SendFrame("C5", 3);
        link.SendFrame("A0", 3);
        QCOMPARE(link.ReadReply(4, "A0", 3).status, Reply::Held);
        QCOMPARE(link.ReadWriteAck("A0"), int(AckHeld));
        // "C0" goes to an owed reader as it is, and its whole acknowledgement settles it: the
        // reader hands out again whatever it had in flight.
        line.frames.clear();
        link.SendFrame("C0", 3);
        QCOMPARE(sent(), QStringList({"C0@3"}));
        line.input = readerFrame("C0", 2);
        QCOMPARE(link.ReadWriteAck("C0"), int(AckBad));
        QVERIFY(link.ledger.owed(3));
        link.SendFrame("C0", 3);
        line.input = readerFrame("C0", 3);
        QCOMPARE(link.ReadWriteAck("C0"), int(AckDone));
        QVERIFY(!link.ledger.owed(3));
        QCOMPARE(asked, QList<int>({2, 2, 2, 3}));
        link.gate.setSettler({});
    }

    // qrx closed after the collector worked beside it leaves the collector's ledger as it is:
    // the reader the collector left owed stays owed.
    void checkpointKeepsAnotherProgramsLedger() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromLatin1(OwedLedger::kFileName));
        OwedLedger qrx;
        qrx.attach(path, false);
        qrx.markOwed(2, 'A');
        qrx.settle(2, {});
        OwedLedger collector;
        collector.attach(path, false);
        collector.markOwed(3, 'A');
        qrx.checkpoint();
        OwedLedger next;
        next.attach(path, false);
        QVERIFY(next.owed(3));
        // Its own file it forces as it is.
        collector.checkpoint();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("synced 1"));
    }

    // The waits before the port is opened again grow to 4 s; they begin afresh only after the
    // line stayed up a while, so a line lost soon after every reopen is tried ever more slowly.
    void lineRetryBacksOffOnAFlappingLine() {
        LineRetry retry;
        QCOMPARE(retry.nextWaitMs(), 500);
        QCOMPARE(retry.nextWaitMs(), 1000);
        retry.opened(0);
        retry.lost(2000);
        QCOMPARE(retry.nextWaitMs(), 2000);
        retry.opened(10000);
        retry.lost(12000);
        QCOMPARE(retry.nextWaitMs(), 4000);
        QCOMPARE(retry.nextWaitMs(), 4000);
        retry.opened(20000);
        retry.lost(20000 + LineRetry::kSteadyMs);
        QCOMPARE(retry.nextWaitMs(), 500);
    }

    void questionNamesReadersWithoutPadding() {
        bool failed[12] = {};
        failed[0] = failed[9] = true;
        QCOMPARE(readerErrorQuestion(failed, 12),
                 QStringLiteral("현재  1번 10번리더에서 에러가 검출되었습니다, 그래도 진행하겠습니까?"));
    }
};

QTEST_GUILESS_MAIN(LinkTest)
#include "tst_link.moc"
