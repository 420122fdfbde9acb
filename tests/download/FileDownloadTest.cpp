// The file downloads: meal times and amounts, fixed amounts, and what a refused file or 종료
// during a run leaves on the line; the fixed-amount port tests on an in-memory line.
#include "DownloadFiles.h"
#include "DownloadTests.h"
#include "FGaekDn.h"
#include "FGoDn.h"
#include "FSikDn.h"
#include "FakeLine.h"
#include "FixedAmounts.h"
#include "ProgressCounters.h"
#include "ReaderPanel.h"
#include "Screenshots.h"
#include "SimStation.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

namespace {
const QString kMealsPath = QStringLiteral("CARD/DATA1/TDATA.TXT");
const QString kAmountsPath = QStringLiteral("CARD/DATA1/PDATA.TXT");
const QByteArray kText =
    QByteArray("0123456789 amount, name: ABCDEFGHIJKLMNOPQRSTUVWXYZ ").repeated(2).left(96);

ReaderDialog* makeDialog(const QString& kind, ReaderLink& link) {
    if (kind == "customers") return new TGaekDn(link);
    if (kind == "meals") return new TSikDn(link);
    return new TGODN(link);
}

QStringList mealLinesOf(SimStation& station, int id) {
    QStringList out;
    for (const sim::LineEvent& e : station.line.frames(id))
        if (e.code == "E2") out << QString::fromLatin1(bytesOf(e.data).toHex().left(4));
    return out;
}
} // namespace

class FileDownloadTest : public QObject {
    Q_OBJECT

private slots:
    // The downloads on the line model at slow and fast speeds. The customer records stream
    // faster than a reader could acknowledge each, but never faster than the line carries them,
    // so the closing "D2" is answered in its own time; each meal line is acknowledged before
    // the next leaves, so each goes out once.
    void atEachSpeed_data() { addLineSpeedRows(); }
    void atEachSpeed() {
        QFETCH(int, rate);
        SimStation station(2, 2, TBaudrate(rate));
        station.writeFile(QStringLiteral("CARD/DATA1/CDATA.TXT"), customerFile(60));
        {
            OpenDialog<TGaekDn> dlg(station.link);
            dlg->panel->TSBAR->setValue(2);
            dlg->Button1Click();
            QCOMPARE(dlg->counters->cap1->text(), "60건");
            QCOMPARE(dlg->counters->cap2->text(), "60건");
        }
        QVERIFY(station.boxes.boxes.isEmpty()); // "D2" acknowledged: no "응답이 없습니다"
        QCOMPARE(station.commands(2), QStringList{"D0"} + QStringList(60, "D1") + QStringList{"D2"});
        QCOMPARE(station.line.withReader(2, [](sim::Reader& r) { return r.customers().size(); }), size_t(60));

        station.writeFile(kMealsPath, linesFile({mealLine("01", 1), mealLine("01", 2), mealLine("01", 3),
                                                 mealLine("02", 4), mealLine("02", 5), mealLine("02", 6)}));
        {
            OpenDialog<TSikDn> dlg(station.link);
            dlg->Button1Click();
        }
        QVERIFY(station.boxes.boxes.isEmpty());
        QCOMPARE(mealLinesOf(station, 1), QStringList({"0001", "0002", "0003"}));
        QCOMPARE(mealLinesOf(station, 2), QStringList({"0004", "0005", "0006"}));
    }

