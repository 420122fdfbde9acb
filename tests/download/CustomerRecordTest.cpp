// The customer record dialog, the download-data count and the customer-data delete, end to end
// against the simulated readers.
#include "CustomerRecords.h"
#include "DownloadTests.h"
#include "FGaekDel.h"
#include "FGaekGn.h"
#include "FGaekHk.h"
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
const QString kBadEntry = QStringLiteral("입력오류-다시 입력하십시요");
const QString kChooseOneReader = QStringLiteral("개별ID로 리더를 하나 선택하십시요");
const sim::Customer kCustomer{0x12, 0x34, 0x56, 0x78, 0x90, 0x11, 0x00, 0x01, 0x50};

void holdCustomer(SimStation& station, int id, const sim::Customer& customer = kCustomer) {
    station.line.withReader(id, [&](sim::Reader& r) { r.storeCustomer(customer); });
}

size_t customersOf(SimStation& station, int id) {
    return station.line.withReader(id, [](sim::Reader& r) { return r.customers().size(); });
}

void addFault(SimStation& station, int id, const sim::Fault& fault) {
    station.line.withReader(id, [&](sim::Reader& r) { r.addFault(fault); });
}

// The maintenance handler of ButtonN.
void press(TGaekHk* dlg, int button) {
    switch (button) {
    case 3:
        return dlg->Button3Click();
    case 4:
        return dlg->Button4Click();
    case 5:
        return dlg->Button5Click();
    case 6:
        return dlg->Button6Click();
    default:
        return dlg->Button7Click();
    }
}

QStringList row(QTableWidget* grid, int r) {
    QStringList cells;
    for (int c = 1; c < grid->columnCount(); ++c) cells << cellText(grid, r, c);
    return cells;
}
} // namespace

