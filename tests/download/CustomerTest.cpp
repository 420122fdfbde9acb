// The customer dialogs end to end against the simulated readers: the download (and its record
// stream on an in-memory line), the record check and maintenance, the count and the delete.
#include "CustomerDownload.h"
#include "CustomerRecords.h"
#include "DownloadTests.h"
#include "FGaekDel.h"
#include "FGaekDn.h"
#include "FGaekGn.h"
#include "FGaekHk.h"
#include "FakeLine.h"
#include "PieGauge.h"
#include "ProgressCounters.h"
#include "ReaderGrid.h"
#include "ReaderLink.h"
#include "ReaderPanel.h"
#include "Screenshots.h"
#include "SimStation.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

namespace {
const QString kFile = QStringLiteral("CARD/DATA1/CDATA.TXT");
const QString kBadEntry = QStringLiteral("입력오류-다시 입력하십시요");
const sim::Customer kCustomer{0x12, 0x34, 0x56, 0x78, 0x90, 0x11, 0x00, 0x01, 0x50};

void holdCustomer(SimStation& station, int id) {
    station.line.withReader(id, [&](sim::Reader& r) { r.storeCustomer(kCustomer); });
}

size_t customersOf(SimStation& station, int id) {
    return station.line.withReader(id, [](sim::Reader& r) { return r.customers().size(); });
}

void addFault(SimStation& station, int id, const sim::Fault& fault) {
    station.line.withReader(id, [&](sim::Reader& r) { r.addFault(fault); });
}

// The handler of ButtonN (a switch: a table of member pointers trips the sanitizer build's
// uninitialised-use warning).
void press(TGaekHk* dlg, int button) {
    switch (button) {
    case 1:
        dlg->Button1Click();
        break;
    case 2:
        dlg->Button2Click();
        break;
    case 3:
        dlg->Button3Click();
        break;
    case 4:
        dlg->Button4Click();
        break;
    case 5:
        dlg->Button5Click();
        break;
    case 6:
        dlg->Button6Click();
        break;
    case 7:
        dlg->Button7Click();
        break;
    default:
        QFAIL("no such button");
    }
}

QStringList row(QTableWidget* grid, int r) {
    return {cellText(grid, r, 1), cellText(grid, r, 2), cellText(grid, r, 3)};
}
} // namespace

