// The reader selection panel as the dialogs carry it: its states, the field it keeps, and the
// expansion of the choice into readers.
#include "AdminTests.h"
#include "FPanGn.h"
#include "SimStation.h"

#include <QGroupBox>
#include <QLabel>
#include <QtTest>

class PanelTest : public QObject {
    Q_OBJECT

private slots:
    void freshDialogStartsAtReaderOne() {
        SimStation station(2);
        station.link.SelectedReader = 0; // as an earlier dialog in all mode leaves it
        Owned<TPanGn> dialog(new TPanGn(station.link));
        ReaderPanel* panel = dialog->panel;
        QVERIFY(panel->items->button(0)->isChecked());
        QCOMPARE(panel->items->button(0)->text(), "개별ID");
        QCOMPARE(panel->items->button(1)->text(), "전체ID");
        QCOMPARE(panel->capid->text(), "01");
        QCOMPARE(panel->Label1->text(), "Reader ID");
        QVERIFY(panel->TSBAR->isEnabled());
        QCOMPARE(panel->TSBAR->minimum(), 1);
        QCOMPARE(panel->TSBAR->maximum(), 12);
        QCOMPARE(station.link.SelectedReader, 1);
        // The controls are found by their names.
        QVERIFY(dialog->findChild<QGroupBox*>("RadioGroup1"));
        QVERIFY(dialog->findChild<QScrollBar*>("TSBAR"));
        QVERIFY(dialog->findChild<QLabel*>("capid"));
    }

    void allAndBackRestoresThePosition() {
        SimStation station(2);
        Owned<TPanGn> dialog(new TPanGn(station.link));
        ReaderPanel* panel = dialog->panel;
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

    void oneReaderAboveTheConfiguredCount() {
        SimStation station(12, 2);
        Owned<TPanGn> dialog(new TPanGn(station.link));
        chooseReader(dialog->panel, 12);
        dialog->Button1Click();
        QCOMPARE(station.commands(12), QStringList{"C4"});
        QCOMPARE(station.lineCommands(), QStringList{"C4"});
        QCOMPARE(cellText(dialog->Grid, 12, 1), "  000000건");
        QCOMPARE(gridColumn(dialog->Grid, 1, 1, 11), QStringList(11, QString()));
        QCOMPARE(dialog->panel->capid->text(), "12");
        QCOMPARE(station.link.SelectedReader, 12);
    }

    void allReadersInOrderAndOnlyTheirRows() {
        SimStation station(5, 3);
        Owned<TPanGn> dialog(new TPanGn(station.link));
        chooseAllReaders(dialog->panel);
        dialog->Button1Click();
        QStringList ids;
        for (const sim::LineEvent& e : station.line.lineEvents()) ids << QString::number(e.id);
        QCOMPARE(ids, QStringList({"1", "2", "3"}));
        QCOMPARE(gridColumn(dialog->Grid, 1, 1, 3), QStringList(3, "  000000건"));
        QCOMPARE(gridColumn(dialog->Grid, 1, 4, 12), QStringList(9, QString()));
        QCOMPARE(station.link.SelectedReader, 0);
        QCOMPARE(dialog->panel->capid->text(), "ALL");
    }
};

int runPanelTests(int argc, char** argv) {
    PanelTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PanelTest.moc"
