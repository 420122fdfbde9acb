// Each administration dialog end to end: the real dialog against simulated readers on a
// pseudo-terminal, read back from its grid, its boxes and what the readers received.
#include "AdminTests.h"
#include "Childwin.h"
#include "ClockPanels.h"
#include "FCOMCHK.h"
#include "FGoHk.h"
#include "FPanDel.h"
#include "FPanGn.h"
#include "ModeTable.h"
#include "ReaderClock.h"
#include "Screenshots.h"
#include "SimStation.h"
#include "THWAK.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {
const QString kBlank = QStringLiteral(" ");
const sim::ClockBlock kReaderClock{0x20, 0x07, 0x12, 0x08, 0x06, 0x13, 0x45, 0x30};

ClockSnapshot sundayMorning() {
    ClockSnapshot c;
    c.year = 2007;
    c.month = 12;
    c.day = 9;
    c.dayOfWeek = 0;
    c.hour = 10;
    c.minute = 11;
    c.second = 12;
    return c;
}

void fillColumn(QTableWidget* grid, int column, const QString& text) {
    fillColumns(grid, {column}, 1, grid->rowCount() - 1, text);
}

// Both clock dialogs show the computer's clock from their creation on.
template <class Dialog>
void checkClockPanels(Dialog* dialog, const ClockSnapshot& before, const ClockSnapshot& after) {
    const QString date = dialog->template findChild<QLabel*>("Panel1")->text();
    const QString time = dialog->template findChild<QLabel*>("Panel2")->text();
    QVERIFY2(date == before.dateText() || date == after.dateText(), qPrintable(date));
    QVERIFY2(time == before.timeText() || time == after.timeText(), qPrintable(time));
    QVERIFY(dialog->template findChild<QTimer*>("Timer1")->isActive());
}
} // namespace

class DialogTest : public QObject {
    Q_OBJECT

private slots:
    // --- communication status ---
    void statusCheck() {
        SimStation station(2, 3); // reader 3 is configured but silent
        station.line.withReader(2, [](sim::Reader& r) { r.setStatus('E'); });
        Owned<TComCheck> dialog(new TComCheck(station.link));
        QCOMPARE(dialog->windowTitle(), "통신상태 확인");
        QCOMPARE(dialog->Panel2->text(), "리더갯수");
        QCOMPARE(dialog->Panel1->text(), "03대");
        QCOMPARE(gridColumn(dialog->Grid, 0, 0, 12),
                 QStringList({"  I D", "  01", "  02", "  03", "  04", "  05", "  06", "  07", "  08", "  09",
                              "  10", "  11", "  12"}));
        QCOMPARE(cellText(dialog->Grid, 0, 1), "      READER 상태");
        QCOMPARE(dialog->Grid->columnWidth(0), 60);
        QCOMPARE(dialog->Grid->columnWidth(1), 220);
        fillColumn(dialog->Grid, 1, "earlier run");
        dialog->show();
        QTest::mouseClick(dialog->Button1, Qt::LeftButton);
        QCOMPARE(gridColumn(dialog->Grid, 1, 1, 3),
                 QStringList({"  통신성공 - 정상작동중", "    수신 데이터 이상", "  리더가 응답이없습니다"}));
        QCOMPARE(gridColumn(dialog->Grid, 1, 4, 12), QStringList(9, kBlank));
        QCOMPARE(station.lineCommands(), QStringList({"A0", "A0", "A0"}));
        saveScreenshot(dialog.get(), "TComCheck");
    }

    void statusCheckAnswerFromAnotherReader() {
        SimStation station(1);
        station.line.withReader(1, [](sim::Reader& r) { r.addFault(sim::Fault::wrongAddress(5)); });
        Owned<TComCheck> dialog(new TComCheck(station.link));
        dialog->Button1Click();
        QCOMPARE(cellText(dialog->Grid, 1, 1), "     수신데이터 에러");
    }

