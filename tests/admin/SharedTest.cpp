// What every reader dialog shares: the selection panel, the walk over all configured readers,
// a second press of the run button while a run goes on, and a close asked for during a run.
#include "AdminTests.h"
#include "Childwin.h"
#include "FCOMCHK.h"
#include "FGaekDel.h"
#include "FGaekGn.h"
#include "FGaekHk.h"
#include "FGoHk.h"
#include "FPanDel.h"
#include "FPanGn.h"
#include "SimStation.h"
#include "THWAK.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QDir>
#include <QtTest>

namespace {
ReaderDialog* makeDialog(const QString& command, ReaderLink& link) {
    if (command == "A0") return new TComCheck(link);
    if (command == "B0") return new TForm_Th(link);
    if (command == "B1") return new TMDIChild(link, QStringLiteral("리더 시간설정"));
    if (command == "C4") return new TPanGn(link);
    if (command == "C3") return new TPanDel(link);
    if (command == "B3") return new TGoHk(link);
    if (command == "D8") return new TGaekGn(link);
    if (command == "D3") return new TGaekDel(link);
    auto* dialog = new TGaekHk(link);
    dialog->Edit1->setText("1234567890");
    return dialog;
}

// Each dialog by the command its run sends; the two deletes ask first.
void addDialogRows() {
    QTest::addColumn<QString>("command");
    for (const char* command : {"A0", "B0", "B1", "C4", "C3", "B3", "D8", "D3", "D4"})
        QTest::newRow(command) << command;
}

QPushButton* button(QWidget* dialog, const char* name) {
    return dialog->findChild<QPushButton*>(name);
}
} // namespace

class SharedTest : public QObject {
    Q_OBJECT

private slots:
    void panelStartsAtReaderOneAndRemembersItsPosition() {
        SimStation station(2);
        station.link.SelectedReader = 0; // as an earlier dialog in all mode leaves it
        Owned<TPanGn> dialog(new TPanGn(station.link));
        ReaderPanel* panel = dialog->panel;
        QVERIFY(panel->items->button(0)->isChecked());
        QCOMPARE(panel->capid->text(), "01");
        QCOMPARE(station.link.SelectedReader, 1);
        panel->TSBAR->setValue(7);
        QCOMPARE(panel->capid->text(), "07");
        QCOMPARE(station.link.SelectedReader, 7);
        chooseAllReaders(panel);
        QCOMPARE(panel->capid->text(), "ALL");
        QVERIFY(!panel->TSBAR->isEnabled());
        QCOMPARE(station.link.SelectedReader, 0);
        panel->items->button(0)->click();
        QCOMPARE(panel->capid->text(), "07");
        QVERIFY(panel->TSBAR->isEnabled());
        QCOMPARE(station.link.SelectedReader, 7);
    }

    // One reader may be chosen above the configured count; only its row is written.
    void oneReaderAboveTheConfiguredCount() {
        SimStation station(12, 2);
        Owned<TPanGn> dialog(new TPanGn(station.link));
        chooseReader(dialog->panel, 12);
        dialog->Button1Click();
        QCOMPARE(station.lineCommands(), QStringList{"C4"});
        QCOMPARE(station.commands(12), QStringList{"C4"});
        QCOMPARE(cellText(dialog->Grid, 12, 1), "  000000건");
        QCOMPARE(gridColumn(dialog->Grid, 1, 1, 11), QStringList(11, QString()));
    }

    void allReadersInOrderPastASilentOne_data() { addDialogRows(); }
    void allReadersInOrderPastASilentOne() {
        QFETCH(QString, command);
        SimStation station(4);
        station.writeFile("DATA1/TDATA.TXT", "1 08:30 09:00 1\r\n");
        QDir().mkdir(station.filePath("DATA2"));
        station.line.withReader(2, [](sim::Reader& r) { r.addFault(sim::Fault::silent()); });
        Owned<ReaderDialog> dialog(makeDialog(command, station.link));
        if (dialog->panel) chooseAllReaders(dialog->panel);
        button(dialog.get(), "Button1")->click();
        QStringList served;
        for (const sim::LineEvent& e : station.line.lineEvents())
            served << QStringLiteral("%1:%2").arg(e.id).arg(QString::fromStdString(e.code));
        // The delete counts first (nothing to collect here) and leaves a silent reader as it is.
        if (command == "C3")
            QCOMPARE(served, QStringList({"1:C4", "1:C3", "2:C4", "2:C0", "2:C0", "2:C0", "3:C4", "3:C3", "4:C4",
                                          "4:C3"}));
        else
            QCOMPARE(served, QStringList({"1:" + command, "2:" + command, "3:" + command, "4:" + command}));
        if (dialog->panel) QCOMPARE(station.link.SelectedReader, 0);
    }

    // The second press is ignored and the close waits for the run, which still serves every
    // reader — but for the delete, which erases nothing once the clerk has closed it; then the
    // dialog closes and frees itself.
    void pressAgainAndCloseDuringARun_data() { addDialogRows(); }
    void pressAgainAndCloseDuringARun() {
        QFETCH(QString, command);
        SimStation station(2);
        station.writeFile("DATA1/TDATA.TXT", "1 08:30 09:00 1\r\n");
        QDir().mkdir(station.filePath("DATA2"));
        Owned<ReaderDialog> dialog(makeDialog(command, station.link));
        if (dialog->panel) chooseAllReaders(dialog->panel);
        dialog->show();
        bool pressed = false;
        QTimer::singleShot(0, dialog.get(), [&] {
            QVERIFY(dialog->jobRunning());
            QTest::mouseClick(button(dialog.get(), "Button1"), Qt::LeftButton);
            QTest::mouseClick(button(dialog.get(), "Button2"), Qt::LeftButton);
            QVERIFY(dialog->isVisible());
            pressed = true;
        });
        QTest::mouseClick(button(dialog.get(), "Button1"), Qt::LeftButton);
        QVERIFY(pressed);
        QCOMPARE(station.lineCommands(), command == "C3" ? QStringList() : QStringList({command, command}));
        QCOMPARE(station.boxes.boxes.size(), command == "C3" || command == "D3" ? 1 : 0);
        QVERIFY(dialog.freed());
    }
};

int runSharedTests(int argc, char** argv) {
    SharedTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SharedTest.moc"
