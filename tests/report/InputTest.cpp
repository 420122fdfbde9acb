// What the sheet reads: the upload files (each punch once, lines that are not records counted),
// the employee list the clerk saves from Excel, and the rules file.
#include "Employees.h"
#include "FileError.h"
#include "PunchRecord.h"
#include "Punches.h"
#include "ReportRules.h"
#include "ReportTests.h"
#include "TestGroups.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QDate kMarch1(2024, 3, 1);
const QDate kApril1(2024, 4, 1);

QStringList numbersOf(const EmployeeList& list) {
    QStringList numbers;
    for (const Employee& e : list.people) numbers << e.number + '/' + e.name + '/' + e.department;
    return numbers;
}

QStringList badRowsOf(const EmployeeList& list) {
    QStringList rows;
    for (const BadRow& row : list.badRows)
        rows << QStringLiteral("%1:%2").arg(row.line).arg(int(row.problem));
    return rows;
}
} // namespace

class InputTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void init() {
        QVERIFY(QDir::setCurrent(dir.path()));
        QDir(QStringLiteral("DATA2")).removeRecursively();
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
    }

    // FormatFileLine and ParseFileLine are each other's inverse, half-bytes above 9 included.
    void fileLinesReadBack_data() {
        QTest::addColumn<int>("reader");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("example") << 1 << QByteArray::fromHex("000123 0000012345 01 2004 03 15 08 59 30");
        QTest::newRow("reader 12, mode A")
            << 12 << QByteArray::fromHex("999999 9876543210 0A 1999 12 31 23 59 59");
        QTest::newRow("bad nibbles") << 2 << QByteArray::fromHex("000002 00000000AF 01 20F4 1A 15 08 00 00");
    }
    void fileLinesReadBack() {
        QFETCH(int, reader);
        QFETCH(QByteArray, bytes);
        const QByteArray line = FormatFileLine(reader, TPunchRecord::fromBytes(bytes)).toLatin1();
        int readBack = 0;
        TPunchRecord record;
        QVERIFY(ParseFileLine(line, readBack, record));
        QCOMPARE(readBack, reader);
        QCOMPARE(record.toBytes().toHex(), bytes.toHex());
    }

    void otherLinesAreNotRecords_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("cut off") << QByteArray("01-000009 2024 03");
        QTest::newRow("one too long") << QByteArray("01-000001 2024 03 04 08 51 07 1 00000012345");
        QTest::newRow("a comma for a blank") << QByteArray("01-000001 2024,03 04 08 51 07 1 0000001234");
        QTest::newRow("reader not digits") << QByteArray("0A-000001 2024 03 04 08 51 07 1 0000001234");
        QTest::newRow("a letter past ?") << QByteArray("01-000001 2024 03 04 08 51 07 1 000000123G");
        QTest::newRow("the screen line") << QByteArray(" 01-000123   0000012345   1   2004-03-15 08:59:30");
    }
    void otherLinesAreNotRecords() {
        QFETCH(QByteArray, line);
        int reader = 7;
        TPunchRecord record;
        QVERIFY(!ParseFileLine(line, reader, record));
        QCOMPARE(reader, 7);
    }

    // On-line file and three batch copies of the day, all holding the same punches.
    void aPunchInManyFilesCountsOnce() {
        const QByteArray lines = linesOf({"03-04 08:51 1 1234", "03-04 18:32 2 1234"});
        for (const char* name : {"A20240304.TXT", "B20240305.TXT", "B20240305-0.TXT", "B20240305-1.TXT"})
            writeFile(QStringLiteral("DATA2/") + name, lines);
        const PunchReading reading = readPunches(kMarch1, kApril1);
        QCOMPARE(reading.filesRead, 4);
        QCOMPARE(reading.punches.size(), std::size_t(2));
        QVERIFY(reading.badLines.empty());
    }

    // A reader deleted and numbering from 000001 again: the same sequence numbers, other times.
    void aRenumberedReaderKeepsBothPunches() {
        writeFile(QStringLiteral("DATA2/A20240304.TXT"), punchLine("03-04 08:51 1 1234", 1) + "\r\n");
        writeFile(QStringLiteral("DATA2/A20240320.TXT"), punchLine("03-20 08:40 1 1234", 1) + "\r\n");
        writeFile(QStringLiteral("DATA2/B20240320.TXT"), punchLine("03-20 08:40 1 1234", 1) + "\r\n" +
                                                             punchLine("03-20 08:40 1 1234", 1, 2) + "\r\n");
        const PunchReading reading = readPunches(kMarch1, kApril1);
        // Reader 02's punch of the same number, time and sequence is another punch.
        QCOMPARE(reading.punches.size(), std::size_t(3));
    }

    void linesThatAreNotRecordsAreCounted() {
        const QByteArray good = punchLine("03-05 09:00 1 1234", 1);
        writeFile(QStringLiteral("DATA2/B20240305.TXT"),
                  good + "\r\n\r\nhello\r\n" + "01-000002 2024 13 05 08 00 00 1 0000001234\r\n" +
                      "01-000003 2024 02 30 08 00 00 1 0000001234\r\n" +
                      "01-000004 2024 03 05 24 00 00 1 0000001234\n" + punchLine("03-05 18:00 2 1234", 5) +
                      "\n" + "01-000006 2024 03");
        writeFile(QStringLiteral("DATA2/A20240305.TXT"), good + "\r\n");
        const PunchReading reading = readPunches(kMarch1, kApril1);
        QCOMPARE(reading.punches.size(), std::size_t(2));
        QCOMPARE(reading.badLines.size(), std::size_t(1));
        // The blank line is not counted; month 13, 30 February, hour 24 and the cut-off last are.
        QCOMPARE(reading.badLines[0].file, QStringLiteral("B20240305.TXT"));
        QCOMPARE(reading.badLines[0].count, 5);
        QCOMPARE(reading.badLines[0].firstLine, 3);
    }

    // A punch made on the 31st, collected weeks later, is read; a file written long before the
    // month began is not read at all.
    void filesByTheirDate() {
        writeFile(QStringLiteral("DATA2/A20240420.TXT"), punchLine("03-31 08:00 1 1234", 1) + "\r\n");
        writeFile(QStringLiteral("DATA2/A20240215.TXT"),
                  "garbage\r\n" + punchLine("02-15 08:00 1 1234", 2) + "\r\n");
        writeFile(QStringLiteral("DATA2/A20231231.TXT"), "garbage\r\n");
        writeFile(QStringLiteral("DATA2/A20240128.TXT"), "garbage\r\n");
        const PunchReading reading = readPunches(kMarch1, kApril1);
        QCOMPARE(reading.filesRead, 2);
        QCOMPARE(reading.punches.size(), std::size_t(1));
        QCOMPARE(reading.punches[0].date, QDate(2024, 3, 31));
        QCOMPARE(reading.badLines.size(), std::size_t(1));
        QCOMPARE(reading.badLines[0].file, QStringLiteral("A20240215.TXT"));
    }

    void noOutputFolder() {
        QVERIFY(QDir(QStringLiteral("DATA2")).removeRecursively());
        const PunchReading reading = readPunches(kMarch1, kApril1);
        QVERIFY(!reading.folderFound);
        QVERIFY(reading.punches.empty());
    }

    void readingCanBeCancelled() {
        writeFile(QStringLiteral("DATA2/A20240304.TXT"), linesOf({"03-04 08:51 1 1234"}));
        const std::atomic<bool> cancel{true};
        const PunchReading reading = readPunches(kMarch1, kApril1, &cancel);
        QVERIFY(reading.cancelled);
        QVERIFY(reading.punches.empty());
    }

    void employeeListEncodings_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("cp949");
        const QByteArray header =
            "\xEC\x82\xAC\xEC\x9B\x90\xEB\xB2\x88\xED\x98\xB8,name,dept\r\n"; // 사원번호
        QTest::newRow("CP949, as Excel saves on a Korean PC, with a syllable EUC-KR lacks (똠)")
            << QByteArray("No,Name,Dept\r\n1234,") + QByteArray::fromHex("c8abb1e6b5bf") + "," +
                   QByteArray::fromHex("8c63b9e6") + "\r\n"
            << true;
        QTest::newRow("UTF-8 with a byte-order mark") << "\xEF\xBB\xBF" + header + "1234,홍길동,똠방\r\n"
                                                      << false;
        QTest::newRow("UTF-8 without one, LF line ends") << header + "1234,홍길동,똠방\n" << false;
    }
    void employeeListEncodings() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, cp949);
        const EmployeeList list = parseEmployeeList(bytes);
        QCOMPARE(list.cp949, cp949);
        QCOMPARE(numbersOf(list), QStringList{"0000001234/홍길동/똠방"});
        QVERIFY(list.badRows.empty());
    }

    void employeeListRows() {
        const QByteArray csv = "사원번호,이름,부서,출근시각,퇴근시각\r\n"
                               "1234,홍길동,영업부\r\n"
                               "\r\n"
                               "42,\"이, 영희\",\"관리부\r\n총무\"\r\n"
                               ",이름만,영업부\r\n"
                               "1234,홍길순,영업부\r\n"
                               "77,박민수,생산부,25:00,\r\n"
                               "123456789012,최영수,관리부\r\n"
                               "1.23457E+09,엑셀,관리부\r\n"
                               "  0000005678 ,김철수,생산부,22:00,6:00\r\n"
                               ",,,,\r\n"
                               "9,\"큰 \"\"따옴표\"\"\",x,09:30:00\r\n";
        const EmployeeList list = parseEmployeeList(csv);
        QCOMPARE(numbersOf(list), (QStringList{"0000001234/홍길동/영업부", "0000000042/이, 영희/관리부\n총무",
                                               "0000005678/김철수/생산부", "0000000009/큰 \"따옴표\"/x"}));
        // Lines as the clerk's editor counts them: the quoted line end makes line 5 line 6.
        QCOMPARE(badRowsOf(list), (QStringList{"6:0", "7:4", "8:3", "9:2", "10:1"}));
        const Employee* kim = list.find(QStringLiteral("0000005678"));
        QVERIFY(kim);
        QCOMPARE(kim->shiftStart, 22 * 60);
        QCOMPARE(kim->shiftEnd, 6 * 60);
        QCOMPARE(list.find(QStringLiteral("0000000009"))->shiftStart, 9 * 60 + 30);
        QCOMPARE(list.find(QStringLiteral("0000000009"))->shiftEnd, -1);
        QVERIFY(!list.find(QStringLiteral("1234")));
    }

    // Saved without a header row, the first row is a person.
    void employeeListWithoutHeader() {
        QCOMPARE(numbersOf(parseEmployeeList("1234,홍길동,영업부\r\n")),
                 QStringList{"0000001234/홍길동/영업부"});
    }

    void employeeListThatIsNoText() {
        const EmployeeList list = parseEmployeeList(QByteArray::fromHex("1234ff80ff") + ",x\r\n");
        QVERIFY(list.unreadable);
        QVERIFY(list.people.empty());
        QVERIFY(!readEmployeeList(dir.filePath(QStringLiteral("none.csv"))).found);
    }

    void rulesFile() {
        const QString path = dir.filePath(QStringLiteral("REPORT.INI"));
        QFile::remove(path);
        QVERIFY(readRules(path) == ReportRules{});
        ReportRules night{22 * 60, 6 * 60 + 30, 15, 14 * 60};
        saveRules(path, night);
        QVERIFY(readRules(path) == night);
        writeFile(path, "start=25:00\r\nend=17:30\r\ngrace=-5\r\ndaychange=\r\n; start=08:00\r\nnoise\r\n");
        const ReportRules read = readRules(path);
        QCOMPARE(read.start, 9 * 60);
        QCOMPARE(read.end, 17 * 60 + 30);
        QCOMPARE(read.grace, 0);
        QCOMPARE(read.dayChange, 5 * 60);
        QVERIFY_THROWS_EXCEPTION(FileError,
                                 saveRules(dir.filePath(QStringLiteral("no/such/folder/REPORT.INI")), night));
    }
};

int runInputTests(int argc, char** argv) {
    InputTest test;
    return runGroup(test, argc, argv);
}

#include "InputTest.moc"