class CustomerTest : public QObject {
    Q_OBJECT

private slots:
    // On an in-memory line the reader's answer is there 1 ms after the record: "N0" stops the
    // run at once (no further record, no "D2"); any other answer, or none, does not.
    void answerToTheSecondRecord_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QStringList>("frames");
        QTest::newRow("N0") << readerFrame("N0", 1) << QStringList{"D0", "D1", "D1"};
        QTest::newRow("N2") << readerFrame("N2", 1) << QStringList{"D0", "D1", "D1", "D1", "D2"};
        QTest::newRow("junk") << QByteArray("\x02junk") << QStringList{"D0", "D1", "D1", "D1", "D2"};
        QTest::newRow("none") << QByteArray() << QStringList{"D0", "D1", "D1", "D1", "D2"};
    }
    void answerToTheSecondRecord() {
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, frames);
        FakeLine line;
        ScriptedPrompts boxes;
        int d1 = 0;
        QStringList sent;
        line.responder = [&](const QByteArray& frame) {
            QByteArray code = frame.mid(2, 2);
            for (char& c : code) c = char(c - 0x20);
            sent << QString::fromLatin1(code);
            return code == "D1" && ++d1 == 2 ? answer : readerFrame(code.constData(), 1);
        };
        ReaderLink link(line, virtualTimeEnv(line));
        CustomerDownload job(link);
        const bool stops = frames.size() == 3;
        QCOMPARE(job.run(1, QList<QByteArray>(3, QByteArray(9, '\x11'))),
                 stops ? CustomerDownload::End::DataError : CustomerDownload::End::Closed);
        QCOMPARE(sent, frames);
        QCOMPARE(boxes.texts(), stops ? QStringList{"DATA에러.. 다시 DOWNLOAD해주십시요"} : QStringList());
    }

    void oneReader() {
        SimStation station(2);
        station.writeFile(kFile, customerFile(19) + "123\r\n");
        OpenDialog<TGaekDn> dlg(station.link);
        dlg->panel->TSBAR->setValue(2);
        QTest::mouseClick(dlg->Button1, Qt::LeftButton);
        saveScreenshot(dlg.get(), "TGaekDn");
        QCOMPARE(station.commands(2), QStringList{"D0"} + QStringList(20, "D1") + QStringList{"D2"});
        QVERIFY(station.commands(1).isEmpty());
        const auto frames = station.line.frames(2);
        for (int i = 1; i <= 19; ++i)
            QCOMPARE(bytesOf(frames.at(size_t(i)).data).toHex(), customerLine(i).left(18));
        // A short line sends its own digits and zeros, nothing of the line before.
        QCOMPARE(bytesOf(frames.at(20).data).toHex(), QByteArray("123000000000000000"));
        QCOMPARE(dlg->counters->cap1->text(), "20건");
        QCOMPARE(dlg->counters->cap2->text(), "20건");
        QCOMPARE(dlg->counters->Gauge1->percent(), 100);
        QVERIFY(station.boxes.boxes.isEmpty());
    }

    void allReadersAnsweringGetTheBroadcast() {
        SimStation station(3);
        station.writeFile(kFile, customerFile(5));
        OpenDialog<TGaekDn> dlg(station.link);
        dlg->panel->RadioGroup1Click(1);
        dlg->Button1Click();
        QVERIFY(station.boxes.boxes.isEmpty());
        QCOMPARE(station.lineCommands(), QStringList(3, "D0") + QStringList(5, "D1") + QStringList(3, "D2"));
        for (const sim::LineEvent& e : station.line.lineEvents()) {
            if (e.code != "D1") continue;
            QCOMPARE(int(e.kind), int(sim::LineEvent::Kind::Broadcast));
            QCOMPARE(int(e.raw.at(1)), 0xB9);
        }
        QCOMPARE(station.line.withReader(3, [](sim::Reader& r) { return r.customers().size(); }), size_t(5));
    }

    // Cancel on the question closes every reader, the silent ones too.
    void silentReadersAskFirst() {
        SimStation station(4);
        station.writeFile(kFile, customerFile(2));
        for (int id : {1, 3})
            station.line.withReader(id, [](sim::Reader& r) { r.addFault(sim::Fault::silent().on("D0")); });
        station.boxes.answers = {false};
        OpenDialog<TGaekDn> dlg(station.link);
        dlg->panel->RadioGroup1Click(1);
        dlg->Button1Click();
        QCOMPARE(station.boxes.texts(),
                 QStringList{"현재  1번 3번리더에서 에러가 검출되었습니다, 그래도 진행하겠습니까?"});
        QVERIFY(station.boxes.boxes.first().confirmation);
        for (int id = 1; id <= 4; ++id) QVERIFY(station.line.waitForFrames(id, 2, 2000));
        for (int id = 1; id <= 4; ++id) QCOMPARE(station.commands(id), (QStringList{"D0", "D2"}));
    }

    // The reader asks for the only record again: the run is void and no "D2" goes out.
    void negativeAckAfterARecord() {
        SimStation station(1);
        station.writeFile(kFile, customerFile(1));
        station.line.withReader(1, [](sim::Reader& r) {
            r.addFault(sim::Fault::answerCode("N0").on("D1"));
            r.addFault(sim::Fault::late(50).on("D1"));
        });
        OpenDialog<TGaekDn> dlg(station.link);
        dlg->Button1Click();
        QCOMPARE(station.boxes.texts(), QStringList{"DATA에러.. 다시 DOWNLOAD해주십시요"});
        QCOMPARE(station.commands(1), (QStringList{"D0", "D1"}));
    }

    void memoryFullOnClose() {
        SimStation station(2);
        station.writeFile(kFile, customerFile(3));
        station.line.withReader(1, [](sim::Reader& r) { r.setCapacity(2); });
        OpenDialog<TGaekDn> dlg(station.link);
        dlg->Button1Click();
        QCOMPARE(station.boxes.texts(), QStringList{"리더 메모리부족 - 다운로드건수를 줄이십시요"});
        QCOMPARE(station.commands(1).last(), "D2");
    }

    void signAndFlagOfAnAnswer() {
        const CustomerRow r = customerRow(Reply{'1', QByteArray::fromHex("000000000100001234"), {}});
        QCOMPARE((QStringList{r.number, r.negative, r.balance}),
                 (QStringList{"  0000000001", " No", " +0012340원"}));
    }

    // Enter in the entry queries the chosen reader; the record fills the reader's row.
    void enterQueriesOneReader() {
        SimStation station(2);
        holdCustomer(station, 2);
        OpenDialog<TGaekHk> dlg(station.link);
        dlg->panel->TSBAR->setValue(2);
        QTest::keyClicks(dlg->Edit1, "1234567890123");
        QCOMPARE(dlg->Edit1->text(), "1234567890");
        QTest::keyClick(dlg->Edit1, Qt::Key_Return);
        QCOMPARE(station.commands(2), QStringList{"D4"});
        QCOMPARE(bytesOf(station.line.frames(2).at(0).data).toHex(), QByteArray("1234567890"));
        QCOMPARE(row(dlg->Grid, 2), (QStringList{"  1234567890", " Yes", " -0001500원"}));
        saveScreenshot(dlg.get(), "TGaekHk");
        dlg->panel->TSBAR->setValue(1);
        dlg->Button1Click();
        QCOMPARE(row(dlg->Grid, 1), (QStringList{"번호가 없습니다", "", ""}));
    }

    void addChangeDelete() {
        SimStation station(1);
        OpenDialog<TGaekHk> dlg(station.link);
        dlg->Edit1->setText("1234567890");
        dlg->Button4Click();
        QCOMPARE(cellText(dlg->Grid, 1, 1), "  추가성공!");
        QCOMPARE(customersOf(station, 1), size_t(1));
        dlg->Button4Click();
        QCOMPARE(cellText(dlg->Grid, 1, 1), QString());
        dlg->Button5Click();
        QCOMPARE(cellText(dlg->Grid, 1, 1), "  변경성공!");
        dlg->Button3Click();
        QCOMPARE(cellText(dlg->Grid, 1, 1), "  삭제성공!");
        QCOMPARE(customersOf(station, 1), size_t(0));
        QCOMPARE(bytesOf(station.line.frames(1).back().data).toHex(), QByteArray("123456"));
        dlg->Button5Click();
        dlg->Button3Click();
        QCOMPARE(station.boxes.texts(),
                 (QStringList{"중복된 번호이거나 최대고객수가 초과되었습니다!",
                              "변경불가-존재하지 않는 고객입니다", "삭제불가-존재하지 않는 고객입니다"}));
        QCOMPARE(station.commands(1), (QStringList{"D5", "D5", "D7", "D6", "D7", "D6"}));
    }

    // An entry that is not ten digits goes nowhere: the delete goes by the first six digits, and
    // fewer would erase whichever customer matched.
    void badEntriesAreRefusedBeforeSending_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("entry");
        QTest::newRow("query, five digits") << 1 << "12345";
        QTest::newRow("delete, five digits") << 3 << "12345";
        QTest::newRow("delete, letter") << 3 << "12345x7890";
        QTest::newRow("add, nine digits") << 4 << "123456789";
        QTest::newRow("change, blank") << 5 << "12345 7890";
    }
    void badEntriesAreRefusedBeforeSending() {
        QFETCH(int, button);
        QFETCH(QString, entry);
        SimStation station(1);
        holdCustomer(station, 1);
        OpenDialog<TGaekHk> dlg(station.link);
        dlg->Edit1->setText(entry);
        press(dlg.get(), button);
        QCOMPARE(station.boxes.texts(), QStringList{kBadEntry});
        QVERIFY(station.line.wireBytes().empty());
        QCOMPARE(customersOf(station, 1), size_t(1));
    }

    // With 전체ID there is no reader to address and no row to write: the handlers refuse.
    void maintenanceRefusesAllReaders_data() {
        QTest::addColumn<int>("button");
        for (int b = 3; b <= 7; ++b) QTest::newRow(qPrintable(QStringLiteral("Button%1").arg(b))) << b;
    }
    void maintenanceRefusesAllReaders() {
        QFETCH(int, button);
        SimStation station(2);
        OpenDialog<TGaekHk> dlg(station.link);
        dlg->panel->RadioGroup1Click(1);
        dlg->Edit1->setText("1234567890");
        press(dlg.get(), button);
        QCOMPARE(station.boxes.texts(), QStringList{"개별ID로 리더를 하나 선택하십시요"});
        QVERIFY(station.line.wireBytes().empty());
        QCOMPARE(cellText(dlg->Grid, 0, 1), "  사 원 번 호");
    }

    void linkTestAndMealReset() {
        SimStation station(2);
        OpenDialog<TGaekHk> dlg(station.link);
        dlg->panel->TSBAR->setValue(2);
        dlg->Button6Click();
        dlg->Button7Click();
        QCOMPARE(station.line.withReader(2, [](sim::Reader& r) { return r.mealResets(); }), 1);
        QCOMPARE(station.commands(2), (QStringList{"A0", "E0"}));
        addFault(station, 2, sim::Fault::silent().on("A0"));
        addFault(station, 2, sim::Fault::answerCode("N0").on("E0"));
        dlg->Button6Click();
        dlg->Button7Click();
        QCOMPARE(station.boxes.texts(), (QStringList{"통신상태 양호!", "식사횟수가 초기화 되었습니다!",
                                                     "응답이 없습니다", "제전송요청!"}));
    }

    void countOfOneReader() {
        SimStation station(2);
        station.line.withReader(2, [](sim::Reader& r) {
            for (int i = 0; i < 1234; ++i) r.storeCustomer({0, 0, quint8(i >> 8), quint8(i), 0, 0, 0, 0, 0});
        });
        OpenDialog<TGaekGn> dlg(station.link);
        dlg->panel->TSBAR->setValue(2);
        QTest::mouseClick(dlg->Button1, Qt::LeftButton);
        QCOMPARE(cellText(dlg->Grid, 2, 1), "        001234건");
        saveScreenshot(dlg.get(), "TGaekGn");
    }

    void deleteCancelled() {
        SimStation station(1);
        holdCustomer(station, 1);
        station.boxes.answers = {false};
        OpenDialog<TGaekDel> dlg(station.link);
        setCell(dlg->Grid, 1, 1, "old");
        dlg->Button1Click();
        QCOMPARE(station.boxes.texts(), QStringList{"고객자료 전체가 삭제됩니다. 계속하시겠습니까?"});
        QCOMPARE(station.boxes.boxes.first().caption, "삭제경고");
        QVERIFY(station.line.wireBytes().empty());
        QCOMPARE(cellText(dlg->Grid, 1, 1), "old");
        QCOMPARE(customersOf(station, 1), size_t(1));
    }

    void deleteResult_data() {
        QTest::addColumn<int>("fault"); // 0 none, 1 bad checksum, 2 silent
        QTest::addColumn<QString>("text");
        QTest::newRow("erased") << 0 << "고객자료가 삭제되었습니다";
        QTest::newRow("bad checksum") << 1 << "    수신데이터 에러";
        QTest::newRow("silent") << 2 << "    응답이 없습니다";
    }
    void deleteResult() {
        QFETCH(int, fault);
        QFETCH(QString, text);
        SimStation station(2);
        holdCustomer(station, 2);
        const sim::Fault faults[] = {sim::Fault::badChecksum(), sim::Fault::silent()};
        if (fault > 0) addFault(station, 2, faults[fault - 1].on("D3"));
        OpenDialog<TGaekDel> dlg(station.link);
        dlg->panel->TSBAR->setValue(2);
        dlg->Button1Click();
        QCOMPARE(cellText(dlg->Grid, 2, 1), text);
        if (fault == 0) {
            QCOMPARE(customersOf(station, 2), size_t(0));
            saveScreenshot(dlg.get(), "TGaekDel");
        }
    }
};

int runCustomerTests(int argc, char** argv) {
    CustomerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "CustomerTest.moc"
