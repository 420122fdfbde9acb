// Both uploads on the line as it really is (the simulator's line model: wire time both ways, a
// USB adapter's 16 ms bursts) at slow and fast speeds, and with what goes wrong on a real line:
// answers and requests lost, answers late, the adapter pulled, the disk full. Nothing a reader
// handed over may be missing from the file, and nothing may stand in it twice.
#include "FBatch.h"
#include "FOnline.h"
#include "SimStation.h"
#include "UploadTests.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include <cstring>
#include <memory>

namespace {
const QString kDone = QStringLiteral("업로드가 완료되었습니다!");

QStringList batchFile(const SimStation& station, const char* suffix = "") {
    return crlfLines(station.readFile(todayBase('B') + QLatin1String(suffix) + QStringLiteral(".TXT")));
}

QStringList onlineFile(const SimStation& station) {
    return crlfLines(station.readFile(todayBase('A') + QStringLiteral(".TXT")));
}

// What an on-line run stored: its own file's lines and, in order with them, those a batch pass
// of a reader that had nothing to repeat put into the day's batch file.
QStringList onlineRunLines(const SimStation& station) {
    QStringList lines =
        onlineFile(station) + crlfLines(station.readFile(todayBase('B') + QStringLiteral(".TXT")));
    lines.sort();
    return lines;
}

QStringList linesOf(int reader, const std::vector<sim::RecordBytes>& records) {
    QStringList out;
    for (const sim::RecordBytes& r : records) out << fileLine(reader, r);
    return out;
}

void runBatch(SimStation& station, int reader) {
    QPointer<TBatch> dialog = new TBatch(station.link);
    prepare(dialog, reader);
    QTest::mouseClick(dialog->Button1, Qt::LeftButton);
    delete dialog;
}

// Runs the on-line dialog until it stored `lines` more lines (or 30 s have passed), then closes
// it; a run that ended by itself is closed at once.
void runOnline(SimStation& station, int reader, int lines) {
    QPointer<TOnline> dialog = new TOnline(station.link, station.Comm);
    prepare(dialog, reader);
    QElapsedTimer clock;
    clock.start();
    const int before = int(onlineRunLines(station).size());
    pressWhen([&] { return clock.elapsed() > 30000 || onlineRunLines(station).size() >= before + lines; },
              dialog->Button2);
    QTest::mouseClick(dialog->Button1, Qt::LeftButton);
    if (dialog && dialog->isVisible()) dialog->Button2->click();
    QTRY_VERIFY(dialog.isNull());
}

std::vector<sim::RecordBytes> punchAll(SimStation& station, int reader, int count) {
    return station.line.withReader(reader, [count](sim::Reader& r) {
        std::vector<sim::RecordBytes> out;
        for (int i = 0; i < count; ++i)
            out.push_back(r.punchNow(std::uint64_t(r.id()) * 1000 + std::uint64_t(i)));
        return out;
    });
}

// The fault, on the `nth` answer (from 0) to the command: the answers before it pass untouched.
sim::Fault onAnswer(int nth, const sim::Fault& fault, const char* command) {
    const sim::Fault once = fault.on(command).once();
    return nth == 0 ? once : sim::Fault::late(0).on(command).times(nth).then(once);
}
} // namespace

class RealLineTest : public QObject {
    Q_OBJECT

private slots:
    void init() { QDir::setCurrent(QDir::tempPath()); }

    void atEachSpeed_data() { addLineSpeedRows(); }
    // A batch of two readers with 20 records each, then an on-line run of three punches each.
    void atEachSpeed() {
        QFETCH(int, rate);
        SimStation station(2, 2, TBaudrate(rate));
        for (int id : {1, 2}) station.line.withReader(id, [](sim::Reader& r) { r.addRecords(20); });
        runBatch(station, 0);
        QCOMPARE(station.boxes.texts(), QStringList{kDone});
        QCOMPARE(batchFile(station), storedLines(station, 1) + storedLines(station, 2));

        const QStringList one = linesOf(1, punchAll(station, 1, 3));
        const QStringList two = linesOf(2, punchAll(station, 2, 3));
        runOnline(station, 0, 6);
        QCOMPARE(onlineFile(station), QStringList({one[0], two[0], one[1], two[1], one[2], two[2]}));
        QCOMPARE(station.boxes.texts(), QStringList{kDone});
    }