    void statusCheckReaderCountPanel_data() {
        QTest::addColumn<int>("readers");
        QTest::addColumn<QString>("text");
        QTest::newRow("one") << 1 << "01대";
        QTest::newRow("twelve") << 12 << "12대";
    }
    void statusCheckReaderCountPanel() {
        QFETCH(int, readers);
        QFETCH(QString, text);
        SimStation station(1, readers);
        Owned<TComCheck> dialog(new TComCheck(station.link));
        QCOMPARE(dialog->Panel1->text(), text);
    }

    // A port error ends the run in the default error box; rows not reached keep the blank.
    void statusCheckWithThePortClosed() {
        SimStation station(2);
        Owned<TComCheck> dialog(new TComCheck(station.link));
        station.Comm.Close();
        dialog->Button1Click();
        QCOMPARE(station.boxes.boxes.size(), 1);
        QCOMPARE(station.boxes.boxes[0].caption, kProgramName);
        QCOMPARE(gridColumn(dialog->Grid, 1), QStringList(12, kBlank));
        QVERIFY(!dialog.freed());
    }

    // --- clock check ---
    void clockCheck() {
        SimStation station(2, 3);
        station.line.withReader(1, [](sim::Reader& r) { r.setClock(kReaderClock); });
        station.line.withReader(2, [](sim::Reader& r) { r.addFault(sim::Fault::badChecksum()); });
        const ClockSnapshot before = ClockSnapshot::now();
        Owned<TForm_Th> dialog(new TForm_Th(station.link));
        checkClockPanels(dialog.get(), before, ClockSnapshot::now());
        QCOMPARE(dialog->windowTitle(), "리더 시간확인");
        QCOMPARE(cellText(dialog->Grid, 0, 1), "    READER 날짜/시간");
        chooseAllReaders(dialog->panel);
        dialog->show();
        dialog->Button1Click();
        QCOMPARE(gridColumn(dialog->Grid, 1, 1, 3),
                 QStringList({"  2007.12.08 13:45:30", "   수신데이터 에러", "    응답이 없습니다"}));
        QCOMPARE(gridColumn(dialog->Grid, 1, 4, 12), QStringList(9, kBlank));
        QCOMPARE(station.lineCommands(), QStringList({"B0", "B0", "B0"}));
        QCOMPARE(station.link.SelectedReader, 0);
        saveScreenshot(dialog.get(), "TForm_Th");
    }

    // --- clock set ---
    void clockSetSendsTheComputersClock() {
        SimStation station(2);
        const ClockSnapshot before = ClockSnapshot::now();
        Owned<TMDIChild> dialog(new TMDIChild(station.link, QStringLiteral("리더 시간설정")));
        checkClockPanels(dialog.get(), before, ClockSnapshot::now());
        QCOMPARE(dialog->windowTitle(), "리더 시간설정");
        QCOMPARE(gridColumn(dialog->Grid, 0, 0, 2), QStringList({" ID", " 01", " 02"}));
        QCOMPARE(cellText(dialog->Grid, 0, 1), "    PC 날짜/시간");
        QCOMPARE(cellText(dialog->Grid, 0, 2), "  READER 날짜/시간");
        dialog->clock->source = sundayMorning;
        chooseReader(dialog->panel, 2);
        dialog->Button1Click();
        const std::vector<sim::LineEvent> frames = station.line.frames(2);
        QCOMPARE(frames.size(), size_t(1));
        QCOMPARE(frames[0].code, "B1");
        QCOMPARE(toBytes(frames[0].data).toHex(), "2007120900101112"); // Sunday is 00
        QCOMPARE(cellText(dialog->Grid, 2, 1), "2007.12.09 10:11:12 ");
        QCOMPARE(cellText(dialog->Grid, 2, 2), "2007.12.09 10:11:12");
        QCOMPARE(dialog->findChild<QLabel*>("Panel1")->text(), "2007년 12월 09일");
        QCOMPARE(dialog->findChild<QLabel*>("Panel2")->text(), "10시 11분 12초 ");
        QCOMPARE(station.commands(1), QStringList());
    }

