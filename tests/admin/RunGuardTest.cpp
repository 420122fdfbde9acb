// What every administration dialog shares: the walk over all configured readers, a second press
// of the run button while a run goes on, and a close asked for during a run.
#include "AdminTests.h"
#include "Childwin.h"
#include "FCOMCHK.h"
#include "FGoHk.h"
#include "FPanDel.h"
#include "FPanGn.h"
#include "SimStation.h"
#include "THWAK.h"

#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {
ReaderDialog* makeDialog(const QString& kind, ReaderLink& link) {
    if (kind == "TComCheck") return new TComCheck(link);
    if (kind == "TForm_Th") return new TForm_Th(link);
    if (kind == "TMDIChild") return new TMDIChild(link, QStringLiteral("리더 시간설정"));
    if (kind == "TPanGn") return new TPanGn(link);
    if (kind == "TPanDel") return new TPanDel(link);
    return new TGoHk(link);
}

void addDialogRows() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("command");
    QTest::newRow("status check") << "TComCheck"
                                  << "A0";
    QTest::newRow("clock check") << "TForm_Th"
                                 << "B0";
    QTest::newRow("clock set") << "TMDIChild"
                               << "B1";
    QTest::newRow("count") << "TPanGn"
                           << "C4";
    QTest::newRow("delete") << "TPanDel"
                            << "C3";
    QTest::newRow("mode table") << "TGoHk"
                                << "B3";
}

QPushButton* button(QWidget* dialog, const char* name) {
    return dialog->findChild<QPushButton*>(name);
}
} // namespace

class RunGuardTest : public QObject {
    Q_OBJECT

private slots:
    void allReadersInOrderPastASilentOne_data() { addDialogRows(); }
    void allReadersInOrderPastASilentOne() {
        QFETCH(QString, kind);
        QFETCH(QString, command);
        SimStation station(4);
        station.writeFile("DATA1/TDATA.TXT", "1 08:30 09:00 1\r\n");
        station.line.withReader(2, [](sim::Reader& r) { r.addFault(sim::Fault::silent()); });
        Owned<ReaderDialog> dialog(makeDialog(kind, station.link));
        if (dialog->panel) chooseAllReaders(dialog->panel);
        button(dialog.get(), "Button1")->click();
        QStringList served;
        for (const sim::LineEvent& e : station.line.lineEvents())
            served << QStringLiteral("%1:%2").arg(e.id).arg(QString::fromStdString(e.code));
        QCOMPARE(served, QStringList({"1:" + command, "2:" + command, "3:" + command, "4:" + command}));
        if (dialog->panel) QCOMPARE(station.link.SelectedReader, 0);
    }

    // The second press is ignored and the close waits for the run, which still serves every
    // reader; then the dialog closes and frees itself.
    void pressAgainAndCloseDuringARun_data() { addDialogRows(); }
    void pressAgainAndCloseDuringARun() {
        QFETCH(QString, kind);
        QFETCH(QString, command);
        SimStation station(2);
        station.writeFile("DATA1/TDATA.TXT", "1 08:30 09:00 1\r\n");
        Owned<ReaderDialog> dialog(makeDialog(kind, station.link));
        if (dialog->panel) chooseAllReaders(dialog->panel);
        QCOMPARE(button(dialog.get(), "Button2")->text(), "종료[&X]");
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
        QCOMPARE(station.lineCommands(), QStringList({command, command}));
        QCOMPARE(station.boxes.boxes.size(), kind == "TPanDel" ? 1 : 0);
        QVERIFY(dialog.freed());
    }
};

int runRunGuardTests(int argc, char** argv) {
    RunGuardTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "RunGuardTest.moc"