    // Behind no adapter (bytes handed over as they come off the wire) and a 1 ms one, the answer
    // is in long before 3.5 characters have passed: the host still waits them out, so no reader
    // misses a request and none is asked again. At 1200 bit/s the wait is 29 ms.
    void readersTurnAround_data() {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("adapterMs");
        QTest::newRow("1200, no adapter") << int(br1200) << 0;
        QTest::newRow("9600, 1 ms adapter") << int(br9600) << 1;
        QTest::newRow("19200, 1 ms adapter") << int(br19200) << 1;
    }
    void readersTurnAround() {
        QFETCH(int, rate);
        QFETCH(int, adapterMs);
        SimStation station(2, 2, TBaudrate(rate));
        station.line.setAdapterLatencyMs(adapterMs);
        for (int id : {1, 2}) station.line.withReader(id, [](sim::Reader& r) { r.addRecords(5); });
        runBatch(station, 0);
        QCOMPARE(station.boxes.texts(), QStringList{kDone});
        QCOMPARE(batchFile(station), storedLines(station, 1) + storedLines(station, 2));
        for (int id : {1, 2}) {
            for (const sim::LineEvent& e : station.line.frames(id))
                QVERIFY2(e.note.find("missed") == std::string::npos, e.note.c_str());
            QVERIFY(!station.commands(id).contains(QStringLiteral("N0")));
        }
    }

    // Each way an exchange goes wrong on a noisy line, at a reader's first record and in the
    // middle, in both uploads: every record still stands in the file once, in order.
    void lostOrLate_data() {
        QTest::addColumn<bool>("online");
        QTest::addColumn<int>("nth");
        QTest::addColumn<int>("kind");
        const struct {
            const char* name;
            sim::Fault::Kind kind;
        } faults[] = {{"answer lost", sim::Fault::Kind::LoseAnswer},
                      {"request lost", sim::Fault::Kind::Silent},
                      {"answer 300 ms late", sim::Fault::Kind::Late}};
        for (bool online : {false, true})
            for (int nth : {0, 3})
                for (const auto& f : faults)
                    QTest::addRow("%s, %s, %s", online ? "on-line" : "batch",
                                  nth ? "fourth record" : "first record", f.name)
                        << online << nth << int(f.kind);
    }
    void lostOrLate() {
        QFETCH(bool, online);
        QFETCH(int, nth);
        QFETCH(int, kind);
        SimStation station(1);
        sim::Fault fault = sim::Fault::late(300);
        fault.kind = sim::Fault::Kind(kind);
        if (online) {
            const QStringList expected = linesOf(1, punchAll(station, 1, 6));
            station.line.withReader(1, [&](sim::Reader& r) { r.addFault(onAnswer(nth, fault, "C5")); });
            runOnline(station, 1, 6);
            QCOMPARE(onlineRunLines(station), expected);
        } else {
            station.line.withReader(1, [&](sim::Reader& r) {
                r.addRecords(6);
                r.addFault(onAnswer(nth, fault, "C1"));
            });
            runBatch(station, 1);
            QCOMPARE(batchFile(station), storedLines(station, 1));
        }
        QVERIFY(station.boxes.boxes.isEmpty() || station.boxes.texts() == QStringList{kDone});
    }

