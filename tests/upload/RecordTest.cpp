// Punch records, their two renderings, the file names, the rotation of the day's batch files
// and the output file.
#include "FileError.h"
#include "PunchRecord.h"
#include "UploadFiles.h"
#include "UploadTests.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
} // namespace

class RecordTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    QString path(const QString& name) const { return dir.filePath(QStringLiteral("DATA2/") + name); }

private slots:
    void init() {
        QVERIFY(dir.isValid());
        QDir::setCurrent(dir.path());
        QDir(dir.path() + QStringLiteral("/DATA2")).removeRecursively();
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("DATA2")));
    }

    void renderings_data() {
        QTest::addColumn<int>("reader");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QString>("file");
        QTest::newRow("example") << 1 << hex("000123 0000012345 31 2004 03 15 08 59 30")
                                 << " 01-000123   0000012345   1   2004-03-15 08:59:30"
                                 << "01-000123 2004 03 15 08 59 30 1 0000012345";
        QTest::newRow("reader 12, mode high half dropped")
            << 12 << hex("999999 9876543210 F4 1999 12 31 23 59 59")
            << " 12-999999   9876543210   4   1999-12-31 23:59:59"
            << "12-999999 1999 12 31 23 59 59 4 9876543210";
        QTest::newRow("mode 0A is a colon") << 3 << hex("000001 0000000001 0A 2004 03 15 08 00 00")
                                            << " 03-000001   0000000001   :   2004-03-15 08:00:00"
                                            << "03-000001 2004 03 15 08 00 00 : 0000000001";
        QTest::newRow("bad nibbles pass through") << 2 << hex("000002 00000000AF 01 20F4 1A 15 08 00 00")
                                                  << " 02-000002   00000000:?   1   20?4-1:-15 08:00:00"
                                                  << "02-000002 20?4 1: 15 08 00 00 1 00000000:?";
    }
    void renderings() {
        QFETCH(int, reader);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, screen);
        QFETCH(QString, file);
        const TPunchRecord record = TPunchRecord::fromBytes(bytes);
        QCOMPARE(record.toBytes(), bytes);
        QCOMPARE(FormatScreenLine(reader, record), screen);
        QCOMPARE(FormatFileLine(reader, record), file);
        QCOMPARE(screen.size(), 49);
        QCOMPARE(file.size(), 42);
    }

    void sequenceNumber_data() {
        QTest::addColumn<QByteArray>("seq");
        QTest::addColumn<int>("value");
        QTest::newRow("123") << hex("000123") << 123;
        QTest::newRow("zero") << hex("000000") << 0;
        QTest::newRow("top") << hex("999999") << 999999;
        QTest::newRow("nibble A") << hex("0000A1") << -1;
        QTest::newRow("nibble F high") << hex("F00000") << -1;
    }
    void sequenceNumber() {
        QFETCH(QByteArray, seq);
        QFETCH(int, value);
        const TPunchRecord record = TPunchRecord::fromBytes(seq + QByteArray(13, '\0'));
        if (value >= 0) {
            QCOMPARE(RecordSeq(record), value);
            return;
        }
        try {
            RecordSeq(record);
            QFAIL("no conversion error");
        } catch (const FileError& e) {
            QVERIFY(QString::fromUtf8(e.what()).contains(seqDigits(record)));
        }
    }

    void fileNames_data() {
        QTest::addColumn<char>("prefix");
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("day");
        QTest::addColumn<QString>("name");
        QTest::newRow("batch") << 'B' << 2004 << 3 << 15 << ".\\DATA2\\B20040315.TXT";
        QTest::newRow("on-line") << 'A' << 2007 << 12 << 8 << ".\\DATA2\\A20071208.TXT";
        QTest::newRow("31 December") << 'A' << 2004 << 12 << 31 << ".\\DATA2\\A20041231.TXT";
    }
    void fileNames() {
        QFETCH(char, prefix);
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, day);
        QFETCH(QString, name);
        QCOMPARE(UploadFileName(prefix, year, month, day), name);
    }

    // before: the copies present besides today's file (each holds its own name);
    // after: name -> the content it must hold afterwards ("" for gone).
    void rotation_data() {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("no copy yet") << QStringList{} << QStringList{"B.TXT=", "B-0.TXT=B.TXT"};
        QTest::newRow("after -0") << QStringList{"B-0.TXT"}
                                  << QStringList{"B-0.TXT=B-0.TXT", "B-1.TXT=B.TXT"};
        QTest::newRow("gaps stay") << QStringList{"B-3.TXT"}
                                   << QStringList{"B-0.TXT=", "B-3.TXT=B-3.TXT", "B-4.TXT=B.TXT"};
        QTest::newRow("top slot taken")
            << QStringList{"B-0.TXT", "B-1.TXT", "B-2.TXT", "B-3.TXT", "B-4.TXT",
                           "B-5.TXT", "B-6.TXT", "B-7.TXT", "B-8.TXT", "B-9.TXT"}
            << QStringList{"B.TXT=",          "B-0.TXT=B-1.TXT", "B-1.TXT=B-2.TXT", "B-2.TXT=B-3.TXT",
                           "B-3.TXT=B-4.TXT", "B-4.TXT=B-5.TXT", "B-5.TXT=B-6.TXT", "B-6.TXT=B-7.TXT",
                           "B-7.TXT=B-8.TXT", "B-8.TXT=B-9.TXT", "B-9.TXT=B.TXT"};
        QTest::newRow("top slot only")
            << QStringList{"B-9.TXT"} << QStringList{"B-0.TXT=", "B-8.TXT=B-9.TXT", "B-9.TXT=B.TXT"};
    }
    void rotation() {
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        for (const QString& name : before + QStringList{"B.TXT"}) writeAll(path(name), name.toLatin1());
        RotateBatchFile(QStringLiteral(".\\DATA2\\B"));
        for (const QString& entry : after) {
            const QString name = entry.section(QLatin1Char('='), 0, 0);
            const QString content = entry.section(QLatin1Char('='), 1);
            QVERIFY2(QFile::exists(path(name)) == !content.isEmpty(), qPrintable(name));
            QCOMPARE(QString::fromLatin1(readAll(path(name))), content);
        }
    }

    void rotationWithoutTodaysFileDoesNothing() {
        writeAll(path("B-0.TXT"), "old");
        RotateBatchFile(QStringLiteral(".\\DATA2\\B"));
        QCOMPARE(QDir(dir.filePath("DATA2")).entryList(QDir::Files), QStringList{"B-0.TXT"});
    }

    // "-0" cannot be deleted, so no copy can move down and "-9" stays taken: today's file must
    // stay where it is, whole, and the job must hear of it.
    void failedRotationKeepsTodaysFile() {
        for (int k = 1; k <= 9; ++k) writeAll(path(QStringLiteral("B-%1.TXT").arg(k)), "copy");
        QVERIFY(QDir().mkpath(path("B-0.TXT/inside")));
        writeAll(path("B.TXT"), "today\r\n");
        try {
            RotateBatchFile(QStringLiteral(".\\DATA2\\B"));
            QFAIL("no error");
        } catch (const FileError& e) {
            const QString message = QString::fromUtf8(e.what());
            QVERIFY2(message.contains(QStringLiteral("B.TXT")) && message.contains(QStringLiteral("B-9.TXT")),
                     qPrintable(message));
            QVERIFY2(message.contains(QString::fromLocal8Bit(strerror(EEXIST))), qPrintable(message));
        }
        QCOMPARE(readAll(path("B.TXT")), QByteArray("today\r\n"));
        for (int k = 1; k <= 9; ++k)
            QCOMPARE(readAll(path(QStringLiteral("B-%1.TXT").arg(k))), QByteArray("copy"));
    }

    void outputFileLines_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("truncate") << int(UploadFile::Mode::Truncate) << QByteArray("one\r\ntwo\r\n");
        QTest::newRow("append") << int(UploadFile::Mode::Append) << QByteArray("old\r\none\r\ntwo\r\n");
    }
    void outputFileLines() {
        QFETCH(int, mode);
        QFETCH(QByteArray, expected);
        writeAll(path("A.TXT"), "old\r\n");
        for (const auto sync : {UploadFile::Sync::AtClose, UploadFile::Sync::EachLine}) {
            writeAll(path("A.TXT"), "old\r\n");
            UploadFile file(QStringLiteral(".\\DATA2\\A.TXT"), UploadFile::Mode(mode), sync);
            file.writeLine(QStringLiteral("one"));
            // Written lines reach the system at once, before the file is closed.
            QCOMPARE(readAll(path("A.TXT")).right(5), QByteArray("one\r\n"));
            file.writeLine(QStringLiteral("two"));
            file.close();
            QVERIFY(!file.isOpen());
            QCOMPARE(readAll(path("A.TXT")), expected);
            QCOMPARE(openDescriptorsOf(path("A.TXT")), 0);
        }
    }

    void outputFileErrorsCarryTheSystemsDescription_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("onWrite");
        QTest::newRow("missing folder") << ".\\NOWHERE\\A.TXT" << ENOENT << false;
        QTest::newRow("folder in the way") << ".\\DATA2" << EISDIR << false;
        QTest::newRow("disk full") << "/dev/full" << ENOSPC << true;
    }
    void outputFileErrorsCarryTheSystemsDescription() {
        QFETCH(QString, file);
        QFETCH(int, error);
        QFETCH(bool, onWrite);
        if (onWrite && !QFile::exists(file)) QSKIP("no /dev/full here");
        try {
            UploadFile out(file, UploadFile::Mode::Append, UploadFile::Sync::EachLine);
            QVERIFY(onWrite);
            out.writeLine(QStringLiteral("01-000001 2004 03 15 08 00 00 1 0000010001"));
            QFAIL("no error");
        } catch (const FileError& e) {
            QVERIFY2(QString::fromUtf8(e.what()).endsWith(QString::fromLocal8Bit(strerror(error))), e.what());
        }
        QCOMPARE(openDescriptorsOf(file), 0);
    }
};

int runRecordTests(int argc, char** argv) {
    RecordTest test;
    return runGroup(test, argc, argv);
}

#include "RecordTest.moc"
