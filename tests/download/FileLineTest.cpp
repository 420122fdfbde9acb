// The input files of the downloads: how each line is packed and which lines are refused.
#include "DownloadFiles.h"
#include "DownloadTests.h"

#include <QtTest>

class FileLineTest : public QObject {
    Q_OBJECT

private slots:
    void customerLine_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("good");
        QTest::addColumn<QByteArray>("record");
        QTest::newRow("18 digits, the rest not looked at")
            << QByteArray("123456789012345678ABCDEFGHIJKL") << true
            << QByteArray::fromHex("123456789012345678");
        QTest::newRow("short line: missing digits are zeros")
            << QByteArray("1234567") << true << QByteArray::fromHex("123456700000000000");
        QTest::newRow("letter among the 18") << QByteArray("12345678901234567X") << false << QByteArray();
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
};

int runFileLineTests(int argc, char** argv) {
    FileLineTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FileLineTest.moc"