    // The adapter pulled in the middle of a batch: the job ends saying the line is lost and the
    // port is closed. With the adapter back (a new line under the same name, the reader still
    // holding what it had not handed over), the next run collects the rest: every record once.
    void adapterPulledInTheMiddle() {
        SimStation station(1);
        auto line = std::make_unique<sim::SimLine>(1);
        line->withReader(1, [](sim::Reader& r) { r.addRecords(10); });
        const QStringList all = linesOf(1, line->withReader(1, [](sim::Reader& r) { return r.records(); }));
        line->makeLink("COM2");
        station.Comm.Close();
        station.Comm.setDeviceName("COM2");
        station.Comm.Open();

        std::vector<sim::RecordBytes> kept;
        QPointer<TBatch> dialog = new TBatch(station.link);
        prepare(dialog, 1);
        pressWhen(
            [&] {
                if (batchFile(station).size() < 4) return false;
                kept = line->withReader(1, [](sim::Reader& r) {
                    return std::vector<sim::RecordBytes>(
                        r.records().begin() + std::ptrdiff_t(r.uploadCursor()), r.records().end());
                });
                line.reset();
                return true;
            },
            dialog->Button2);
        dialog->Button1Click();
        QCOMPARE(station.linesLost, 1);
        QVERIFY(!station.Comm.isOpen());
        QCOMPARE(station.boxes.boxes.size(), 1);
        QVERIFY2(station.boxes.boxes[0].text.startsWith(QStringLiteral("통신선이 끊어졌습니다.")),
                 qPrintable(station.boxes.boxes[0].text));
        const QStringList first = batchFile(station);
        delete dialog;

        line = std::make_unique<sim::SimLine>(1);
        line->withReader(1, [&](sim::Reader& r) {
            for (const sim::RecordBytes& record : kept) r.addRecordBytes(record);
        });
        line->makeLink("COM2");
        dialog = new TBatch(station.link);
        prepare(dialog, 1);
        dialog->Button1Click();
        QVERIFY(station.Comm.isOpen());
        QCOMPARE(station.boxes.texts().last(), kDone);
        QCOMPARE(batchFile(station, "-0"), first);
        QCOMPARE(first + batchFile(station), all);
        delete dialog;
        station.Comm.Close();
    }

    // A disk that fills in the middle of a run: the file keeps whole lines only, the run ends with
    // the system's description, and the reader is not asked for anything more, so it still holds
    // the record that did not reach the disk.
    void diskFullInTheMiddle_data() {
        QTest::addColumn<bool>("online");
        QTest::newRow("batch") << false;
        QTest::newRow("on-line") << true;
    }
    void diskFullInTheMiddle() {
        QFETCH(bool, online);
        SimStation station(1);
        QStringList expected;
        if (online)
            expected = linesOf(1, punchAll(station, 1, 4));
        else
            station.line.withReader(1, [](sim::Reader& r) { r.addRecords(4); });
        if (!online) expected = storedLines(station, 1);
        QDir().mkdir(QStringLiteral("DATA2"));
        // The size limit that plays the full disk would also refuse the ledger's writes in place,
        // which a full disk does not: the ledger is kept in memory here.
        station.link.ledger = OwedLedger();
        {
            const FileSizeLimit full(2 * 44 + 20);
            if (online)
                runOnline(station, 1, 3);
            else
                runBatch(station, 1);
        }
        const QStringList written = online ? onlineFile(station) : batchFile(station);
        QCOMPARE(written, expected.mid(0, 2));
        QCOMPARE(station.boxes.boxes.size(), 1);
        QVERIFY2(station.boxes.texts()[0].endsWith(QString::fromLocal8Bit(strerror(EFBIG))),
                 qPrintable(station.boxes.texts()[0]));
        const QString request = online ? QStringLiteral("C5") : QStringLiteral("C1");
        QCOMPARE(station.commands(1).count(request), 3);
        QCOMPARE(station.commands(1).last(), request);
    }
};

int runRealLineTests(int argc, char** argv) {
    RealLineTest test;
    return runGroup(test, argc, argv);
}

#include "RealLineTest.moc"
