// The batch upload dialog, in the main window as the clerk runs it, through the FTDI driver and
// the 16550 driver; and the adapter pulled in the middle of a batch.
#include "GuestTests.h"
#include "HostRig.h"

#include "FBatch.h"
#include "Main.h"
#include "ReaderPanel.h"
#include "ReaderSim.h"
#include "ScriptedPrompts.h"
#include "SimStation.h"
#include "TestGroups.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
const QString kDone = QStringLiteral("업로드가 완료되었습니다!");

// The file lines of every record the line's simulated readers stored, reader 1 first, as their
// state file holds them.
QStringList storedLines(const QString& line) {
    QStringList out;
    const std::optional<sim::SimState> state =
        sim::loadState(HostRig::simFile(line, QStringLiteral("state")).toStdString());
    if (!state) return out;
    for (std::size_t i = 0; i < state->readers.size(); ++i)
        for (const sim::RecordBytes& record : state->readers[i].records) out << fileLine(int(i) + 1, record);
    return out;
}

// The lines of the day's batch files, the earliest run's first: -0, -1, ..., then the last.
QStringList dayBatchLines() {
    QStringList out;
    for (int run = 0; QFile::exists(todayFile('B', QStringLiteral("-%1").arg(run))); ++run)
        out << crlfLines(readAll(todayFile('B', QStringLiteral("-%1").arg(run))));
    return out + crlfLines(readAll(todayFile('B')));
}

// A work folder of its own (and HOME) with QRX.CFG, and the serial device linked as COM1 when
// `device` is given.
struct Site {
    Site(int port, int speed, int readers, const QString& device) {
        QDir::setCurrent(dir.path());
        qputenv("HOME", dir.path().toUtf8());
        writeConfig(port, speed, readers);
        if (!device.isEmpty()) QFile::link(device, QStringLiteral("COM1"));
        QDir().mkdir(QStringLiteral("DATA2"));
    }
    QTemporaryDir dir;
};

// The batch dialog on the main window's line, for one reader or all (0).
TBatch* showBatch(TMainForm& form, int reader) {
    auto* dialog = new TBatch(form.Link);
    dialog->show();
    if (reader == 0)
        dialog->panel->RadioGroup1Click(1);
    else
        dialog->panel->TSBAR->setValue(reader);
    return dialog;
}
} // namespace

class BatchTest : public QObject {
    Q_OBJECT

private slots:
    void throughTheDriver_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("speed");
        QTest::newRow("FTDI, 1200 bit/s") << "ftdi" << 0 << guest::kAdapterById << 0;
        QTest::newRow("FTDI, 9600 bit/s") << "ftdi" << 0 << guest::kAdapterById << 3;
        // COM2 without a link of that name is the second on-board port, ttyS1.
        QTest::newRow("16550, 1200 bit/s") << "uart" << 1 << QString() << 0;
        QTest::newRow("16550, 9600 bit/s") << "uart" << 1 << QString() << 3;
    }
    // Two readers with six records each: the day's batch file holds every record, reader by reader,
    // byte for byte as the readers stored them.
    void throughTheDriver() {
        QFETCH(QString, line);
        QFETCH(int, port);
        QFETCH(QString, device);
        QFETCH(int, speed);
        QCOMPARE(
            HostRig::request(
                QStringLiteral("sim %1 --readers 2 --records 6 --punch-every 0 --state state").arg(line)),
            QString());
        if (!device.isEmpty()) QVERIFY(waitForPath(device, true, 10000));
        const QStringList stored = storedLines(line);
        QCOMPARE(stored.size(), 12);
        Site site(port, speed, 2, device);
        ScriptedPrompts boxes;
        TMainForm form(0);
        form.FormActivate();
        QVERIFY(form.Comm.isOpen());
        TBatch* dialog = showBatch(form, 0);
        QTest::mouseClick(dialog->Button1, Qt::LeftButton);
        delete dialog;
        QCOMPARE(boxes.texts(), QStringList{kDone});
        QCOMPARE(crlfLines(readAll(todayFile('B'))), stored);
    }

    // The adapter pulled while a batch runs: the job ends saying that the line is lost, the port
    // indicator says so too, and once the adapter is back the next run collects the rest. The
    // reader still holds the answer the pull cut off; the next run takes it up first, in a file
    // of its own, so the day's batch files hold every record once, in order.
    void adapterPulledDuringTheBatch() {
        QCOMPARE(HostRig::request(
                     QStringLiteral("sim ftdi --readers 1 --records 60 --punch-every 0 --state state")),
                 QString());
        QVERIFY(waitForPath(guest::kAdapterById, true, 10000));
        const QStringList stored = storedLines(QStringLiteral("ftdi"));
        Site site(0, 3, 1, guest::kAdapterById);
        ScriptedPrompts boxes;
        TMainForm form(0);
        form.FormActivate();
        QVERIFY(form.Comm.isOpen());

        TBatch* dialog = showBatch(form, 1);
        int pull = -1;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            if (pull < 0 && crlfLines(readAll(todayFile('B'))).size() >= 4)
                pull = HostRig::send(QStringLiteral("pull"));
        });
        watch.start(5);
        dialog->Button1Click();
        watch.stop();
        QVERIFY(pull >= 0);
        QCOMPARE(HostRig::wait(pull), QString());
        QCOMPARE(boxes.boxes.size(), 1);
        QVERIFY2(boxes.boxes[0].text.startsWith(QStringLiteral("통신선이 끊어졌습니다.")),
                 qPrintable(boxes.boxes[0].text));
        QCOMPARE(form.imsi->text(), QStringLiteral("통신끊김"));
        QVERIFY(!form.Comm.isOpen());
        const QStringList first = crlfLines(readAll(todayFile('B')));

        QCOMPARE(HostRig::request(QStringLiteral("plug")), QString());
        QVERIFY(waitForPath(guest::kAdapterById, true, 15000));
        dialog->Button1Click();
        delete dialog;
        QVERIFY(form.Comm.isOpen());
        QCOMPARE(boxes.texts().last(), kDone);
        QCOMPARE(crlfLines(readAll(todayFile('B', QStringLiteral("-0")))), first);
        QCOMPARE(dayBatchLines(), stored);
    }
};

int runBatchTests(int argc, char** argv) {
    BatchTest test;
    return runGroup(test, argc, argv);
}

#include "BatchTest.moc"