    void mealLinePacking_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QByteArray>("data");
        const QByteArray digits = QByteArray("0123456789").repeated(10).left(98);
        QTest::newRow("short line: missing digits are zeros")
            << QByteArray("1212") << QString() << QByteArray::fromHex("12" + QByteArray(96, '0'));
        QTest::newRow("blank in the id") << QByteArray(" 1" + digits) << kBadReaderDigits << QByteArray();
        QTest::newRow("one character") << QByteArray("1") << kBadReaderDigits << QByteArray();
    }
    void mealLinePacking() {
        QFETCH(QByteArray, line);
        QFETCH(QString, reason);
        QFETCH(QByteArray, data);
        MealLine meal;
        QCOMPARE(parseMealLine(line, meal), reason);
        if (reason.isEmpty()) QCOMPARE(meal.data.toHex(), data.toHex());
    }

    // A refused file names itself and the line, and nothing of it goes out.
    void badOrMissingFileSendsNothing_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("message");
        const QString missing = QStringLiteral("지정된 경로에 DataFile이 없습니다");
        const QByteArray text(96, 'a');
        QTest::newRow("customers missing") << "customers"
                                           << "CDATA.TXT" << QByteArray() << missing;
        QTest::newRow("customers, letter on line 2")
            << "customers"
            << "CDATA.TXT" << linesFile({customerLine(1), "1234567890l2345678"})
            << QStringLiteral("C:\\CARD\\DATA1\\CDATA.TXT 2번째 줄: 숫자가 아닌 문자가 있습니다");
        QTest::newRow("meals, id not decimal on line 3")
            << "meals"
            << "TDATA.TXT" << linesFile({mealLine("01", 1), mealLine("02", 2), mealLine("1.", 3)})
            << QStringLiteral("C:\\CARD\\DATA1\\TDATA.TXT 3번째 줄: 리더번호가 두 자리 숫자가 아닙니다");
        QTest::newRow("meals, letter in the digits on line 2")
            << "meals"
            << "TDATA.TXT" << linesFile({mealLine("01", 1), mealLine("01", 2).replace(40, 1, "O")})
            << QStringLiteral("C:\\CARD\\DATA1\\TDATA.TXT 2번째 줄: 숫자가 아닌 문자가 있습니다");
        QTest::newRow("fixed amounts missing") << "amounts"
                                               << "PDATA.TXT" << QByteArray() << missing;
        QTest::newRow("fixed amounts, id not decimal on line 2")
            << "amounts"
            << "PDATA.TXT" << linesFile({"01" + text, "-1" + text})
            << QStringLiteral("C:\\CARD\\DATA1\\PDATA.TXT 2번째 줄: 리더번호가 두 자리 숫자가 아닙니다");
    }
    void badOrMissingFileSendsNothing() {
        QFETCH(QString, kind);
        QFETCH(QString, file);
        QFETCH(QByteArray, contents);
        QFETCH(QString, message);
        SimStation station(2);
        if (!contents.isEmpty()) station.writeFile("CARD/DATA1/" + file, contents);
        OpenDialog<ReaderDialog> dlg(makeDialog(kind, station.link));
        dlg->findChild<QPushButton*>("Button1")->click();
        QCOMPARE(station.boxes.texts(), QStringList{message});
        QVERIFY(station.line.wireBytes().empty());
    }

    // 종료 or Esc during a run: the lines sent so far stay, the customer download is closed with
    // "D2", and the dialog closes once the run has returned.
    void stopDuringTheRun_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("stopAt");
        QTest::addColumn<bool>("escape");
        QTest::addColumn<QStringList>("commands");
        const QByteArray meals = linesFile({mealLine("01", 1), mealLine("01", 2), mealLine("01", 3)});
        for (const bool escape : {false, true}) {
            const char* const key = escape ? "Esc" : "종료";
            QTest::addRow("customers after 5 of 20, %s", key)
                << "customers"
                << "CDATA.TXT" << customerFile(20) << "05건" << escape
                << QStringList{"D0", "D1", "D1", "D1", "D1", "D1", "D2"};
            QTest::addRow("meals after 2 of 3, %s", key)
                << "meals"
                << "TDATA.TXT" << meals << "02건" << escape << QStringList{"E1", "E2", "E2"};
        }
    }
    void stopDuringTheRun() {
        QFETCH(QString, kind);
        QFETCH(QString, file);
        QFETCH(QByteArray, contents);
        QFETCH(QString, stopAt);
        QFETCH(bool, escape);
        QFETCH(QStringList, commands);
        SimStation station(1);
        station.writeFile("CARD/DATA1/" + file, contents);
        OpenDialog<ReaderDialog> dlg(makeDialog(kind, station.link));
        dlg->show();
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (dlg->findChild<QLabel*>("cap2")->text() != stopAt) return;
            if (escape)
                QTest::keyClick(dlg.get(), Qt::Key_Escape);
            else
                QTest::mouseClick(dlg->findChild<QPushButton*>("Button2"), Qt::LeftButton);
        });
        watcher.start(0);
        QTest::mouseClick(dlg->findChild<QPushButton*>("Button1"), Qt::LeftButton);
        watcher.stop();
        QVERIFY(dlg.gone());
        QCOMPARE(station.commands(1), commands);
    }

    void eachNewReaderIsAnnounced() {
        SimStation station(2);
        station.writeFile(kMealsPath, linesFile({mealLine("01", 1), mealLine("01", 2), mealLine("02", 3)}));
        OpenDialog<TSikDn> dlg(station.link);
        QTest::mouseClick(dlg->Button1, Qt::LeftButton);
        QCOMPARE(station.lineCommands(), (QStringList{"E1", "E2", "E2", "E1", "E2"}));
        QCOMPARE(station.commands(1), (QStringList{"E1", "E2", "E2"}));
        // The 98 digits after the id, packed; what stands beyond them is not sent.
        QCOMPARE(bytesOf(station.line.frames(1).at(1).data).toHex(), mealLine("01", 1).mid(2, 98));
        QCOMPARE(dlg->counters->cap2->text(), "03건");
        QVERIFY(station.boxes.boxes.isEmpty());
        saveScreenshot(dlg.get(), "TSikDn");
    }

    // A silent reader: its first line goes out six times, one notice, its following lines are
    // counted but passed over; a later run of its lines after another reader's is tried again.
    void silentReaderIsPassedOver() {
        SimStation station(2);
        station.writeFile(kMealsPath, linesFile({mealLine("01", 1), mealLine("01", 2), mealLine("01", 3),
                                                 mealLine("02", 4), mealLine("01", 5)}));
        station.line.withReader(1, [](sim::Reader& r) { r.addFault(sim::Fault::silent().times(10)); });
        OpenDialog<TSikDn> dlg(station.link);
        dlg->Button1Click();
        QCOMPARE(station.boxes.texts(), QStringList{"01번 리더가 응답이 없습니다. 다음리더로 넘어갑니다"});
        QCOMPARE(mealLinesOf(station, 1), QStringList(6, "0001") << "0005");
        QCOMPARE(mealLinesOf(station, 2), QStringList{"0004"});
        QCOMPARE(dlg->counters->cap2->text(), "05건");
    }

    // Only the sixth attempt chooses the notice: a reader that answers badly gets the data one.
    void badAnswersArePassedOver() {
        SimStation station(2);
        station.writeFile(kMealsPath, linesFile({mealLine("02", 1), mealLine("02", 2), mealLine("01", 3)}));
        station.line.withReader(2, [](sim::Reader& r) {
            r.addFault(sim::Fault::silent().on("E2").times(3).then(sim::Fault::answerCode("N0").on("E2")));
        });
        OpenDialog<TSikDn> dlg(station.link);
        dlg->Button1Click();
        QCOMPARE(station.boxes.texts(), QStringList{"02번 리더에 데이터 에러. 다음리더로 넘어갑니다"});
        QCOMPARE(mealLinesOf(station, 2).size(), 6);
        QCOMPARE(mealLinesOf(station, 1), QStringList{"0003"});
    }

    void retriesUntilTheReaderTakesTheLine() {
        SimStation station(1);
        station.writeFile(kMealsPath, linesFile({mealLine("01", 1)}));
        station.line.withReader(1, [](sim::Reader& r) {
            r.addFault(sim::Fault::silent().on("E1").times(3));
            r.addFault(sim::Fault::badChecksum().on("E2").times(5));
        });
        OpenDialog<TSikDn> dlg(station.link);
        dlg->Button1Click();
        QVERIFY(station.boxes.boxes.isEmpty());
        QCOMPARE(station.commands(1), QStringList(4, "E1") + QStringList(6, "E2"));
    }

    // "03" + 96 characters: exactly 02 23 50 03 00, the characters, FF; what stands beyond
    // column 98 never leaves.
    void recordOnTheWire() {
        SimStation station(3);
        station.writeFile(kAmountsPath, "03" + kText + "NOT SENT 1234567890\r\n");
        OpenDialog<TGODN> dlg(station.link);
        QTest::mouseClick(dlg->Button1, Qt::LeftButton);
        QVERIFY(station.line.waitForLineEvents(1, 2000));
        const QByteArray wire = bytesOf(station.line.wireBytes());
        QCOMPARE(wire.size(), 102);
        QCOMPARE(wire.left(5).toHex(' '), QByteArray("02 23 50 03 00"));
        QCOMPARE(wire.mid(5, 96), kText);
        QCOMPARE(quint8(wire.at(101)), quint8(0xFF));
        QCOMPARE(station.line.withReader(3, [](sim::Reader& r) { return r.fixedAmounts().size(); }),
                 size_t(1));
        QCOMPARE(dlg->counters->cap2->text(), "01건");
        saveScreenshot(dlg.get(), "TGODN");
    }

    // Each record in three writes; a short line is filled with blanks, never with an earlier
    // line's characters.
    void recordsInThreeWrites() {
        SimStation station(1); // for the file and the message boxes
        station.writeFile(kAmountsPath, "12" + kText + "\r\n07short\r\n");
        FakeLine line;
        ReaderLink link(line, virtualTimeEnv(line));
        OpenDialog<TGODN> dlg(link);
        dlg->Button1Click();
        QVERIFY(station.boxes.boxes.isEmpty());
        QCOMPARE(line.writes, (QList<QByteArray>{QByteArray::fromHex("022350 0c00"), kText, "\xff",
                                                 QByteArray::fromHex("022350 0700"),
                                                 QByteArray("short").leftJustified(96, ' '), "\xff"}));
    }

    void growingTextTest() {
        FakeLine line;
        ReaderLink link(line, virtualTimeEnv(line));
        OpenDialog<TGODN> dlg(link);
        QTest::mouseClick(dlg->Button3, Qt::LeftButton);
        QCOMPARE(line.writes.size(), 19);
        QCOMPARE(line.writes.first(), QByteArray(" "));
        QCOMPARE(line.writes.last(), portTestText());
        QCOMPARE(line.writes.at(2).toHex(' '), QByteArray("20 c5 eb")); // 통 in the Korean code page
    }

    void nibbleTest() {
        FakeLine line;
        ReaderLink link(line, virtualTimeEnv(line));
        OpenDialog<TGODN> dlg(link);
        QTest::mouseClick(dlg->Button4, Qt::LeftButton);
        QCOMPARE(line.writes.size(), 45);
        QByteArray pass;
        for (int i = 1; i <= 9; ++i) pass += QByteArray::fromHex("0f") + char(i * 16);
        QCOMPARE(line.wire.toHex(), pass.repeated(5).toHex());
    }
};

int runFileDownloadTests(int argc, char** argv) {
    FileDownloadTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FileDownloadTest.moc"
