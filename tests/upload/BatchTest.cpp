// The batch upload dialog end to end against simulated readers: the day's file, the list, the
// panels, the faults a reader can make, the operator's stop and the rotation of earlier files.
#include "FBatch.h"
#include "PieGauge.h"
#include "ReaderPanel.h"
#include "Screenshots.h"
#include "SimStation.h"
#include "UploadTests.h"
#include "UploadWidgets.h"

#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

namespace {
const QString kDone = QStringLiteral("업로드가 완료되었습니다!");

QStringList repeat(int n, const QString& text) {
    QStringList out;
    for (int i = 0; i < n; ++i) out << text;
    return out;
}

QStringList expectedLines(SimStation& station, int reader) {
    QStringList out;
    for (const sim::RecordBytes& r :
         station.line.withReader(reader, [](sim::Reader& x) { return x.records(); }))
        out << expectedFileLine(reader, r);
    return out;
}
} // namespace

class BatchTest : public QObject {
    Q_OBJECT

    // A dialog on the station, in all-readers mode unless one reader is given.
    static QPointer<TBatch> open(SimStation& station, int reader = 0) {
        QPointer<TBatch> dialog = new TBatch(station.link);
        dialog->show();
        if (reader == 0)
            dialog->panel->RadioGroup1Click(1);
        else
            dialog->panel->TSBAR->setValue(reader);
        return dialog;
    }
    static void run(const QPointer<TBatch>& dialog) { QTest::mouseClick(dialog->Button1, Qt::LeftButton); }
    static QStringList todaysLines(const SimStation& station) {
        return crlfLines(station.readFile(todayBase('B') + QStringLiteral(".TXT")));
    }

private slots:
    void init() { QDir::setCurrent(QDir::tempPath()); }

    // The job the program exists for: every record of every reader, once, in reader order.
    void uploadsEveryRecordOnce() {
        SimStation station(3);
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        station.line.withReader(1, [](sim::Reader& r) { r.addRecords(700); });
        station.line.withReader(3, [](sim::Reader& r) { r.addRecords(512); });
        QPointer<TBatch> dialog = open(station);
        int mostLines = 0;
        connect(dialog->Rich->document(), &QTextDocument::blockCountChanged,
                [&](int n) { mostLines = std::max(mostLines, n); });
        run(dialog);

        const QStringList expected =
            expectedLines(station, 1) + expectedLines(station, 2) + expectedLines(station, 3);
        QCOMPARE(expected.size(), 1212);
        QCOMPARE(todaysLines(station), expected);
        QVERIFY2(mostLines <= 501, qPrintable(QString::number(mostLines)));
        QCOMPARE(mostLines, 501);
        // Pages of 501, 500 and the last 211 records.
        QCOMPARE(dialog->list->lineCount(), 211);
        QCOMPARE(dialog->Rich->document()->lastBlock().text(),
                 QStringLiteral(" 03-000512   0000030512   4   2004-03-15 16:31:00"));
        QCOMPARE(station.boxes.texts(), QStringList{kDone});
        QCOMPARE(station.boxes.boxes.first().caption, QStringLiteral("확인"));
        QCOMPARE(station.commands(1), QStringList({"A0", "C4", "C0"}) + repeat(701, "C1"));
        QCOMPARE(station.commands(2), QStringList({"A0", "C4", "C0", "C1"}));
        QCOMPARE(station.commands(3), QStringList({"A0", "C4", "C0"}) + repeat(513, "C1"));
        QCOMPARE(dialog->Cap1->text(), QStringLiteral("001212"));
        QCOMPARE(dialog->Cap2->text(), QStringLiteral("001212"));
        QCOMPARE(dialog->Gauge1->percent(), 100);
        QCOMPARE(dialog->marks->P[0]->text(), QStringLiteral("000700"));
        QCOMPARE(dialog->marks->P[1]->text(), QStringLiteral(" "));
        QCOMPARE(dialog->marks->P[2]->text(), QStringLiteral("000512"));
        QCOMPARE(dialog->panel->capid->text(), QStringLiteral("ALL"));
        QVERIFY(dialog->Button1->isEnabled());
        for (int id = 1; id <= 3; ++id)
            QCOMPARE(station.line.withReader(id, [](sim::Reader& r) { return r.pendingCount(); }),
                     std::size_t(0));
        saveScreenshot(dialog, QStringLiteral("batch"));
        delete dialog;
    }

