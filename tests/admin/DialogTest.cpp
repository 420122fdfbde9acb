// Each administration dialog end to end: the real dialog against simulated readers on a
// pseudo-terminal, read back from its grid, its boxes and what the readers received.
#include "AdminTests.h"
#include "Childwin.h"
#include "ClockPanels.h"
#include "FCOMCHK.h"
#include "FGoHk.h"
#include "FPanDel.h"
#include "FPanGn.h"
#include "FakeLine.h"
#include "Prompts.h"
#include "ReaderClock.h"
#include "Screenshots.h"
#include "ScriptedPrompts.h"
#include "SimStation.h"
#include "THWAK.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {
const QString kBlank = QStringLiteral(" ");

ClockSnapshot sundayMorning() {
    return ClockSnapshot{2007, 12, 9, 0, 10, 11, 12};
}

void addFault(SimStation& station, int id, const sim::Fault& fault) {
    station.line.withReader(id, [&](sim::Reader& r) { r.addFault(fault); });
}
} // namespace

class DialogTest : public QObject {
    Q_OBJECT

private slots:
    // Every administration exchange on the line model (wire time both ways, the adapter's 16 ms
    // bursts) at slow and fast speeds: the mode table's frames are 56 bytes both ways, 467 ms
    // each at 1200 bit/s.
    void atEachSpeed_data() { addLineSpeedRows(); }
    void atEachSpeed() {
        QFETCH(int, rate);
        SimStation station(4, 4, TBaudrate(rate));
        station.line.withReader(2, [](sim::Reader& r) { r.addRecords(12); });
        station.line.withReader(3, [](sim::Reader& r) {
            r.setClock(sim::ClockBlock{0x20, 0x07, 0x12, 0x08, 0x06, 0x13, 0x45, 0x30});
        });
        {
            Owned<TComCheck> dialog(new TComCheck(station.link));
            dialog->Button1Click();
            QCOMPARE(gridColumn(dialog->Grid, 1, 1, 4), QStringList(4, "  통신성공 - 정상작동중"));
        }
        {
            Owned<TPanGn> dialog(new TPanGn(station.link));
            chooseAllReaders(dialog->panel);
            dialog->Button1Click();
            QCOMPARE(gridColumn(dialog->Grid, 1, 1, 4),
                     QStringList({"  000000건", "  000012건", "  000000건", "  000000건"}));
        }
        {
            Owned<TForm_Th> dialog(new TForm_Th(station.link));
            chooseReader(dialog->panel, 3);
            dialog->Button1Click();
            QCOMPARE(cellText(dialog->Grid, 3, 1), "  2007.12.08 13:45:30");
        }
        {
            Owned<TMDIChild> dialog(new TMDIChild(station.link, QStringLiteral("리더 시간설정")));
            dialog->clock->source = sundayMorning;
            chooseAllReaders(dialog->panel);
            dialog->Button1Click();
            QCOMPARE(gridColumn(dialog->Grid, 2, 1, 4), QStringList(4, "2007.12.09 10:11:12"));
        }
        {
            station.writeFile("DATA1/TDATA.TXT", "1 08:30 09:00 1\r\n2 12:00 13:00 2\r\n");
            Owned<TGoHk> dialog(new TGoHk(station.link));
            chooseReader(dialog->panel, 4);
            dialog->Button1Click();
            QCOMPARE(gridColumn(dialog->Grid, 2, 1, 3), QStringList({" 01-출근", " 02-퇴근", " 00-[해제]"}));
            QCOMPARE(station.line.withReader(4, [](sim::Reader& r) { return r.modeTable()[3]; }), 0x30);
        }
        QVERIFY(station.boxes.boxes.isEmpty());
    }

    void statusCheck() {
        SimStation station(2, 3); // reader 3 is configured but silent
        station.line.withReader(2, [](sim::Reader& r) { r.setStatus('E'); });
        Owned<TComCheck> dialog(new TComCheck(station.link));
        QCOMPARE(dialog->Panel1->text(), "03대");
        fillColumns(dialog->Grid, {1}, 1, 12, "earlier run");
        dialog->show();
        QTest::mouseClick(dialog->Button1, Qt::LeftButton);
        QCOMPARE(gridColumn(dialog->Grid, 1, 1, 3),
                 QStringList({"  통신성공 - 정상작동중", "    수신 데이터 이상", "  리더가 응답이없습니다"}));
        QCOMPARE(gridColumn(dialog->Grid, 1, 4, 12), QStringList(9, kBlank));
        saveScreenshot(dialog.get(), "TComCheck");
    }

