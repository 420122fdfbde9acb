// The dialogs driven from the keyboard alone, from the main window's commands against the
// simulated readers: Tab follows the layout, Enter presses the focused button and nothing else,
// the arrow keys choose the reader and step the reader count, Esc closes and stops. Three of
// these runs are the README's pictures.
#include "ShellTests.h"

#include "ClockSnapshot.h"
#include "FBatch.h"
#include "FCOMCHK.h"
#include "FGaekHk.h"
#include "FOnline.h"
#include "FPanGn.h"
#include "HostPaths.h"
#include "PieGauge.h"
#include "ReaderGrid.h"
#include "ReaderPanel.h"
#include "Screenshots.h"
#include "TestGroups.h"
#include "UploadFiles.h"
#include "configf.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

namespace {
QStringList column(const QTableWidget* grid, int column, int first, int last) {
    QStringList out;
    for (int r = first; r <= last; ++r) out << cellText(grid, r, column);
    return out;
}

// The lines of today's upload file of the given kind ('B' batch, 'A' on-line).
QStringList todaysLines(const SimDesk& desk, char kind) {
    const ClockSnapshot now = ClockSnapshot::now();
    const QByteArray file = desk.readFile(hostPath(UploadFileName(kind, now.year, now.month, now.day)));
    QStringList lines = QString::fromLatin1(file).split(QStringLiteral("\r\n"));
    lines.removeLast();
    return lines;
}

// Runs check from a timer while a job runs, until it returns true.
void whileRunning(QObject* owner, const std::function<bool()>& check) {
    auto* timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, [timer, check] {
        if (check()) timer->stop();
    });
    timer->start(5);
}

int commandCount(const SimDesk& desk, int reader, const std::string& code) {
    int count = 0;
    for (const sim::LineEvent& e : desk.line.frames(reader)) count += e.code == code ? 1 : 0;
    return count;
}
} // namespace

class KeyboardTest : public QObject {
    Q_OBJECT

private slots:
    // Ctrl+C opens the check with 실행 focused; Enter runs it. The README's main window.
    void statusCheckRunsOnEnter() {
        SimDesk desk;
        QStringList rows;
        QString focused;
        onDialog([] { press(Qt::Key_C, Qt::ControlModifier); },
                 [&](QDialog* dialog) {
                     auto* check = qobject_cast<TComCheck*>(dialog);
                     QVERIFY(check);
                     focused = focusName();
                     press(Qt::Key_Return);
                     rows = column(check->Grid, 1, 1, 5);
                     saveDesktopPicture(desk.form.get(), QStringLiteral("main-window"));
                     press(Qt::Key_Escape);
                 });
        QCOMPARE(focused, QStringLiteral("Button1"));
        QCOMPARE(rows, QStringList(4, QStringLiteral("  통신성공 - 정상작동중")) << QStringLiteral(" "));
        QVERIFY(desk.boxes.boxes.isEmpty());
    }

    // Tab from the control that has the keyboard when the dialog opens, round to it again.
    void tabFollowsTheLayout_data() {
        QTest::addColumn<QByteArray>("handler");
        QTest::addColumn<QStringList>("stops");
        // The entry line above the grid comes first, although the dialog makes it after the panel.
        QTest::newRow("customer check")
            << QByteArray("DOWN_GOClick")
            << QStringList{"Edit1", "RadioGroup1_0", "TSBAR", "Button1", "Button2", "Edit1"};
        // Two rows of two buttons, read row by row.
        QTest::newRow("fixed amounts") << QByteArray("AUTO_TIME_CHECKClick")
                                       << QStringList{"Button3", "Button1", "Button4", "Button2", "Button3"};
        // A radio group is one stop; Qt enters it at its first button.
        QTest::newRow("settings") << QByteArray("CONFIG_COMMSETClick")
                                  << QStringList{"port_seting_0",    "baudrate_seting_0", "parity_seting_0",
                                                 "databit_seting_0", "Stopbit_Seting_0",  "Edit1",
                                                 "UpDown1Up",        "UpDown1Down",       "BitBtn1",
                                                 "BitBtn2",          "port_seting_0"};
        // The record list on the left first, then the controls beside it.
        QTest::newRow("batch upload")
            << QByteArray("UP_BATCHClick")
            << QStringList{"Rich", "RadioGroup1_0", "TSBAR", "Button1", "Button2", "Rich"};
    }
    void tabFollowsTheLayout() {
        QFETCH(QByteArray, handler);
        QFETCH(QStringList, stops);
        SimDesk desk;
        QStringList visited;
        onDialog([&] { ((*desk.form).*dialogCommand(handler.constData()).open)(); },
                 [&](QDialog*) {
                     visited << focusName();
                     for (int i = 1; i < stops.size(); ++i) {
                         press(Qt::Key_Tab);
                         visited << focusName();
                     }
                     press(Qt::Key_Escape);
                 });
        QCOMPARE(visited, stops);
    }