    void clockSetAllReaders() {
        SimStation station(4);
        station.line.withReader(3, [](sim::Reader& r) { r.addFault(sim::Fault::silent()); });
        station.line.withReader(4, [](sim::Reader& r) { r.addFault(sim::Fault::answerCode("B1")); });
        Owned<TMDIChild> dialog(new TMDIChild(station.link, QStringLiteral("리더 시간설정")));
        dialog->clock->source = sundayMorning;
        chooseAllReaders(dialog->panel);
        dialog->show();
        dialog->Button1Click();
        const QString sent = computerClockText(sundayMorning());
        QCOMPARE(gridColumn(dialog->Grid, 1, 1, 4), QStringList(4, sent));
        QCOMPARE(gridColumn(dialog->Grid, 2, 1, 4), QStringList({"2007.12.09 10:11:12", "2007.12.09 10:11:12",
                                                                 "  응답이 없습니다", "   수신데이터 에러"}));
        QCOMPARE(gridColumn(dialog->Grid, 1, 5, 12), QStringList(8, kBlank));
        QCOMPARE(gridColumn(dialog->Grid, 2, 5, 12), QStringList(8, kBlank));
        QCOMPARE(station.link.SelectedReader, 0);
        saveScreenshot(dialog.get(), "TMDIChild");
    }

    // --- record count ---
    void recordCount() {
        SimStation station(3, 4);
        station.line.withReader(1, [](sim::Reader& r) { r.addRecords(123456); });
        station.line.withReader(3, [](sim::Reader& r) { r.addFault(sim::Fault::answerCode("N0")); });
        Owned<TPanGn> dialog(new TPanGn(station.link));
        QCOMPARE(dialog->windowTitle(), "수집자료 건수 확인");
        QCOMPARE(cellText(dialog->Grid, 0, 1), " Reader건수");
        QCOMPARE(dialog->Grid->columnWidth(0), 65);
        QCOMPARE(dialog->Grid->columnWidth(1), 116);
        chooseAllReaders(dialog->panel);
        dialog->show();
        QTest::mouseClick(dialog->Button1, Qt::LeftButton);
        QCOMPARE(gridColumn(dialog->Grid, 1, 1, 4),
                 QStringList({"  123456건", "  000000건", " 데이터 에러", " 응답이 없음"}));
        QCOMPARE(station.lineCommands(), QStringList({"C4", "C4", "C4", "C4"}));
        saveScreenshot(dialog.get(), "TPanGn");

        // One reader after an all-readers run: only its row changes.
        const QStringList before = gridColumn(dialog->Grid, 1);
        station.line.withReader(2, [](sim::Reader& r) { r.addRecords(7); });
        chooseReader(dialog->panel, 2);
        dialog->Button1Click();
        QStringList expected = before;
        expected[1] = "  000007건";
        QCOMPARE(gridColumn(dialog->Grid, 1), expected);
    }

    // Three ticks of the main timer leave a reader time to answer "C4" at the line's own speed.
    void recordCountAtLineSpeed() {
        SimStation station(2, 2, true);
        station.line.withReader(2, [](sim::Reader& r) { r.addRecords(12); });
        Owned<TPanGn> dialog(new TPanGn(station.link));
        chooseAllReaders(dialog->panel);
        dialog->Button1Click();
        QCOMPARE(gridColumn(dialog->Grid, 1, 1, 2), QStringList({"  000000건", "  000012건"}));
    }

