// What the administration exchanges send, how they read the answer and which text results,
// against an in-memory line; and the attendance-mode table built from the schedule file.
#include "AdminTests.h"
#include "FakeLine.h"
#include "FileError.h"
#include "ModeTable.h"
#include "ReaderClock.h"
#include "ReaderLink.h"
#include "RecordCount.h"
#include "StatusPoll.h"

#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {
QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}
// A reader's answer with its second checksum character spoilt.
QByteArray badChecksum(QByteArray frame) {
    frame[frame.size() - 1] = char(frame.at(frame.size() - 1) ^ 0x01);
    return frame;
}
ClockSnapshot snapshot(int y, int mo, int d, int dow, int h, int mi, int s) {
    ClockSnapshot c;
    c.year = y;
    c.month = mo;
    c.day = d;
    c.dayOfWeek = dow;
    c.hour = h;
    c.minute = mi;
    c.second = s;
    return c;
}
} // namespace

Q_DECLARE_METATYPE(ClockSnapshot)

class ProtocolTest : public QObject {
    Q_OBJECT

    FakeLine line;
    QList<int> sleeps;
    ReaderLink link{line, LinkEnv{[this](bool) { ++link.TickCount; }, [this](int ms) { sleeps << ms; }}};

    // The reader answers the next request with `answer` (nothing when empty).
    void answerWith(const QByteArray& answer) {
        line.responder = [answer](const QByteArray&) { return answer; };
    }

private slots:
    void init() {
        line = FakeLine();
        sleeps.clear();
    }