    void statusCheckAnswerFromAnotherReader() {
        SimStation station(1);
        addFault(station, 1, sim::Fault::wrongAddress(5));
        Owned<TComCheck> dialog(new TComCheck(station.link));
        dialog->Button1Click();
        QCOMPARE(cellText(dialog->Grid, 1, 1), "     수신데이터 에러");
    }

    // A closed port is opened again for the run; one that cannot be opened ends the run in the
    // default error box and leaves the dialog open.
    void statusCheckWithThePortClosed() {
        SimStation station(2);
        Owned<TComCheck> dialog(new TComCheck(station.link));
        station.Comm.Close();
        dialog->Button1Click();
        QVERIFY(station.Comm.isOpen());
        QCOMPARE(cellText(dialog->Grid, 1, 1), "  통신성공 - 정상작동중");

        station.Comm.Close();
        station.Comm.setDeviceName("/nonexistent/COM2");
        fillColumns(dialog->Grid, {1}, 1, 12, kBlank);
        dialog->Button1Click();
        QCOMPARE(station.boxes.texts(), QStringList{"Error accessing specified device (Error: 2) "});
        QCOMPARE(station.boxes.boxes[0].caption, kProgramName);
        QCOMPARE(gridColumn(dialog->Grid, 1), QStringList(12, kBlank));
        QVERIFY(!dialog.freed());
    }

    void clockCheck() {
        SimStation station(2, 3);
        station.line.withReader(1, [](sim::Reader& r) {
            r.setClock(sim::ClockBlock{0x20, 0x07, 0x12, 0x08, 0x06, 0x13, 0x45, 0x30});
        });
        addFault(station, 2, sim::Fault::badChecksum());
        const ClockSnapshot before = ClockSnapshot::now();
        Owned<TForm_Th> dialog(new TForm_Th(station.link));
        const ClockSnapshot after = ClockSnapshot::now();
        // The live panels show the computer's clock from the dialog's creation on.
        const QString date = dialog->findChild<QLabel*>("Panel1")->text();
        QVERIFY2(date == before.dateText() || date == after.dateText(), qPrintable(date));
        QVERIFY(dialog->findChild<QTimer*>("Timer1")->isActive());
        chooseAllReaders(dialog->panel);
        dialog->show();
        dialog->Button1Click();
        QCOMPARE(gridColumn(dialog->Grid, 1, 1, 4),
                 QStringList({"  2007.12.08 13:45:30", "   수신데이터 에러", "    응답이 없습니다", kBlank}));
        saveScreenshot(dialog.get(), "TForm_Th");
    }

    // The computer's clock goes out as the block (Sunday is 00) and stands in column 1 whatever
    // the reader answers.
    void clockSet() {
        SimStation station(4);
        addFault(station, 3, sim::Fault::silent());
        addFault(station, 4, sim::Fault::answerCode("B1"));
        Owned<TMDIChild> dialog(new TMDIChild(station.link, QStringLiteral("리더 시간설정")));
        dialog->clock->source = sundayMorning;
        chooseAllReaders(dialog->panel);
        dialog->show();
        dialog->Button1Click();
        const std::vector<sim::LineEvent> frames = station.line.frames(1);
        QCOMPARE(frames.size(), size_t(1));
        QCOMPARE(toBytes(frames[0].data).toHex(), "2007120900101112");
        QCOMPARE(gridColumn(dialog->Grid, 1, 1, 5), QStringList(4, "2007.12.09 10:11:12 ") << kBlank);
        QCOMPARE(gridColumn(dialog->Grid, 2, 1, 5),
                 QStringList({"2007.12.09 10:11:12", "2007.12.09 10:11:12", "  응답이 없습니다",
                              "   수신데이터 에러", kBlank}));
        QCOMPARE(dialog->findChild<QLabel*>("Panel1")->text(), "2007년 12월 09일");
        QCOMPARE(dialog->findChild<QLabel*>("Panel2")->text(), "10시 11분 12초 ");
        saveScreenshot(dialog.get(), "TMDIChild");
    }