    // A spoilt answer is asked for again with "N0" and its record written once.
    void spoiltRecordIsAskedAgain_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("value");
        QTest::newRow("bad checksum") << int(sim::Fault::Kind::BadChecksum) << 0;
        QTest::newRow("cut short") << int(sim::Fault::Kind::Truncate) << 12;
        QTest::newRow("other reader's address") << int(sim::Fault::Kind::WrongAddress) << 2;
        QTest::newRow("noise first") << int(sim::Fault::Kind::Garbage) << 0;
    }
    void spoiltRecordIsAskedAgain() {
        QFETCH(int, kind);
        QFETCH(int, value);
        SimStation station(1);
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        sim::Fault fault = kind == int(sim::Fault::Kind::Garbage) ? sim::Fault::garbage({0x55, 0x02})
                                                                  : sim::Fault::badChecksum();
        fault.kind = sim::Fault::Kind(kind);
        fault.value = value;
        station.line.withReader(1, [&](sim::Reader& r) {
            r.addRecords(5);
            r.addFault(fault.on("C1").once());
        });
        QPointer<TBatch> dialog = open(station, 1);
        run(dialog);
        QCOMPARE(todaysLines(station), expectedLines(station, 1));
        QCOMPARE(station.commands(1), QStringList({"C4", "C0", "C1", "N0"}) + repeat(5, "C1"));
        QCOMPARE(station.boxes.texts(), QStringList{kDone});
        delete dialog;
    }

    // On a paced line an answer that comes in two pieces is read cut short. The rest must not
    // end up in front of the repeated answer, or every later read would start in the middle of
    // an answer until the reader is given up.
    void answerInPiecesIsAskedAgainOnce() {
        SimStation station(1, -1, true);
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        station.line.withReader(1, [](sim::Reader& r) {
            r.addRecords(3);
            r.addFault(sim::Fault::split(12, 10).on("C1").once());
        });
        QPointer<TBatch> dialog = open(station, 1);
        run(dialog);
        QCOMPARE(station.boxes.texts(), QStringList{kDone});
        QCOMPARE(todaysLines(station), expectedLines(station, 1));
        QVERIFY2(station.commands(1).count(QStringLiteral("N0")) <= 2,
                 qPrintable(station.commands(1).join(' ')));
        delete dialog;
    }

    // Silent after one error: "N0" on every retry; the tenth ends the job before reader 2.
    void silentReaderEndsTheJob() {
        SimStation station(2);
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        station.line.withReader(1, [](sim::Reader& r) {
            r.addRecords(3);
            r.addFault(sim::Fault::badChecksum().on("C1").times(1).then(sim::Fault::silent()));
        });
        station.line.withReader(2, [](sim::Reader& r) { r.addRecords(3); });
        QPointer<TBatch> dialog = open(station);
        run(dialog);
        QVERIFY(station.line.waitForFrames(1, 15, 2000));
        QCOMPARE(station.commands(1),
                 QStringList({"A0", "C4", "C0", "C1"}) + repeat(10, "N0") + QStringList{"C2"});
        QCOMPARE(station.commands(2), QStringList({"A0", "C4"}));
        QCOMPARE(station.boxes.texts(), QStringList{QStringLiteral("01번리더 에러발생.. 다시UpLoad하세요")});
        QCOMPARE(station.boxes.boxes.first().caption, QStringLiteral("에러"));
        QCOMPARE(dialog->panel->capid->text(), QStringLiteral("01"));
        QCOMPARE(station.readFile(todayBase('B') + QStringLiteral(".TXT")), QByteArray());
        QCOMPARE(openDescriptorsOf(todayBase('B') + QStringLiteral(".TXT")), 0);
        QVERIFY(dialog->Button1->isEnabled());
        delete dialog;
    }

    // 종료 in the middle: "C2" to the reader, what was listed is in the file, the dialog closes.
    void stopKeepsWhatWasWritten() {
        SimStation station(1);
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        station.line.withReader(1, [](sim::Reader& r) { r.addRecords(300); });
        QPointer<TBatch> dialog = open(station, 1);
        QPlainTextEdit* rich = dialog->Rich;
        pressWhen([rich] { return rich->document()->blockCount() >= 20; }, dialog->Button2);
        run(dialog);
        QTRY_VERIFY(dialog.isNull());
        const QStringList lines = todaysLines(station);
        QVERIFY2(lines.size() >= 20 && lines.size() < 300, qPrintable(QString::number(lines.size())));
        QCOMPARE(lines, expectedLines(station, 1).mid(0, lines.size()));
        const QStringList commands = station.commands(1);
        QCOMPARE(commands.last(), QStringLiteral("C2"));
        QCOMPARE(commands.count(QStringLiteral("C1")), lines.size());
        QVERIFY(station.boxes.boxes.isEmpty());
        QCOMPARE(openDescriptorsOf(todayBase('B') + QStringLiteral(".TXT")), 0);
    }

    // Three runs in a day leave "-0", "-1" and today's file, each with its own run's records.
    void threeRunsLeaveNumberedCopies() {
        SimStation station(1);
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        const QString base = todayBase('B');
        QPointer<TBatch> dialog = open(station, 1);
        QStringList runs;
        for (int run = 0; run < 3; ++run) {
            station.line.withReader(1, [](sim::Reader& r) { r.addRecords(2); });
            BatchTest::run(dialog);
            runs << todaysLines(station).join(QLatin1Char('|'));
        }
        QCOMPARE(crlfLines(station.readFile(base + QStringLiteral("-0.TXT"))).join(QLatin1Char('|')),
                 runs.at(0));
        QCOMPARE(crlfLines(station.readFile(base + QStringLiteral("-1.TXT"))).join(QLatin1Char('|')),
                 runs.at(1));
        QCOMPARE(todaysLines(station), expectedLines(station, 1).mid(4));
        QVERIFY(runs.at(0) != runs.at(1));
        QCOMPARE(QDir(QStringLiteral("DATA2")).entryList(QDir::Files).size(), 3);
        delete dialog;
    }

    void fullSetOfCopiesShiftsDown() {
        SimStation station(1);
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        const QString base = todayBase('B');
        station.writeFile(base + QStringLiteral(".TXT"), "today's\r\n");
        for (int k = 0; k <= 9; ++k)
            station.writeFile(base + QStringLiteral("-%1.TXT").arg(k), QByteArray::number(k));
        station.line.withReader(1, [](sim::Reader& r) { r.addRecords(1); });
        QPointer<TBatch> dialog = open(station, 1);
        run(dialog);
        for (int k = 0; k <= 8; ++k)
            QCOMPARE(station.readFile(base + QStringLiteral("-%1.TXT").arg(k)), QByteArray::number(k + 1));
        QCOMPARE(station.readFile(base + QStringLiteral("-9.TXT")), QByteArray("today's\r\n"));
        QCOMPARE(todaysLines(station), expectedLines(station, 1));
        delete dialog;
    }

    // Today's file cannot be moved aside: the job ends before it truncates it.
    void failedRotationKeepsTodaysFile() {
        SimStation station(1);
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        const QString base = todayBase('B');
        station.writeFile(base + QStringLiteral(".TXT"), "today's\r\n");
        QVERIFY(QDir().mkpath(base + QStringLiteral("-0.TXT/held")));
        for (int k = 1; k <= 9; ++k) station.writeFile(base + QStringLiteral("-%1.TXT").arg(k), "copy");
        station.line.withReader(1, [](sim::Reader& r) { r.addRecords(1); });
        QPointer<TBatch> dialog = open(station, 1);
        run(dialog);
        QCOMPARE(station.readFile(base + QStringLiteral(".TXT")), QByteArray("today's\r\n"));
        QCOMPARE(station.boxes.boxes.size(), 1);
        QVERIFY2(station.boxes.boxes.first().text.contains(QString::fromLocal8Bit(strerror(EEXIST))),
                 qPrintable(station.boxes.boxes.first().text));
        QCOMPARE(station.commands(1), QStringList());
        QVERIFY(dialog->Button1->isEnabled());
        delete dialog;
    }

    void jobsThatEndBeforeTheUpload_data() {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<int>("reader");
        QTest::addColumn<int>("fault");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QStringList>("commands");
        const int none = -1;
        QTest::newRow("no output folder")
            << false << 0 << none << QStringList{"자료를 출력할 디렉토리가 없습니다"} << "" << QStringList{};
        QTest::newRow("nothing to fetch, all readers")
            << true << 0 << none << QStringList{} << " 수집건수가 없습니다!" << QStringList{"A0", "C4"};
        QTest::newRow("nothing to fetch, one reader")
            << true << 1 << none << QStringList{} << " 수집건수가 없습니다!" << QStringList{"C4"};
        QTest::newRow("count unanswered") << true << 1 << int(sim::Fault::Kind::Silent)
                                          << QStringList{"응답이 없습니다"} << "" << QStringList{"C4"};
        QTest::newRow("count spoilt") << true << 1 << int(sim::Fault::Kind::BadChecksum)
                                      << QStringList{"수신데이터 에러"} << "" << QStringList{"C4"};
    }
    void jobsThatEndBeforeTheUpload() {
        QFETCH(bool, folder);
        QFETCH(int, reader);
        QFETCH(int, fault);
        QFETCH(QStringList, boxes);
        QFETCH(QString, listed);
        QFETCH(QStringList, commands);
        SimStation station(1);
        if (folder) QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        const QString today = todayBase('B') + QStringLiteral(".TXT");
        if (folder) station.writeFile(today, "earlier run\r\n");
        if (fault >= 0) {
            sim::Fault f = sim::Fault::silent();
            f.kind = sim::Fault::Kind(fault);
            station.line.withReader(1, [&](sim::Reader& r) {
                r.addRecords(2);
                r.addFault(f.on("C4"));
            });
        }
        QPointer<TBatch> dialog = open(station, reader);
        run(dialog);
        QCOMPARE(station.boxes.texts(), boxes);
        QCOMPARE(dialog->Rich->toPlainText(), listed);
        QCOMPARE(station.commands(1), commands);
        if (folder) {
            // The earlier file was rotated away before the count, and no new one was made.
            QVERIFY(!QFile::exists(today));
            QCOMPARE(station.readFile(todayBase('B') + QStringLiteral("-0.TXT")),
                     QByteArray("earlier run\r\n"));
        }
        delete dialog;
    }

    // A sequence number that is not decimal ends the job as a conversion error; the file is
    // closed and keeps what was written.
    void badSequenceDigitsEndTheJob() {
        SimStation station(1);
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        station.line.withReader(1, [](sim::Reader& r) {
            r.addRecords(2);
            sim::RecordBytes bad = r.records().back();
            bad[2] = 0x0A;
            r.addRecordBytes(bad);
            r.addRecords(2);
        });
        QPointer<TBatch> dialog = open(station, 1);
        run(dialog);
        const QStringList lines = todaysLines(station);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.last(), QStringLiteral("01-00000: 2004 03 15 08 01 00 2 0000010002"));
        QCOMPARE(station.boxes.boxes.size(), 1);
        QCOMPARE(station.boxes.boxes.first().text, QStringLiteral("'00000:' is not a valid integer value"));
        QCOMPARE(station.boxes.boxes.first().caption, QStringLiteral("qrx"));
        QCOMPARE(openDescriptorsOf(todayBase('B') + QStringLiteral(".TXT")), 0);
        QVERIFY(dialog->Button1->isEnabled());
        delete dialog;
    }

    // The title bar's close does not stop the job: it runs to its end, then the dialog closes.
    void titleBarCloseWaitsForTheJob() {
        SimStation station(1);
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        station.line.withReader(1, [](sim::Reader& r) { r.addRecords(30); });
        QPointer<TBatch> dialog = open(station, 1);
        QPlainTextEdit* rich = dialog->Rich;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            if (rich->document()->blockCount() < 5) return;
            closer.stop();
            dialog->close();
        });
        closer.start(5);
        run(dialog);
        QCOMPARE(todaysLines(station), expectedLines(station, 1));
        QCOMPARE(station.boxes.texts(), QStringList{kDone});
        QTRY_VERIFY(dialog.isNull());
    }
};

int runBatchTests(int argc, char** argv) {
    BatchTest test;
    return runGroup(test, argc, argv);
}

#include "BatchTest.moc"