    // --- delete all ---
    void deleteAll() {
        SimStation station(3, 4);
        station.line.withReader(1, [](sim::Reader& r) { r.addRecords(5); });
        station.line.withReader(2, [](sim::Reader& r) { r.addFault(sim::Fault::answerCode("N0").on("C3")); });
        station.line.withReader(3, [](sim::Reader& r) { r.addRecords(2); });
        Owned<TPanDel> dialog(new TPanDel(station.link));
        QCOMPARE(dialog->windowTitle(), "수집자료 전체삭제");
        QCOMPARE(dialog->Button1->text(), "삭제[&S]");
        QCOMPARE(cellText(dialog->Grid, 0, 1), "      삭 제 결 과");
        QCOMPARE(dialog->Grid->columnWidth(1), 222);
        fillColumn(dialog->Grid, 1, "counted before");
        chooseAllReaders(dialog->panel);
        dialog->show();
        dialog->Button1Click();
        QCOMPARE(station.boxes.boxes.size(), 1);
        QCOMPARE(station.boxes.boxes[0].text, "수집자료 전체가 삭제됩니다. 계속하시겠습니까?");
        QCOMPARE(station.boxes.boxes[0].caption, "삭제경고");
        QVERIFY(station.boxes.boxes[0].confirmation);
        QCOMPARE(gridColumn(dialog->Grid, 1, 1, 4),
                 QStringList({"수집자료가 삭제되었습니다", "    수신데이터 에러", "수집자료가 삭제되었습니다",
                              "    응답이 없습니다"}));
        QCOMPARE(gridColumn(dialog->Grid, 1, 5, 12), QStringList(8, QString()));
        QCOMPARE(station.line.withReader(1, [](sim::Reader& r) { return r.pendingCount(); }), size_t(0));
        QCOMPARE(station.line.withReader(3, [](sim::Reader& r) { return r.pendingCount(); }), size_t(0));
        QCOMPARE(station.link.SelectedReader, 0);
        QCOMPARE(dialog->panel->capid->text(), "ALL");
        saveScreenshot(dialog.get(), "TPanDel");
    }

    void deleteCancelledSendsNothing() {
        SimStation station(2);
        station.line.withReader(2, [](sim::Reader& r) { r.addRecords(3); });
        Owned<TPanDel> dialog(new TPanDel(station.link));
        dialog->Button1Click(); // reader 1, confirmed
        QCOMPARE(station.lineCommands(), QStringList{"C3"});
        const QStringList before = gridColumn(dialog->Grid, 1);
        QCOMPARE(before[0], "수집자료가 삭제되었습니다");
        station.boxes.answers = {false};
        chooseAllReaders(dialog->panel);
        dialog->Button1Click();
        QCOMPARE(station.boxes.boxes.size(), 2);
        QCOMPARE(station.lineCommands(), QStringList{"C3"});
        QCOMPARE(gridColumn(dialog->Grid, 1), before);
        QCOMPARE(station.line.withReader(2, [](sim::Reader& r) { return r.pendingCount(); }), size_t(3));
    }