    void recordCount() {
        SimStation station(3, 4);
        station.line.withReader(1, [](sim::Reader& r) { r.addRecords(123456); });
        addFault(station, 3, sim::Fault::answerCode("N0"));
        Owned<TPanGn> dialog(new TPanGn(station.link));
        chooseAllReaders(dialog->panel);
        dialog->show();
        QTest::mouseClick(dialog->Button1, Qt::LeftButton);
        QCOMPARE(gridColumn(dialog->Grid, 1, 1, 4),
                 QStringList({"  123456건", "  000000건", " 데이터 에러", " 응답이 없음"}));
        saveScreenshot(dialog.get(), "TPanGn");
    }

    // The port fails in the middle of an all-readers count: the run ends in the error box, and
    // the dialog is still in all-readers mode for the next run, as its panel shows.
    void portErrorInTheMiddleKeepsAllReaders() {
        FakeLine line;
        ReaderLink link(line, virtualTimeEnv(line, [&link](bool) { ++link.TickCount; }));
        link.ReaderCount = 3;
        line.responder = [&line](const QByteArray& frame) {
            if (frame.at(1) - 0x20 == 2) line.open = false;
            return readerFrame("C4", frame.at(1) - 0x20, QByteArray::fromHex("000001"));
        };
        ScriptedPrompts boxes;
        Owned<TPanGn> dialog(new TPanGn(link));
        chooseAllReaders(dialog->panel);
        dialog->Button1Click();
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes[0].caption, kProgramName);
        QCOMPARE(link.SelectedReader, 0);
        QCOMPARE(dialog->panel->capid->text(), "ALL");
        QCOMPARE(cellText(dialog->Grid, 1, 1), "  000001건");
    }

    // Three ticks of the main timer leave a reader time to answer "C4" at the line's own speed.
    void recordCountAtLineSpeed() {
        SimStation station(2, 2);
        station.line.withReader(2, [](sim::Reader& r) { r.addRecords(12); });
        Owned<TPanGn> dialog(new TPanGn(station.link));
        chooseAllReaders(dialog->panel);
        dialog->Button1Click();
        QCOMPARE(gridColumn(dialog->Grid, 1, 1, 2), QStringList({"  000000건", "  000012건"}));
    }

    // Each reader's records that no file holds are stored before it is erased; a reader that
    // cannot be read is not erased; the clerk sees what was stored and erased.
    void deleteAll() {
        SimStation station(3, 4);
        QDir().mkdir(station.filePath("DATA2"));
        station.line.withReader(1, [](sim::Reader& r) { r.addRecords(5); });
        addFault(station, 2, sim::Fault::answerCode("N0").on("C3"));
        Owned<TPanDel> dialog(new TPanDel(station.link));
        chooseAllReaders(dialog->panel);
        dialog->show();
        dialog->Button1Click();
        QCOMPARE(station.boxes.texts(),
                 QStringList({"수집자료 전체가 삭제됩니다. 계속하시겠습니까?",
                              "저장한 뒤 삭제한 수집자료:\n01번리더  보유 000005건  이번 저장 000005건 (순번 "
                              "000001~000005)  B" +
                                  QDate::currentDate().toString("yyyyMMdd") +
                                  ".TXT\n03번리더  보유 000000건  이번 저장 000000건  (모두 저장되어 있음)"}));
        QCOMPARE(station.boxes.boxes[0].caption, "삭제경고");
        QCOMPARE(gridColumn(dialog->Grid, 1, 1, 5),
                 QStringList({"수집자료가 삭제되었습니다", "    수신데이터 에러", "수집자료가 삭제되었습니다",
                              "    응답이 없어 삭제하지 않았습니다", QString()}));
        QCOMPARE(station.line.withReader(1, [](sim::Reader& r) { return r.records().size(); }), size_t(0));
        QCOMPARE(station.commands(4), QStringList());
        QCOMPARE(station.readFile("DATA2/B" + QDate::currentDate().toString("yyyyMMdd") + ".TXT").count("\r\n"), 5);
        const QStringList receipts =
            QString::fromUtf8(station.readFile("DATA2/ERASED.TXT")).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(receipts.size(), 3);
        QVERIFY(receipts[1].contains("02번리더 삭제요청 수신에러"));
        saveScreenshot(dialog.get(), "TPanDel");
    }

    void deleteCancelledSendsNothing() {
        SimStation station(2);
        station.line.withReader(1, [](sim::Reader& r) { r.addRecords(3); });
        Owned<TPanDel> dialog(new TPanDel(station.link));
        fillColumns(dialog->Grid, {1}, 1, 12, "counted before");
        station.boxes.answers = {false};
        dialog->Button1Click();
        QCOMPARE(station.boxes.boxes.size(), 1);
        QCOMPARE(station.lineCommands(), QStringList());
        QCOMPARE(gridColumn(dialog->Grid, 1), QStringList(12, "counted before"));
        QCOMPARE(station.line.withReader(1, [](sim::Reader& r) { return r.pendingCount(); }), size_t(3));
    }

    void modeTableOneReader() {
        SimStation station(2);
        station.writeFile("DATA1/TDATA.TXT", "1 08:30 09:00 1\r\n2 12:00 13:00 0\r\n3 18:00 19:00 7\r\n");
        Owned<TGoHk> dialog(new TGoHk(station.link));
        dialog->show();
        dialog->Button1Click();
        const std::vector<sim::LineEvent> frames = station.line.frames(1);
        QCOMPARE(frames.size(), size_t(1));
        QCOMPARE(frames[0].code, "B3");
        QCOMPARE(
            toBytes(frames[0].data).toHex(),
            (QByteArray::fromHex("010108300900 020012001300 030718001900") + QByteArray(30, '\0')).toHex());
        QCOMPARE(gridColumn(dialog->Grid, 1, 1, 4),
                 QStringList({"   0830-0900", "   1200-1300", "   1800-1900", "   0000-0000"}));
        QCOMPARE(gridColumn(dialog->Grid, 2, 1, 4),
                 QStringList({" 01-출근", " 00-[해제]", " 07-!에러!", " 00-[해제]"}));
        QVERIFY(station.boxes.boxes.isEmpty());
        saveScreenshot(dialog.get(), "TGoHk");
    }

    void modeTableWithoutFile_data() {
        QTest::addColumn<bool>("allReaders");
        QTest::addColumn<int>("boxes");
        QTest::newRow("one reader") << false << 1;
        QTest::newRow("all readers") << true << 3;
    }
    void modeTableWithoutFile() {
        QFETCH(bool, allReaders);
        QFETCH(int, boxes);
        SimStation station(3);
        Owned<TGoHk> dialog(new TGoHk(station.link));
        if (allReaders) chooseAllReaders(dialog->panel);
        dialog->Button1Click();
        QCOMPARE(station.boxes.texts(), QStringList(boxes, "지정된 경로에 DataFile이 없습니다"));
        QCOMPARE(station.lineCommands(), QStringList());
    }

    // Each failing reader gets its notice while capid shows its number; in all-readers mode the
    // table is empty at the end.
    void modeTableNoticesInAllMode() {
        SimStation station(3, 4);
        station.writeFile("DATA1/TDATA.TXT", "1 08:30 09:00 1\r\n");
        addFault(station, 2, sim::Fault::badChecksum());
        addFault(station, 3, sim::Fault::answerCode("N0"));
        Owned<TGoHk> dialog(new TGoHk(station.link));
        chooseAllReaders(dialog->panel);
        QStringList shownIds;
        station.boxes.onShow = [&](const ScriptedPrompts::Box&) { shownIds << dialog->panel->capid->text(); };
        dialog->Button1Click();
        QCOMPARE(station.boxes.texts(),
                 QStringList({"데이터가 부정확합니다", "제전송요청!", "응답이 없습니다"}));
        QCOMPARE(shownIds, QStringList({"02", "03", "04"}));
        QCOMPARE(gridColumn(dialog->Grid, 1, 1, 8), QStringList(8, QString()));
        QCOMPARE(station.line.withReader(1, [](sim::Reader& r) { return r.modeTable()[3]; }), 0x30);
    }
};

int runDialogTests(int argc, char** argv) {
    DialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DialogTest.moc"
