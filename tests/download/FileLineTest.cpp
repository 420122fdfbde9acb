// The input files of the downloads: how each line is packed and which lines are refused.
#include "DownloadFiles.h"
#include "DownloadTests.h"
#include "FileError.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

class FileLineTest : public QObject {
    Q_OBJECT
    QTemporaryDir home;
    QByteArray oldHome;

    void writeHomeFile(const QString& relative, const QByteArray& bytes) {
        const QString path = home.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

private slots:
    void initTestCase() {
        oldHome = qgetenv("HOME");
        qputenv("HOME", home.path().toUtf8());
    }
    void cleanupTestCase() { qputenv("HOME", oldHome); }

    void customerLine_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("good");
        QTest::addColumn<QByteArray>("record");
        QTest::newRow("18 digits, the rest not looked at")
            << QByteArray("123456789012345678ABCDEFGHIJKL") << true
            << QByteArray::fromHex("123456789012345678");
        QTest::newRow("short line: missing digits are zeros")
            << QByteArray("1234567") << true << QByteArray::fromHex("123456700000000000");
        QTest::newRow("empty line") << QByteArray() << true << QByteArray(9, '\0');
        QTest::newRow("letter among the 18") << QByteArray("12345678901234567X") << false << QByteArray();
        QTest::newRow("blank among the 18") << QByteArray("1234 6789012345678") << false << QByteArray();
    }
    void customerLine() {
        QFETCH(QByteArray, line);
        QFETCH(bool, good);
        QFETCH(QByteArray, record);
        QByteArray packed;
        QCOMPARE(packCustomerLine(line, packed), good);
        QCOMPARE(packed.size(), 9);
        if (good) QCOMPARE(packed.toHex(), record.toHex());
    }

    void mealLine_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("reader");
        QTest::addColumn<QByteArray>("data");
        const QByteArray digits = QByteArray("0123456789").repeated(10).left(98);
        QTest::newRow("full line, columns beyond 100 ignored")
            << QByteArray("07" + digits + "XYZ") << QString() << 7 << QByteArray::fromHex(digits);
        QTest::newRow("short line: missing digits are zeros")
            << QByteArray("1212") << QString() << 12 << QByteArray::fromHex("12" + QByteArray(96, '0'));
        QTest::newRow("id only") << QByteArray("03") << QString() << 3 << QByteArray(49, '\0');
        QTest::newRow("letter in the id")
            << QByteArray("0A" + digits) << kBadReaderDigits << 0 << QByteArray();
        QTest::newRow("blank in the id")
            << QByteArray(" 1" + digits) << kBadReaderDigits << 0 << QByteArray();
        QTest::newRow("one character") << QByteArray("1") << kBadReaderDigits << 0 << QByteArray();
        QTest::newRow("letter in the digits")
            << QByteArray("01" + digits.left(97) + "x") << kNotDigits << 0 << QByteArray();
    }
    void mealLine() {
        QFETCH(QByteArray, line);
        QFETCH(QString, reason);
        QFETCH(int, reader);
        QFETCH(QByteArray, data);
        MealLine meal;
        QCOMPARE(parseMealLine(line, meal), reason);
        if (!reason.isEmpty()) return;
        QCOMPARE(meal.reader, reader);
        QCOMPARE(meal.idText, line.left(2));
        QCOMPARE(meal.data.toHex(), data.toHex());
    }

    void fixedAmountLine_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("id");
        QTest::addColumn<QByteArray>("text");
        const QByteArray text = QByteArray("AB cd 12,34;").repeated(8);
        QTest::newRow("96 characters sent as they are") << QByteArray("03" + text) << QString() << 3 << text;
        QTest::newRow("columns beyond 98 never sent")
            << QByteArray("45" + text + "beyond") << QString() << 45 << text;
        QTest::newRow("short line filled with blanks")
            << QByteArray("0912") << QString() << 9 << QByteArray("12" + QByteArray(94, ' '));
        QTest::newRow("id not decimal") << QByteArray("x3" + text) << kBadReaderDigits << 0 << QByteArray();
        QTest::newRow("empty line") << QByteArray() << kBadReaderDigits << 0 << QByteArray();
    }
    void fixedAmountLine() {
        QFETCH(QByteArray, line);
        QFETCH(QString, reason);
        QFETCH(int, id);
        QFETCH(QByteArray, text);
        FixedAmountLine amount;
        QCOMPARE(parseFixedAmountLine(line, amount), reason);
        if (!reason.isEmpty()) return;
        QCOMPARE(int(amount.id), id);
        QCOMPARE(amount.text, text);
    }

    // The whole file is read before anything is sent; the first bad line names file and line.
    void badLineNamesFileAndLine_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("message");
        QTest::newRow("customer") << kCustomerFile
                                  << QByteArray("123456789012345678\r\n123\r\n12345678901234567O\r\n")
                                  << QStringLiteral(
                                         "C:\\CARD\\DATA1\\CDATA.TXT 3번째 줄: 숫자가 아닌 문자가 있습니다");
        QTest::newRow("meal id")
            << kMealFile << QByteArray("0112\r\n1\r\n")
            << QStringLiteral("C:\\CARD\\DATA1\\TDATA.TXT 2번째 줄: 리더번호가 두 자리 숫자가 아닙니다");
        QTest::newRow("fixed amount id")
            << kFixedAmountFile << QByteArray("A1xxxx\n")
            << QStringLiteral("C:\\CARD\\DATA1\\PDATA.TXT 1번째 줄: 리더번호가 두 자리 숫자가 아닙니다");
    }
    void badLineNamesFileAndLine() {
        QFETCH(QString, file);
        QFETCH(QByteArray, contents);
        QFETCH(QString, message);
        writeHomeFile(QStringLiteral("CARD/DATA1/") + file.section(QLatin1Char('\\'), -1), contents);
        QString caught;
        try {
            if (file == kCustomerFile)
                loadCustomerRecords(file);
            else if (file == kMealFile)
                loadMealLines(file);
            else
                loadFixedAmounts(file);
        } catch (const FileError& e) {
            caught = QString::fromUtf8(e.what());
        }
        QCOMPARE(caught, message);
    }

    // Lines end with CR LF or LF; a line longer than the reader's line buffer is cut, and its
    // rest is not taken for a line of its own.
    void linesOfAFile() {
        writeHomeFile("CARD/DATA1/CDATA.TXT", "111111111111111111" + QByteArray(100, '9') +
                                                  "\r\n222222222222222222\n\r\n333333333333333333");
        const QList<QByteArray> records = loadCustomerRecords(kCustomerFile);
        QCOMPARE(records.size(), 4);
        QCOMPARE(records.at(0).toHex(), QByteArray("111111111111111111"));
        QCOMPARE(records.at(1).toHex(), QByteArray("222222222222222222"));
        QCOMPARE(records.at(2), QByteArray(9, '\0'));
        QCOMPARE(records.at(3).toHex(), QByteArray("333333333333333333"));
    }
};

int runFileLineTests(int argc, char** argv) {
    FileLineTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FileLineTest.moc"