    // --- attendance-mode table ---
    void modeTableOneReader() {
        SimStation station(2);
        const QByteArray file = "1 08:30 09:00 1\r\n2 12:00 13:00 0\r\n3 18:00 19:00 7\r\n";
        station.writeFile("DATA1/TDATA.TXT", file);
        Owned<TGoHk> dialog(new TGoHk(station.link));
        QCOMPARE(dialog->windowTitle(), "자동 근태모드 설정");
        QCOMPARE(gridColumn(dialog->Grid, 0, 0, 8),
                 QStringList({" Zone", "  01", "  02", "  03", "  04", "  05", "  06", "  07", "  08"}));
        QCOMPARE(cellText(dialog->Grid, 0, 1), "   시 간 대");
        QCOMPARE(cellText(dialog->Grid, 0, 2), "  근태코드");
        QCOMPARE(dialog->Grid->rowCount(), 9);
        QCOMPARE(dialog->Grid->rowHeight(1), 24);
        dialog->show();
        dialog->Button1Click();
        const std::vector<sim::LineEvent> frames = station.line.frames(1);
        QCOMPARE(frames.size(), size_t(1));
        QCOMPARE(frames[0].code, "B3");
        const QByteArray table =
            QByteArray::fromHex("010108300900 020012001300 030718001900") + QByteArray(30, '\0');
        QCOMPARE(toBytes(frames[0].data).toHex(), table.toHex());
        QCOMPARE(gridColumn(dialog->Grid, 1, 1, 8),
                 QStringList({"   0830-0900", "   1200-1300", "   1800-1900"}) +
                     QStringList(5, "   0000-0000"));
        QCOMPARE(gridColumn(dialog->Grid, 2, 1, 8),
                 QStringList({" 01-출근", " 00-[해제]", " 07-!에러!"}) + QStringList(5, " 00-[해제]"));
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

    // Each failing reader gets its notice while capid shows its number; the run goes on, and in
    // all-readers mode the table is empty at the end.
    void modeTableNoticesInAllMode() {
        SimStation station(3, 4);
        station.writeFile("DATA1/TDATA.TXT", "1 08:30 09:00 1\r\n");
        station.line.withReader(2, [](sim::Reader& r) { r.addFault(sim::Fault::badChecksum()); });
        station.line.withReader(3, [](sim::Reader& r) { r.addFault(sim::Fault::answerCode("N0")); });
        Owned<TGoHk> dialog(new TGoHk(station.link));
        chooseAllReaders(dialog->panel);
        QStringList shownIds;
        station.boxes.onShow = [&](const ScriptedPrompts::Box&) { shownIds << dialog->panel->capid->text(); };
        dialog->Button1Click();
        QCOMPARE(station.boxes.texts(),
                 QStringList({"데이터가 부정확합니다", "제전송요청!", "응답이 없습니다"}));
        for (const ScriptedPrompts::Box& box : station.boxes.boxes) QCOMPARE(box.caption, "에러");
        QCOMPARE(shownIds, QStringList({"02", "03", "04"}));
        QCOMPARE(station.lineCommands(), QStringList({"B3", "B3", "B3", "B3"}));
        QCOMPARE(gridColumn(dialog->Grid, 1, 1, 8), QStringList(8, QString()));
        QCOMPARE(gridColumn(dialog->Grid, 2, 1, 8), QStringList(8, QString()));
        QCOMPARE(dialog->panel->capid->text(), "ALL");
        QCOMPARE(station.line.withReader(1, [](sim::Reader& r) { return r.modeTable()[3]; }), 0x30);
    }

    // An answer that echoes "B3" is not the table: nothing is shown, and this status has no notice.
    void modeTableEchoIsNotShown() {
        SimStation station(1);
        station.writeFile("DATA1/TDATA.TXT", "1 08:30 09:00 1\r\n");
        station.line.withReader(1, [](sim::Reader& r) { r.addFault(sim::Fault::answerCode("B3")); });
        Owned<TGoHk> dialog(new TGoHk(station.link));
        dialog->Button1Click();
        QCOMPARE(station.lineCommands(), QStringList{"B3"});
        QVERIFY(station.boxes.boxes.isEmpty());
        QCOMPARE(gridColumn(dialog->Grid, 1, 1, 8), QStringList(8, QString()));
    }

    // Lines past the eighth are not sent; the reader gets exactly the first eight.
    void modeTableLongFile() {
        SimStation station(1);
        QByteArray file;
        for (int k = 1; k <= 12; ++k)
            file += QStringLiteral("%1 %2:00 %2:30 %3\r\n")
                        .arg(k % 10)
                        .arg(k + 6, 2, 10, QLatin1Char('0'))
                        .arg(k % 5)
                        .toLatin1();
        station.writeFile("DATA1/TDATA.TXT", file);
        Owned<TGoHk> dialog(new TGoHk(station.link));
        dialog->Button1Click();
        const std::vector<sim::LineEvent> frames = station.line.frames(1);
        QCOMPARE(frames.size(), size_t(1));
        QCOMPARE(toBytes(frames[0].data).toHex(), modeTable(file.split('\n').mid(0, 8)).toHex());
        QCOMPARE(cellText(dialog->Grid, 8, 1), "   1400-1430");
    }
};

int runDialogTests(int argc, char** argv) {
    DialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DialogTest.moc"