    // --- status poll ---
    void statusPoll_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("text");
        QTest::newRow("normal") << readerFrame("A0", 3, "C") << "  통신성공 - 정상작동중";
        QTest::newRow("other status byte") << readerFrame("A0", 3, "E") << "    수신 데이터 이상";
        QTest::newRow("silent") << QByteArray() << "  리더가 응답이없습니다";
        QTest::newRow("another reader's id") << readerFrame("A0", 4, "C") << "     수신데이터 에러";
        QTest::newRow("bad checksum") << badChecksum(readerFrame("A0", 3, "C")) << "     수신데이터 에러";
        QTest::newRow("N0") << readerFrame("N0", 3) << "     수신데이터 에러";
        QTest::newRow("cut short") << readerFrame("A0", 3, "C").left(5) << "     수신데이터 에러";
    }
    void statusPoll() {
        QFETCH(QByteArray, answer);
        QFETCH(QString, text);
        answerWith(answer);
        QCOMPARE(statusText(pollStatus(link, 3)), text);
        QCOMPARE(line.wire, hex("022361502303 2F2A"));
        QCOMPARE(sleeps, QList<int>{300});
    }

    // --- clock ---
    void clockBlock_data() {
        QTest::addColumn<ClockSnapshot>("clock");
        QTest::addColumn<QByteArray>("block");
        QTest::newRow("Saturday afternoon")
            << snapshot(2007, 12, 8, 6, 13, 45, 30) << hex("2007120806134530");
        QTest::newRow("Sunday is 00") << snapshot(2007, 12, 9, 0, 0, 0, 0) << hex("2007120900000000");
        QTest::newRow("last second of 1999")
            << snapshot(1999, 12, 31, 5, 23, 59, 59) << hex("1999123105235959");
    }
    void clockBlock() {
        QFETCH(ClockSnapshot, clock);
        QFETCH(QByteArray, block);
        QCOMPARE(::clockBlock(clock), block);
    }

    void clockTexts() {
        QCOMPARE(computerClockText(snapshot(2007, 12, 8, 6, 13, 45, 30)), "2007.12.08 13:45:30 ");
        QCOMPARE(computerClockText(snapshot(2008, 1, 5, 6, 7, 5, 9)), "2008.01.05 07:05:09 ");
        QCOMPARE(readerClockText(hex("2007120806134530")), "2007.12.08 13:45:30");
        // The digits are shown as they come: a nibble above 9 shows as the character after '9'.
        QCOMPARE(readerClockText(hex("20071A0806134530")), "2007.1:.08 13:45:30");
    }

    void clockRead_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("text");
        QTest::newRow("block") << readerFrame("B0", 1, hex("2007120806134530")) << "  2007.12.08 13:45:30";
        QTest::newRow("silent") << QByteArray() << "    응답이 없습니다";
        QTest::newRow("bad checksum")
            << badChecksum(readerFrame("B0", 1, hex("2007120806134530"))) << "   수신데이터 에러";
        QTest::newRow("short block") << readerFrame("B0", 1, hex("20071208")) << "   수신데이터 에러";
    }
    void clockRead() {
        QFETCH(QByteArray, answer);
        QFETCH(QString, text);
        answerWith(answer);
        QCOMPARE(clockCheckText(readReaderClock(link, 1)), text);
        QCOMPARE(line.wire, readerFrame("B0", 1));
        QCOMPARE(sleeps, QList<int>{200});
    }

    void clockSet_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("text");
        QTest::newRow("B0 with the clock")
            << readerFrame("B0", 2, hex("2007120900101112")) << "2007.12.09 10:11:12";
        QTest::newRow("silent") << QByteArray() << "  응답이 없습니다";
        QTest::newRow("echoes B1") << readerFrame("B1", 2, hex("2007120900101112")) << "   수신데이터 에러";
        QTest::newRow("another reader")
            << readerFrame("B0", 5, hex("2007120900101112")) << "   수신데이터 에러";
    }
    void clockSet() {
        QFETCH(QByteArray, answer);
        QFETCH(QString, text);
        answerWith(answer);
        const QByteArray block = hex("2007120900101112");
        QCOMPARE(clockSetText(setReaderClock(link, 2, block)), text);
        // A request with data has the layout of an answer: STX, address, "B1", L = 11, block.
        QCOMPARE(line.wire, readerFrame("B1", 2, block));
        QCOMPARE(line.writes.last().size(), 2); // the checksum leaves on its own
        QCOMPARE(sleeps, QList<int>{200});
    }

    // --- record count and delete ---
    void recordCount_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("text");
        QTest::newRow("123456") << readerFrame("C4", 7, hex("123456")) << "  123456건";
        QTest::newRow("none, zeros kept") << readerFrame("C4", 7, hex("000000")) << "  000000건";
        QTest::newRow("123") << readerFrame("C4", 7, hex("000123")) << "  000123건";
        QTest::newRow("silent") << QByteArray() << " 응답이 없음";
        QTest::newRow("N0") << readerFrame("N0", 7) << " 데이터 에러";
        QTest::newRow("another reader") << readerFrame("C4", 8, hex("000001")) << " 데이터 에러";
        QTest::newRow("bad checksum") << badChecksum(readerFrame("C4", 7, hex("000001"))) << " 데이터 에러";
    }
    void recordCount() {
        QFETCH(QByteArray, answer);
        QFETCH(QString, text);
        answerWith(answer);
        link.TickCount = 100;
        QCOMPARE(recordCountText(askRecordCount(link, 7)), text);
        QCOMPARE(line.wire, readerFrame("C4", 7));
        QCOMPARE(link.TickCount, 4); // WaitTicks(3): the fourth tick ends the wait
    }

    void deleteRecords_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("text");
        QTest::newRow("acknowledged") << readerFrame("C3", 1) << 1 << "수집자료가 삭제되었습니다";
        QTest::newRow("silent") << QByteArray() << 0 << "    응답이 없습니다";
        QTest::newRow("N0 refusal") << readerFrame("N0", 1) << 3 << "    수신데이터 에러";
        QTest::newRow("bad checksum") << badChecksum(readerFrame("C3", 1)) << 2 << "    수신데이터 에러";
        QTest::newRow("other command") << readerFrame("C4", 1) << 2 << "    수신데이터 에러";
    }
    void deleteRecords() {
        QFETCH(QByteArray, answer);
        QFETCH(int, result);
        QFETCH(QString, text);
        answerWith(answer);
        const int got = ::deleteRecords(link, 1);
        QCOMPARE(got, result);
        QCOMPARE(deleteResultText(got), text);
        QCOMPARE(line.wire, readerFrame("C3", 1));
        QCOMPARE(sleeps, QList<int>{200});
    }

    // --- attendance-mode table ---
    void modeRecord_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("record");
        QTest::newRow("zone 1, 08:30-09:00, arrival") << QByteArray("1 08:30 09:00 1") << hex("010108300900");
        QTest::newRow("any separators") << QByteArray("2|12-00~13.00/2") << hex("020212001300");
        QTest::newRow("rest of a long line ignored")
            << QByteArray("3 17:00 18:30 2 evening") << hex("030217001830");
        QTest::newRow("mode 7 sent as it is") << QByteArray("4 00:00 23:59 7") << hex("040700002359");
        QTest::newRow("blank high digit packs like 0")
            << QByteArray("1  8:30  9:00 1") << hex("010108300900");
        QTest::newRow("non-digit by the arithmetic") << QByteArray("A 0::?0 09:00 1") << hex("11010AF00900");
        QTest::newRow("missing mode counts as 0") << QByteArray("1 08:30 09:00") << hex("010008300900");
        QTest::newRow("short line: the rest is 0") << QByteArray("5 17") << hex("050017000000");
        QTest::newRow("empty line is a zero record") << QByteArray() << hex("000000000000");
    }
    void modeRecord() {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, record);
        QCOMPARE(::modeRecord(line).toHex(), record.toHex());
    }

    void modeTable_data() {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("records");
        QTest::newRow("no lines") << 0 << 0;
        QTest::newRow("three lines, five zero records") << 3 << 3;
        QTest::newRow("eight lines") << 8 << 8;
        QTest::newRow("eleven lines: the rest ignored") << 11 << 8;
    }
    void modeTable() {
        QFETCH(int, lines);
        QFETCH(int, records);
        QList<QByteArray> text;
        for (int k = 0; k < lines; ++k)
            text << QStringLiteral("%1 %2:15 %2:45 %3").arg(k % 10).arg(k + 10).arg(k % 5).toLatin1();
        const QByteArray table = ::modeTable(text);
        QCOMPARE(table.size(), kModeTableSize);
        for (int k = 0; k < kModeRecords; ++k) {
            const QByteArray want = k < records ? ::modeRecord(text[k]) : QByteArray(kModeRecordSize, '\0');
            QCOMPARE(table.mid(k * kModeRecordSize, kModeRecordSize).toHex(), want.toHex());
        }
    }

    void scheduleFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("TDATA.TXT");
        QVERIFY(!readScheduleFile(path));
        QVERIFY(QDir(dir.path()).mkdir("DIR.TXT"));
        QVERIFY(!readScheduleFile(dir.filePath("DIR.TXT")));

        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        // CR LF lines, a line past 200 characters, and more lines than the table holds.
        f.write("1 08:30 09:00 1\r\n2 12:00 13:00 3\r\n");
        f.write("3 18:00 19:00 2" + QByteArray(300, 'x') + "\r\n");
        for (int k = 0; k < 9; ++k) f.write("9 23:00 23:30 4\r\n");
        f.close();
        const std::optional<QByteArray> table = readScheduleFile(path);
        QVERIFY(table);
        QCOMPARE(table->toHex(),
                 (hex("010108300900 020312001300 030218001900") + hex("090423002330").repeated(5)).toHex());

        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("1 08:30 09:00 1\n");
        f.close();
        QCOMPARE(readScheduleFile(path)->toHex(), (hex("010108300900") + QByteArray(42, '\0')).toHex());
    }

    void unreadableScheduleFile() {
        if (geteuid() == 0) QSKIP("root reads every file");
        QTemporaryDir dir;
        const QString path = dir.filePath("TDATA.TXT");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("1 08:30 09:00 1\r\n");
        f.close();
        QVERIFY(f.setPermissions(QFileDevice::Permissions()));
        QVERIFY_THROWS_EXCEPTION(FileError, readScheduleFile(path));
    }

    void modeTexts_data() {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QString>("band");
        QTest::addColumn<QString>("mode");
        QTest::newRow("arrival") << hex("010108300900") << "   0830-0900"
                                 << " 01-출근";
        QTest::newRow("no mode") << hex("020012001300") << "   1200-1300"
                                 << " 00-[해제]";
        QTest::newRow("leaving") << hex("030218001900") << "   1800-1900"
                                 << " 02-퇴근";
        QTest::newRow("going out") << hex("040313001400") << "   1300-1400"
                                   << " 03-외출";
        QTest::newRow("return") << hex("050414001500") << "   1400-1500"
                                << " 04-귀사";
        QTest::newRow("code 5") << hex("060500000000") << "   0000-0000"
                                << " 05-!에러!";
        QTest::newRow("code 7") << hex("070700000000") << "   0000-0000"
                                << " 07-!에러!";
        QTest::newRow("digits as they come") << hex("08FE0A3BFEFE") << "   0:3;-?>?>"
                                             << " ?>-!에러!";
    }
    void modeTexts() {
        QFETCH(QByteArray, record);
        QFETCH(QString, band);
        QFETCH(QString, mode);
        QCOMPARE(bandText(record), band);
        QCOMPARE(modeText(record), mode);
    }

    void modeTableNotices_data() {
        QTest::addColumn<char>("status");
        QTest::addColumn<QString>("notice");
        QTest::newRow("silent") << '0' << "응답이 없습니다";
        QTest::newRow("good") << '1' << "";
        QTest::newRow("checksum or command") << '2' << "데이터가 부정확합니다";
        QTest::newRow("N0") << '3' << "제전송요청!";
        QTest::newRow("length") << '4' << "";
        QTest::newRow("no STX") << '5' << "";
        QTest::newRow("wrong reader") << '6' << "";
    }
    void modeTableNotices() {
        QFETCH(char, status);
        QFETCH(QString, notice);
        QCOMPARE(modeTableNotice(status), notice);
    }

    void modeTableExchange_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<char>("status");
        const QByteArray table = hex("010108300900") + QByteArray(42, '\0');
        QTest::newRow("B2 with the table") << readerFrame("B2", 4, table) << '1';
        QTest::newRow("echoes B3 in full") << readerFrame("B3", 4, table) << '2';
        QTest::newRow("short B3") << readerFrame("B3", 4) << '4';
        QTest::newRow("silent") << QByteArray() << '0';
        QTest::newRow("N0") << readerFrame("N0", 4) << '3';
    }
    void modeTableExchange() {
        QFETCH(QByteArray, answer);
        QFETCH(char, status);
        answerWith(answer);
        const QByteArray table = hex("010108300900") + QByteArray(42, '\0');
        const Reply reply = sendModeTable(link, 4, table);
        QCOMPARE(reply.status, status);
        if (status == '1') QCOMPARE(reply.data, table);
        QCOMPARE(line.wire, readerFrame("B3", 4, table));
        // A reply that came settles for 100 ms; no reply is given 41 rounds of 5 ms.
        QCOMPARE(sleeps.last(), answer.isEmpty() ? 5 : 100);
    }
};

int runProtocolTests(int argc, char** argv) {
    ProtocolTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ProtocolTest.moc"
