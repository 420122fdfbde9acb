// The fixed-amount download: raw records read off the pseudo-terminal; the port tests on an
// in-memory line.
#include "DownloadTests.h"
#include "FGoDn.h"
#include "FakeLine.h"
#include "FixedAmounts.h"
#include "ProgressCounters.h"
#include "Screenshots.h"
#include "SimStation.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {
const QString kFile = QStringLiteral("CARD/DATA1/PDATA.TXT");
const QByteArray kText =
    QByteArray("0123456789 amount, name: ABCDEFGHIJKLMNOPQRSTUVWXYZ ").repeated(2).left(96);
} // namespace

class FixedAmountTest : public QObject {
    Q_OBJECT

private slots:
    // "03" + 96 characters: exactly 02 23 50 03 00, the characters, FF; what stands beyond
    // column 98 never leaves.
    void recordOnTheWire() {
        SimStation station(3);
        station.writeFile(kFile, "03" + kText + "NOT SENT 1234567890\r\n");
        OpenDialog<TGODN> dlg(station.link);
        QTest::mouseClick(dlg->Button1, Qt::LeftButton);
        QVERIFY(station.line.waitForLineEvents(1, 2000));
        const QByteArray wire = bytesOf(station.line.wireBytes());
        QCOMPARE(wire.size(), 102);
        QCOMPARE(wire.left(5).toHex(' '), QByteArray("02 23 50 03 00"));
        QCOMPARE(wire.mid(5, 96), kText);
        QCOMPARE(quint8(wire.at(101)), quint8(0xFF));
        const auto events = station.line.lineEvents();
        QCOMPARE(int(events.size()), 1);
        QCOMPARE(int(events.front().kind), int(sim::LineEvent::Kind::RawRecord));
        QCOMPARE(station.line.withReader(3, [](sim::Reader& r) { return r.fixedAmounts().size(); }),
                 size_t(1));
        QCOMPARE(dlg->capid->text(), QStringLiteral("03"));
        QCOMPARE(dlg->counters->cap1->text(), QStringLiteral("01건"));
        QCOMPARE(dlg->counters->cap2->text(), QStringLiteral("01건"));
        saveScreenshot(dlg.get(), "TGODN");
    }

    // Each record in three writes; a short line is filled with blanks, never with an earlier
    // line's characters.
    void recordsInThreeWrites() {
        FakeLine line;
        ScriptedPrompts boxes;
        ReaderLink link(line, LinkEnv{[](bool) {}, [](int) {}});
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", home.path().toUtf8());
        QDir().mkpath(home.filePath("CARD/DATA1"));
        QFile file(home.filePath(kFile));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("12" + kText + "\r\n07short\r\n");
        file.close();
        {
            OpenDialog<TGODN> dlg(link);
            dlg->Button1Click();
            QCOMPARE(dlg->capid->text(), QStringLiteral("07"));
        }
        qputenv("HOME", oldHome);
        QVERIFY(boxes.boxes.isEmpty());
        QCOMPARE(line.writes.size(), 6);
        QCOMPARE(line.writes.at(0).toHex(' '), QByteArray("02 23 50 0c 00"));
        QCOMPARE(line.writes.at(1), kText);
        QCOMPARE(line.writes.at(2).toHex(), QByteArray("ff"));
        QCOMPARE(line.writes.at(3).toHex(' '), QByteArray("02 23 50 07 00"));
        QCOMPARE(line.writes.at(4), QByteArray("short").leftJustified(96, ' '));
        QCOMPARE(line.writes.at(5).toHex(), QByteArray("ff"));
    }

    void badOrMissingFileWritesNothing_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << QByteArray() << QStringLiteral("지정된 경로에 DataFile이 없습니다");
        QTest::newRow("id not decimal on line 2")
            << QByteArray("01" + kText + "\r\n" + "-1" + kText + "\r\n")
            << QStringLiteral("C:\\CARD\\DATA1\\PDATA.TXT 2번째 줄: 리더번호가 두 자리 숫자가 아닙니다");
    }
    void badOrMissingFileWritesNothing() {
        QFETCH(QByteArray, contents);
        QFETCH(QString, message);
        SimStation station(1);
        if (!contents.isEmpty()) station.writeFile(kFile, contents);
        OpenDialog<TGODN> dlg(station.link);
        dlg->Button1Click();
        QCOMPARE(station.boxes.texts(), QStringList{message});
        QVERIFY(station.line.wireBytes().empty());
    }

    void emptyFile() {
        SimStation station(1);
        station.writeFile(kFile, QByteArray());
        OpenDialog<TGODN> dlg(station.link);
        dlg->Button1Click();
        QVERIFY(station.line.wireBytes().empty());
        QCOMPARE(dlg->counters->cap1->text(), QStringLiteral("00건"));
        QCOMPARE(dlg->counters->cap2->text(), QStringLiteral("00건"));
    }

    void growingTextTest() {
        FakeLine line;
        ScriptedPrompts boxes;
        QList<int> sleeps;
        ReaderLink link(line, LinkEnv{[](bool) {}, [&](int ms) { sleeps << ms; }});
        OpenDialog<TGODN> dlg(link);
        QTest::mouseClick(dlg->Button3, Qt::LeftButton);
        QCOMPARE(portTestText().size(), 19);
        QCOMPARE(line.writes.size(), 19);
        QCOMPARE(line.writes.first(), QByteArray(" "));
        QCOMPARE(line.writes.last(), portTestText());
        QCOMPARE(line.writes.at(2).toHex(' '), QByteArray("20 c5 eb")); // 통 in the Korean code page
        QCOMPARE(sleeps, QList<int>(19, 1000));
    }

    void nibbleTest() {
        FakeLine line;
        ScriptedPrompts boxes;
        QList<int> sleeps;
        ReaderLink link(line, LinkEnv{[](bool) {}, [&](int ms) { sleeps << ms; }});
        OpenDialog<TGODN> dlg(link);
        QTest::mouseClick(dlg->Button4, Qt::LeftButton);
        QCOMPARE(line.writes.size(), 45);
        QByteArray pass;
        for (int i = 1; i <= 9; ++i) pass += QByteArray::fromHex("0f") + char(i * 16);
        QCOMPARE(line.wire.toHex(), pass.repeated(5).toHex());
        QCOMPARE(sleeps, QList<int>(45, 500));
    }
};

int runFixedAmountTests(int argc, char** argv) {
    FixedAmountTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FixedAmountTest.moc"
