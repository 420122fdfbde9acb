// Punch records, their two renderings, the file names, the rotation of the day's batch files
// and the output file.
#include "FileError.h"
#include "PunchRecord.h"
#include "RecordSink.h"
#include "SimStation.h"
#include "UploadFiles.h"
#include "UploadTests.h"

#include <QDir>
#include <QTemporaryDir>
#include <QFileInfo>
#include <QtTest>

namespace {
QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
TPunchRecord record(int seq) {
    return TPunchRecord::fromBytes(
        QByteArray::fromHex(QStringLiteral("%1").arg(seq, 6, 10, QLatin1Char('0')).toLatin1() +
                            "0000012345 01 2004 03 15 08 59 30"));
}

} // namespace

class RecordTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void init() {
        QDir::setCurrent(dir.path());
        QDir(QStringLiteral("DATA2")).removeRecursively();
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
    }

    void renderings_data() {
        QTest::addColumn<int>("reader");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QString>("file");
        QTest::newRow("example") << 1 << QByteArray::fromHex("000123 0000012345 31 2004 03 15 08 59 30")
                                 << " 01-000123   0000012345   1   2004-03-15 08:59:30"
                                 << "01-000123 2004 03 15 08 59 30 1 0000012345";
        QTest::newRow("mode FA: high half dropped, A a colon")
            << 12 << QByteArray::fromHex("999999 9876543210 FA 1999 12 31 23 59 59")
            << " 12-999999   9876543210   :   1999-12-31 23:59:59"
            << "12-999999 1999 12 31 23 59 59 : 9876543210";
        QTest::newRow("bad nibbles pass through")
            << 2 << QByteArray::fromHex("000002 00000000AF 01 20F4 1A 15 08 00 00")
            << " 02-000002   00000000:?   1   20?4-1:-15 08:00:00"
            << "02-000002 20?4 1: 15 08 00 00 1 00000000:?";
    }
    void renderings() {
        QFETCH(int, reader);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, screen);
        QFETCH(QString, file);
        const TPunchRecord record = TPunchRecord::fromBytes(bytes);
        QCOMPARE(FormatScreenLine(reader, record), screen);
        QCOMPARE(FormatFileLine(reader, record), file);
        QCOMPARE(UploadFileName('A', 2007, 12, 8), QStringLiteral(".\\DATA2\\A20071208.TXT"));
    }

    void sequenceNumber_data() {
        QTest::addColumn<QByteArray>("seq");
        QTest::addColumn<int>("value");
        QTest::newRow("top") << QByteArray::fromHex("999999") << 999999;
        QTest::newRow("nibble A") << QByteArray::fromHex("0000A1") << -1;
        QTest::newRow("nibble F high") << QByteArray::fromHex("F00000") << -1;
    }
    void sequenceNumber() {
        QFETCH(QByteArray, seq);
        QFETCH(int, value);
        const TPunchRecord record = TPunchRecord::fromBytes(seq + QByteArray(13, '\0'));
        try {
            QCOMPARE(RecordSeq(record), value);
        } catch (const FileError& e) {
            QCOMPARE(value, -1);
            QVERIFY(QString::fromUtf8(e.what()).contains(seqDigits(record)));
        }
    }

    // before: the files present, each holding its own name; after: name=content ("" for gone).
    void rotation_data() {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("gaps stay") << QStringList{"B.TXT", "B-3.TXT"}
                                   << QStringList{"B.TXT=", "B-0.TXT=", "B-3.TXT=B-3.TXT", "B-4.TXT=B.TXT"};
        QTest::newRow("top slot only: no copy moves")
            << QStringList{"B.TXT", "B-9.TXT"}
            << QStringList{"B-8.TXT=", "B-9.TXT=B-9.TXT", "B-10.TXT=B.TXT"};
        QStringList ten{"B.TXT"};
        for (int k = 0; k <= 9; ++k) ten << QStringLiteral("B-%1.TXT").arg(k);
        QTest::newRow("the eleventh run: every copy kept")
            << ten << QStringList{"B-0.TXT=B-0.TXT", "B-9.TXT=B-9.TXT", "B-10.TXT=B.TXT", "B.TXT="};
        QTest::newRow("beyond ten") << QStringList{"B.TXT", "B-0.TXT", "B-12.TXT"}
                                    << QStringList{"B-12.TXT=B-12.TXT", "B-13.TXT=B.TXT"};
        QTest::newRow("no file today")
            << QStringList{"B-0.TXT"} << QStringList{"B-0.TXT=B-0.TXT", "B-1.TXT="};
    }
    void rotation() {
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        for (const QString& name : before) writeAll(QStringLiteral("DATA2/") + name, name.toLatin1());
        RotateBatchFile(QStringLiteral(".\\DATA2\\B"));
        for (const QString& entry : after) {
            const QString name = QStringLiteral("DATA2/") + entry.section(QLatin1Char('='), 0, 0);
            QVERIFY2(QFile::exists(name) == !entry.endsWith(QLatin1Char('=')), qPrintable(name));
            QCOMPARE(QString::fromLatin1(readAll(name)), entry.section(QLatin1Char('='), 1));
        }
    }

    void outputFileErrorsCarryTheSystemsDescription_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("error");
        QTest::newRow("missing folder") << ".\\NOWHERE\\A.TXT" << ENOENT;
        QTest::newRow("folder in the way") << ".\\DATA2" << EISDIR;
        QTest::newRow("disk full") << "/dev/full" << ENOSPC;
    }
    void outputFileErrorsCarryTheSystemsDescription() {
        QFETCH(QString, file);
        QFETCH(int, error);
        try {
            UploadFile out(file, UploadFile::Mode::Append);
            out.writeLine(QStringLiteral("01-000001 2004 03 15 08 00 00 1 0000010001"));
            QFAIL("no error");
        } catch (const FileError& e) {
            QVERIFY2(QString::fromUtf8(e.what()).endsWith(QString::fromLocal8Bit(strerror(error))), e.what());
        }
        QCOMPARE(openDescriptorsOf(file), 0);
    }

    // A line that does not fit leaves nothing of itself: the file ends with whole lines.
    void failedLineLeavesWholeLines() {
        const QString path = QStringLiteral("DATA2/A.TXT");
        RecordSink sink(QStringLiteral(".\\DATA2\\A.TXT"), UploadFile::Mode::Truncate);
        sink.store(1, record(1));
        {
            const FileSizeLimit full(44 + 20); // the second line (44 bytes) fits only in part
            QVERIFY_THROWS_EXCEPTION(FileError, sink.store(1, record(2)));
        }
        QCOMPARE(crlfLines(readAll(path)),
                 QStringList{QStringLiteral("01-000001 2004 03 15 08 59 30 1 0000012345")});
    }

    // An append to a file whose last line was cut off begins a new line; a whole file is left as
    // it is.
    void appendAfterACutLine_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        const QByteArray line = "01-000007 2004 03 15 08 59 30 1 0000012345\r\n";
        QTest::newRow("empty") << QByteArray() << line;
        QTest::newRow("whole") << QByteArray("x\r\n") << "x\r\n" + line;
        QTest::newRow("cut") << QByteArray("01-000006 2004 03") << "01-000006 2004 03\r\n" + line;
        QTest::newRow("cut after CR") << QByteArray("x\r") << "x\r\n" + line;
    }
    void appendAfterACutLine() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        writeAll(QStringLiteral("DATA2/A.TXT"), before);
        RecordSink sink(QStringLiteral(".\\DATA2\\A.TXT"), UploadFile::Mode::Append);
        sink.store(1, record(7));
        sink.close();
        QCOMPARE(readAll(QStringLiteral("DATA2/A.TXT")), after);
    }

    // A repeat is known by the whole record: the last line of each reader in the end of the
    // newest files of the job's own kind, until the job stores one of its own. A batch file's
    // copy of a record does not keep it out of the on-line file.
    void lastStoredRecords() {
        QByteArray big;
        while (big.size() < 100 * 1024) big += "03-000001 2004 03 15 08 59 30 1 0000012345\r\n";
        writeAll(QStringLiteral("DATA2/B20040314.TXT"),
                 "01-000004 2004 03 15 08 59 30 1 0000012345\r\n" + big);
        writeAll(QStringLiteral("DATA2/A20040315.TXT"), "02-000009 2004 03 15 08 59 30 1 0000012345\r\n"
                                                        "01-000003 2004 03 15 08 59 30 1 0000012345\r\n");
        RecordSink sink(QStringLiteral(".\\DATA2\\A20040316.TXT"), UploadFile::Mode::Append, true);
        QVERIFY(sink.storedLast(1, record(3)));
        QVERIFY(sink.storedLast(2, record(9)));
        QVERIFY(!sink.storedLast(3, record(1)));
        QVERIFY(RecordSink(QStringLiteral(".\\DATA2\\B20040316.TXT"), UploadFile::Mode::Append, true)
                    .storedLast(3, record(1)));
        // Reader 1's line at the head of a long file is out of the bounded read, and a record
        // that only shares the sequence number is another record.
        QVERIFY(!sink.storedLast(1, record(4)));
        TPunchRecord other = record(9);
        other.Second = 0x31;
        QVERIFY(!sink.storedLast(2, other));
        QVERIFY(!QFile::exists(QStringLiteral("DATA2/A20040316.TXT")));
        sink.store(1, record(5));
        QVERIFY(sink.storedLast(1, record(5)));
        QVERIFY(!sink.storedLast(1, record(3)));
        QCOMPARE(sink.taken(), 1);
    }

    // The newest files by their dates and copy numbers: "-10" is newer than "-2", the day's own
    // file newest of its day, and a file named otherwise is none of them.
    void newestFilesByDateAndCopy() {
        for (const char* name : {"B20040314.TXT", "B20040315-2.TXT", "B20040315-10.TXT", "B20040315.TXT",
                                 "Backup.TXT", "B20040315-9.TXT", "A20040316.TXT"})
            writeAll(QStringLiteral("DATA2/") + QLatin1String(name), "");
        QStringList names;
        for (const QString& path : newestUploadFiles('B', 4)) names << QFileInfo(path).fileName();
        QCOMPARE(names, QStringList({"B20040315.TXT", "B20040315-10.TXT", "B20040315-9.TXT", "B20040315-2.TXT"}));
    }
};

int runRecordTests(int argc, char** argv) {
    RecordTest test;
    return runGroup(test, argc, argv);
}

#include "RecordTest.moc"