    // Enter in the number field runs the query once: no button stands in as the default and
    // runs it a second time.
    void enterInTheNumberFieldAsksOnce() {
        SimDesk desk;
        onDialog([&] { desk.form->DOWN_GOClick(); },
                 [&](QDialog* dialog) {
                     QCOMPARE(focusName(), QStringLiteral("Edit1"));
                     QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("0000012345"));
                     press(Qt::Key_Return);
                     QCOMPARE(qobject_cast<TGaekHk*>(dialog)->Edit1->text(), QStringLiteral("0000012345"));
                     press(Qt::Key_Escape);
                 });
        QCOMPARE(commandCount(desk, 1, "D4"), 1);
        QCOMPARE(commandCount(desk, 2, "D4"), 0);
    }

    // The arrow keys move the reader along the scroll bar, and Down on 개별ID chooses 전체ID,
    // which takes the scroll bar out of the Tab order.
    void arrowKeysChooseTheReaders() {
        SimDesk desk([](sim::SimLine& line) { line.withReader(3, [](sim::Reader& r) { r.addRecords(7); }); });
        QStringList one, all;
        QString chosen, allCaption;
        onDialog([] { press(Qt::Key_W, Qt::ControlModifier); },
                 [&](QDialog* dialog) {
                     auto* count = qobject_cast<TPanGn*>(dialog);
                     QVERIFY(count);
                     press(Qt::Key_Tab);
                     QCOMPARE(focusName(), QStringLiteral("TSBAR"));
                     press(Qt::Key_Right);
                     press(Qt::Key_Right);
                     chosen = count->panel->capid->text();
                     press(Qt::Key_Tab);
                     press(Qt::Key_Return);
                     one = column(count->Grid, 1, 1, 4);
                     press(Qt::Key_Backtab);
                     press(Qt::Key_Backtab);
                     QCOMPARE(focusName(), QStringLiteral("RadioGroup1_0"));
                     press(Qt::Key_Down);
                     allCaption = count->panel->capid->text();
                     press(Qt::Key_Tab);
                     QCOMPARE(focusName(), QStringLiteral("Button1"));
                     press(Qt::Key_Return);
                     all = column(count->Grid, 1, 1, 4);
                     press(Qt::Key_Escape);
                 });
        QCOMPARE(chosen, QStringLiteral("03"));
        QCOMPARE(one, QStringList({"", "", "  000007건", ""}));
        QCOMPARE(allCaption, QStringLiteral("ALL"));
        QCOMPARE(all, QStringList({"  000000건", "  000000건", "  000007건", "  000000건"}));
    }

    // Up and Down in the count field step it within 1..12; Enter there is 확인.
    void readerCountStepsWithTheArrowKeys() {
        SimDesk desk;
        QStringList shown;
        onDialog([] { press(Qt::Key_J, Qt::ControlModifier); },
                 [&](QDialog* dialog) {
                     auto* settings = qobject_cast<TForm_Config*>(dialog);
                     QVERIFY(settings);
                     settings->Edit1->setFocus();
                     for (const auto& [key, times] : {std::pair(Qt::Key_Up, 10), std::pair(Qt::Key_Down, 13),
                                                      std::pair(Qt::Key_Up, 2)}) {
                         for (int i = 0; i < times; ++i) press(key);
                         shown << settings->Edit1->text();
                     }
                     press(Qt::Key_Return);
                 });
        QCOMPARE(shown, QStringList({"12", "01", "03"}));
        QCOMPARE(desk.readFile(QStringLiteral("QRX.CFG")).toHex(), QByteArray("010300010003"));
        QCOMPARE(desk.form->Link.ReaderCount, 3);
        QVERIFY(desk.form->Comm.isOpen());
    }

    // All readers chosen and run from the keyboard; the README's batch upload, half done.
    void batchUploadFromTheKeyboard() {
        const int records[] = {40, 0, 32, 24};
        SimDesk desk([&records](sim::SimLine& line) {
            for (int id = 1; id <= 4; ++id)
                line.withReader(id, [n = records[id - 1]](sim::Reader& r) { r.addRecords(n); });
        });
        int percentShown = 0;
        onDialog([] { press(Qt::Key_D, Qt::ControlModifier); },
                 [&](QDialog* dialog) {
                     auto* batch = qobject_cast<TBatch*>(dialog);
                     QVERIFY(batch);
                     press(Qt::Key_Tab);
                     press(Qt::Key_Down);
                     press(Qt::Key_Tab);
                     QCOMPARE(focusName(), QStringLiteral("Button1"));
                     whileRunning(batch, [batch, &percentShown] {
                         if (batch->Gauge1->percent() < 45) return false;
                         percentShown = batch->Gauge1->percent();
                         saveDesktopPicture(batch, QStringLiteral("batch-upload"));
                         return true;
                     });
                     press(Qt::Key_Return);
                     QCOMPARE(batch->Cap2->text(), QStringLiteral("000096"));
                     press(Qt::Key_Escape);
                 });
        QVERIFY2(percentShown >= 45 && percentShown < 100, qPrintable(QString::number(percentShown)));
        QCOMPARE(todaysLines(desk, 'B').size(), 96);
        QCOMPARE(desk.boxes.texts(), QStringList{QStringLiteral("업로드가 완료되었습니다!")});
    }

    // On line from the keyboard; Esc stops the run and closes the dialog, which opens the port
    // again. The README's on-line upload.
    void onlineUploadFromTheKeyboard() {
        constexpr int kPunches = 3;
        SimDesk desk([](sim::SimLine& line) {
            for (int n = 0; n < kPunches; ++n)
                for (int id = 1; id <= 4; ++id)
                    line.withReader(id, [id, n](sim::Reader& r) { r.punchNow(quint64(id * 100 + n)); });
        });
        bool stoppedByEsc = false;
        onDialog([] { press(Qt::Key_O, Qt::ControlModifier); },
                 [&](QDialog* dialog) {
                     auto* online = qobject_cast<TOnline*>(dialog);
                     QVERIFY(online);
                     press(Qt::Key_Tab);
                     press(Qt::Key_Down);
                     press(Qt::Key_Tab);
                     whileRunning(online, [&desk, online, &stoppedByEsc] {
                         if (todaysLines(desk, 'A').size() < 4 * kPunches ||
                             online->CAPONLINE->text().isEmpty())
                             return false;
                         saveDesktopPicture(online, QStringLiteral("online-upload"));
                         press(Qt::Key_Escape);
                         stoppedByEsc = true;
                         return true;
                     });
                     press(Qt::Key_Return);
                 });
        QVERIFY(stoppedByEsc);
        QCOMPARE(todaysLines(desk, 'A').size(), 4 * kPunches);
        QVERIFY(desk.boxes.boxes.isEmpty());
        QVERIFY(desk.form->Comm.isOpen());
    }
};

int runKeyboardTests(int argc, char** argv) {
    KeyboardTest test;
    return runGroup(test, argc, argv);
}

#include "KeyboardTest.moc"
