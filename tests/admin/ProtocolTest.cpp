// How the administration exchanges read the faulty answers the dialogs' tests do not cover, and
// the attendance-mode table built from the schedule file, against an in-memory line.
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
const QByteArray kBlock = hex("2007120900101112");
} // namespace

class ProtocolTest : public QObject {
    Q_OBJECT

private slots:
    void exchange_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("text");
        QTest::newRow("A0 bad checksum")
            << "A0" << badChecksum(readerFrame("A0", 3, "C")) << "     수신데이터 에러";
        QTest::newRow("A0 N0") << "A0" << readerFrame("N0", 3) << "     수신데이터 에러";
        QTest::newRow("A0 cut short") << "A0" << readerFrame("A0", 3, "C").left(5) << "     수신데이터 에러";
        QTest::newRow("B0 short block")
            << "B0" << readerFrame("B0", 3, hex("20071208")) << "   수신데이터 에러";
        QTest::newRow("B1 another reader") << "B1" << readerFrame("B0", 5, kBlock) << "   수신데이터 에러";
        QTest::newRow("C4 another reader") << "C4" << readerFrame("C4", 8, hex("000001")) << " 데이터 에러";
        QTest::newRow("C4 bad checksum")
            << "C4" << badChecksum(readerFrame("C4", 3, hex("000001"))) << " 데이터 에러";
        QTest::newRow("C3 bad checksum")
            << "C3" << badChecksum(readerFrame("C3", 3)) << "    수신데이터 에러";
        QTest::newRow("C3 answered C4") << "C3" << readerFrame("C4", 3) << "    수신데이터 에러";
        // Reader 2's late echo in reader 3's window: reader 3 kept everything.
        QTest::newRow("C3 echoed by another reader") << "C3" << readerFrame("C3", 2) << "    수신데이터 에러";
    }
    void exchange() {
        QFETCH(QString, command);
        QFETCH(QByteArray, answer);
        QFETCH(QString, text);
        FakeLine line;
        line.responder = [answer](const QByteArray&) { return answer; };
        ReaderLink link{line, virtualTimeEnv(line, [&link](bool) { ++link.TickCount; })};
        QString got;
        if (command == "A0") got = statusText(pollStatus(link, 3));
        if (command == "B0") got = clockCheckText(readReaderClock(link, 3));
        if (command == "B1") got = clockSetText(setReaderClock(link, 3, kBlock));
        if (command == "C4") got = recordCountText(askRecordCount(link, 3));
        if (command == "C3") {
            link.SendFrame("C3", 3);
            link.AwaitAnswer(200);
            got = deleteResultText(link.ReadWriteAck("C3"));
        }
        QCOMPARE(got, text);
        QCOMPARE(line.wire, readerFrame(qPrintable(command), 3, command == "B1" ? kBlock : QByteArray()));
    }

    // BCD digits are shown as they come: a nibble above 9 shows as the character after '9'.
    void digitsAsTheyCome() {
        QCOMPARE(clockBlock(ClockSnapshot{2007, 12, 8, 6, 13, 45, 30}), hex("2007120806134530"));
        QCOMPARE(readerClockText(hex("20071A0806134530")), "2007.1:.08 13:45:30");
        QCOMPARE(bandText(hex("030218001900")), "   1800-1900");
        QCOMPARE(modeText(hex("030218001900")), " 02-퇴근");
        QCOMPARE(bandText(hex("08FE0A3BFEFE")), "   0:3;-?>?>");
        QCOMPARE(modeText(hex("08FE0A3BFEFE")), " ?>-!에러!");
    }

    // Fixed positions, whatever stands between them; what a line lacks is 0, never a leftover.
    void modeRecord_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("record");
        QTest::newRow("any separators") << QByteArray("2|12-00~13.00/2") << hex("020212001300");
        QTest::newRow("rest of a long line ignored")
            << QByteArray("3 17:00 18:30 2 evening") << hex("030217001830");
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

    void scheduleFile() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("DIR.TXT"));
        QVERIFY(!readScheduleFile(dir.filePath("DIR.TXT")));
        QFile f(dir.filePath("TDATA.TXT"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("1 08:30 09:00 1\n2 12:00 13:00 3\r\n3 18:00 19:00 2" + QByteArray(300, 'x') + "\r\n");
        for (int k = 0; k < 9; ++k) f.write("9 23:00 23:30 4\r\n");
        f.close();
        QCOMPARE(readScheduleFile(f.fileName())->toHex(),
                 (hex("010108300900 020312001300 030218001900") + hex("090423002330").repeated(5)).toHex());
        if (geteuid() == 0) QSKIP("root reads every file");
        QVERIFY(f.setPermissions(QFileDevice::Permissions()));
        QVERIFY_THROWS_EXCEPTION(FileError, readScheduleFile(f.fileName()));
    }
};

int runProtocolTests(int argc, char** argv) {
    ProtocolTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ProtocolTest.moc"