class CustomerRecordTest : public QObject {
    Q_OBJECT

private slots:
    void rowOfAnAnswer_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QStringList>("cells");
        QTest::newRow("negative flag, minus, 1500 won") << QByteArray::fromHex("123456789011000150")
                                                        << QStringList{"  1234567890", " Yes", " -0001500원"};
        QTest::newRow("plain, plus") << QByteArray::fromHex("000000000100001234")
                                     << QStringList{"  0000000001", " No", " +0012340원"};
        QTest::newRow("half-bytes above 9 show as : to ?")
            << QByteArray::fromHex("A1B2C3D4EF2F00000F") << QStringList{"  :1;2<3=4>?", "  ?", " ?00000?0원"};
    }
    void rowOfAnAnswer() {
        QFETCH(QByteArray, data);
        QFETCH(QStringList, cells);
        const CustomerRow r = customerRow(Reply{'1', data});
        QCOMPARE((QStringList{r.number, r.negative, r.balance}), cells);
    }

    void fiveDigitsAreRefusedBeforeSending() {
        SimStation station(1);
        OpenDialog<TGaekHk> dlg(station.link);
        dlg->Edit1->setText("12345");
        dlg->Button1Click();
        QCOMPARE(station.boxes.texts(), QStringList{kBadEntry});
        QVERIFY(station.line.wireBytes().empty());
    }

    // Enter in the entry queries the chosen reader; the record fills the reader's row.
    void enterQueriesOneReader() {
        SimStation station(2);
        holdCustomer(station, 2);
        OpenDialog<TGaekHk> dlg(station.link);
        dlg->panel->TSBAR->setValue(2);
        QTest::keyClicks(dlg->Edit1, "1234567890123");
        QCOMPARE(dlg->Edit1->text(), QStringLiteral("1234567890"));
        QTest::keyClick(dlg->Edit1, Qt::Key_Return);
        QCOMPARE(station.commands(2), QStringList{"D4"});
        QCOMPARE(bytesOf(station.line.frames(2).at(0).data).toHex(), QByteArray("1234567890"));
        QCOMPARE(row(dlg->Grid, 2), (QStringList{"  1234567890", " Yes", " -0001500원"}));
        QCOMPARE(cellText(dlg->Grid, 0, 1), QStringLiteral("  사 원 번 호"));
        QCOMPARE(cellText(dlg->Grid, 2, 0), QStringLiteral(" 02"));
        QCOMPARE(dlg->panel->capid->text(), QStringLiteral("02"));
        saveScreenshot(dlg.get(), "TGaekHk");
    }

    void allReadersEachGetTheirRow() {
        SimStation station(5, 4);
        holdCustomer(station, 1);
        holdCustomer(station, 3);
        addFault(station, 3, sim::Fault::badChecksum().on("D4"));
        addFault(station, 4, sim::Fault::silent());
        OpenDialog<TGaekHk> dlg(station.link);
        setCell(dlg->Grid, 5, 1, "old");
        dlg->panel->RadioGroup1Click(1);
        dlg->Edit1->setText("1234567890");
        dlg->Button1Click();
        QCOMPARE(row(dlg->Grid, 1), (QStringList{"  1234567890", " Yes", " -0001500원"}));
        QCOMPARE(row(dlg->Grid, 2), (QStringList{"번호가 없습니다", "", ""}));
        QCOMPARE(row(dlg->Grid, 3), (QStringList{" 데이터 에러", "", ""}));
        QCOMPARE(row(dlg->Grid, 4), (QStringList{"응답이 없습니다", "", ""}));
        for (int r = 5; r <= 12; ++r) QCOMPARE(row(dlg->Grid, r), (QStringList{"", "", ""}));
        QVERIFY(station.commands(5).isEmpty());
        QCOMPARE(dlg->panel->capid->text(), QStringLiteral("ALL"));
        QCOMPARE(station.link.SelectedReader, 0);
    }

    void addChangeDelete() {
        SimStation station(1);
        OpenDialog<TGaekHk> dlg(station.link);
        dlg->Edit1->setText("1234567890");
        dlg->Button4Click();
        QCOMPARE(cellText(dlg->Grid, 1, 1), QStringLiteral("  추가성공!"));
        QCOMPARE(customersOf(station, 1), size_t(1));
        dlg->Button4Click();
        QCOMPARE(cellText(dlg->Grid, 1, 1), QString());
        QCOMPARE(station.boxes.texts(), QStringList{"중복된 번호이거나 최대고객수가 초과되었습니다!"});
        dlg->Button5Click();
        QCOMPARE(cellText(dlg->Grid, 1, 1), QStringLiteral("  변경성공!"));
        dlg->Button3Click();
        QCOMPARE(cellText(dlg->Grid, 1, 1), QStringLiteral("  삭제성공!"));
        QCOMPARE(customersOf(station, 1), size_t(0));
        QCOMPARE(bytesOf(station.line.frames(1).back().data).toHex(), QByteArray("123456"));
        station.boxes.boxes.clear();
        dlg->Button5Click();
        dlg->Button3Click();
        QCOMPARE(station.boxes.texts(),
                 (QStringList{"변경불가-존재하지 않는 고객입니다", "삭제불가-존재하지 않는 고객입니다"}));
        QCOMPARE(station.commands(1), (QStringList{"D5", "D5", "D7", "D6", "D7", "D6"}));
    }

    // The delete goes by the first six digits: fewer would erase whichever customer matched.
    void shortEntriesAreRefusedByTheMaintenance_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("entry");
        QTest::newRow("delete, five digits") << 3 << "12345";
        QTest::newRow("delete, letter") << 3 << "12345x7890";
        QTest::newRow("add, nine digits") << 4 << "123456789";
        QTest::newRow("change, blank") << 5 << "12345 7890";
    }
    void shortEntriesAreRefusedByTheMaintenance() {
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
        QCOMPARE(station.boxes.texts(), QStringList{kChooseOneReader});
        QVERIFY(station.line.wireBytes().empty());
        QCOMPARE(cellText(dlg->Grid, 0, 1), QStringLiteral("  사 원 번 호"));
    }

    void linkTestAndMealReset() {
        SimStation station(2);
        OpenDialog<TGaekHk> dlg(station.link);
        dlg->panel->TSBAR->setValue(2);
        dlg->Button6Click();
        dlg->Button7Click();
        QCOMPARE(station.boxes.texts(), (QStringList{"통신상태 양호!", "식사횟수가 초기화 되었습니다!"}));
        QCOMPARE(station.boxes.boxes.at(0).caption, QStringLiteral("확인"));
        QCOMPARE(station.boxes.boxes.at(1).caption, QStringLiteral("확인"));
        QCOMPARE(station.line.withReader(2, [](sim::Reader& r) { return r.mealResets(); }), 1);
        QCOMPARE(station.commands(2), (QStringList{"A0", "E0"}));

        station.boxes.boxes.clear();
        addFault(station, 2, sim::Fault::silent().on("A0"));
        addFault(station, 2, sim::Fault::answerCode("N0").on("E0"));
        dlg->Button6Click();
        dlg->Button7Click();
        QCOMPARE(station.boxes.texts(), (QStringList{"응답이 없습니다", "제전송요청!"}));
    }

    void countOfOneReader() {
        SimStation station(2);
        station.line.withReader(2, [](sim::Reader& r) {
            for (int i = 0; i < 1234; ++i) r.storeCustomer({0, 0, quint8(i >> 8), quint8(i), 0, 0, 0, 0, 0});
        });
        OpenDialog<TGaekGn> dlg(station.link);
        dlg->panel->TSBAR->setValue(2);
        QTest::mouseClick(dlg->Button1, Qt::LeftButton);
        QCOMPARE(cellText(dlg->Grid, 2, 1), QStringLiteral("        001234건"));
        QCOMPARE(cellText(dlg->Grid, 0, 1), QStringLiteral("       검 색 건 수"));
        QCOMPARE(station.commands(2), QStringList{"D8"});
        saveScreenshot(dlg.get(), "TGaekGn");
    }

    void countOfAllReaders() {
        SimStation station(3, 2);
        holdCustomer(station, 1);
        OpenDialog<TGaekGn> dlg(station.link);
        setCell(dlg->Grid, 3, 1, "old");
        dlg->panel->RadioGroup1Click(1);
        dlg->Button1Click();
        QCOMPARE(cellText(dlg->Grid, 1, 1), QStringLiteral("        000001건"));
        QCOMPARE(cellText(dlg->Grid, 2, 1), QStringLiteral("        000000건"));
        for (int r = 3; r <= 12; ++r) QCOMPARE(cellText(dlg->Grid, r, 1), QString());
        QVERIFY(station.commands(3).isEmpty());
        QCOMPARE(dlg->panel->capid->text(), QStringLiteral("ALL"));
        QCOMPARE(station.link.SelectedReader, 0);
    }

    void deleteCancelled() {
        SimStation station(1);
        holdCustomer(station, 1);
        station.boxes.answers = {false};
        OpenDialog<TGaekDel> dlg(station.link);
        setCell(dlg->Grid, 1, 1, "old");
        dlg->Button1Click();
        QCOMPARE(station.boxes.texts(), QStringList{"고객자료 전체가 삭제됩니다. 계속하시겠습니까?"});
        QCOMPARE(station.boxes.boxes.first().caption, QStringLiteral("삭제경고"));
        QVERIFY(station.line.wireBytes().empty());
        QCOMPARE(cellText(dlg->Grid, 1, 1), QStringLiteral("old"));
        QCOMPARE(customersOf(station, 1), size_t(1));
    }

    void deleteResult_data() {
        QTest::addColumn<int>("fault"); // 0 none, 1 bad checksum, 2 refusal, 3 silent
        QTest::addColumn<QString>("text");
        QTest::newRow("erased") << 0 << "고객자료가 삭제되었습니다";
        QTest::newRow("bad checksum") << 1 << "    수신데이터 에러";
        QTest::newRow("other code") << 2 << "    수신데이터 에러";
        QTest::newRow("silent") << 3 << "    응답이 없습니다";
    }
    void deleteResult() {
        QFETCH(int, fault);
        QFETCH(QString, text);
        SimStation station(2);
        holdCustomer(station, 2);
        const sim::Fault faults[] = {sim::Fault::badChecksum(), sim::Fault::answerCode("N3"),
                                     sim::Fault::silent()};
        if (fault > 0) addFault(station, 2, faults[fault - 1].on("D3"));
        OpenDialog<TGaekDel> dlg(station.link);
        dlg->panel->TSBAR->setValue(2);
        dlg->Button1Click();
        QCOMPARE(cellText(dlg->Grid, 2, 1), text);
        QCOMPARE(station.commands(2), QStringList{"D3"});
        QCOMPARE(station.boxes.boxes.size(), 1);
        if (fault == 0) {
            QCOMPARE(customersOf(station, 2), size_t(0));
            saveScreenshot(dlg.get(), "TGaekDel");
        }
    }
};

int runCustomerRecordTests(int argc, char** argv) {
    CustomerRecordTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "CustomerRecordTest.moc"
