// The batch upload dialog end to end against simulated readers: the day's file, the list, the
// panels, the faults a reader can make, the operator's stop and the rotation of earlier files.
#include "FBatch.h"
#include "PieGauge.h"
#include "PunchRecord.h"
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
#include <QTextBlock>
#include <QtTest>

namespace {
const QString kDone = QStringLiteral("업로드가 완료되었습니다!");

QStringList repeat(int n, const QString& text) {
    return QList<QString>(n, text);
}

void addRecords(SimStation& station, int reader, int n) {
    station.line.withReader(reader, [n](sim::Reader& r) { r.addRecords(n); });
}
} // namespace

class BatchTest : public QObject {
    Q_OBJECT

    // A dialog on the station with one reader chosen (all readers for 0), and its job run.
    static QPointer<TBatch> run(SimStation& station, int reader, bool folder = true) {
        QPointer<TBatch> dialog = new TBatch(station.link);
        prepare(dialog, reader, folder);
        QTest::mouseClick(dialog->Button1, Qt::LeftButton);
        return dialog;
    }
    static QStringList today(const SimStation& station, const char* suffix = "") {
        return crlfLines(station.readFile(todayBase('B') + QLatin1String(suffix) + QStringLiteral(".TXT")));
    }

private slots:
    void init() { QDir::setCurrent(QDir::tempPath()); }

    // The job the program exists for: every record of every reader, once, in reader order.
    // Readers number their records from where they stand, and wrap after 999999.
    void uploadsEveryRecordOnce() {
        SimStation station(3);
        station.line.withReader(1, [](sim::Reader& r) { r.skipSequence(41000); });
        station.line.withReader(3, [](sim::Reader& r) { r.skipSequence(999900 - 1); });
        addRecords(station, 1, 300);
        addRecords(station, 3, 202);
        QPointer<TBatch> dialog = new TBatch(station.link);
        int mostLines = 0;
        connect(dialog->Rich->document(), &QTextDocument::blockCountChanged,
                [&](int n) { mostLines = std::max(mostLines, n); });
        prepare(dialog, 0);
        QTest::mouseClick(dialog->Button1, Qt::LeftButton);

        const QStringList expected =
            storedLines(station, 1) + storedLines(station, 2) + storedLines(station, 3);
        QCOMPARE(expected.size(), 502);
        QCOMPARE(today(station), expected);
        QCOMPARE(mostLines, 501);
        QCOMPARE(dialog->list->lineCount(), 1); // pages of 501 and 1 records
        const sim::RecordBytes last =
            station.line.withReader(3, [](sim::Reader& r) { return r.records().back(); });
        QCOMPARE(dialog->Rich->document()->lastBlock().text(),
                 FormatScreenLine(3, TPunchRecord::fromBytes(QByteArray(
                                         reinterpret_cast<const char*>(last.data()), int(last.size())))));
        QVERIFY(dialog->Rich->document()->lastBlock().text().startsWith(QStringLiteral(" 03-000101 ")));
        QCOMPARE(station.boxes.texts(), QStringList{kDone});
        // One "C1" a record and one for the "C6"; a busy test machine may cost a repeat ("N0").
        const auto asked = [&station](int id) {
            return station.commands(id).filter(QRegularExpression("^(?!N0)"));
        };
        // After a pass that handed out records, "C4" tells whether the reader keeps counting them.
        QCOMPARE(asked(1), QStringList({"A0", "C4", "C0"}) + repeat(301, "C1") + QStringList{"C4"});
        QCOMPARE(asked(2), QStringList({"A0", "C4", "C0", "C1"}));
        QCOMPARE(asked(3), QStringList({"A0", "C4", "C0"}) + repeat(203, "C1") + QStringList{"C4"});
        QCOMPARE(dialog->Cap1->text() + dialog->Cap2->text(), QStringLiteral("000502000502"));
        QCOMPARE(dialog->Gauge1->percent(), 100);
        QCOMPARE(dialog->marks->P[0]->text() + dialog->marks->P[1]->text() + dialog->marks->P[2]->text(),
                 QStringLiteral("041300 000101"));
        QVERIFY(station.boxes.texts() == QStringList{kDone}); // the wrap is no gap
        QCOMPARE(dialog->panel->capid->text(), QStringLiteral("ALL"));
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
        sim::Fault fault = sim::Fault::garbage({0x55, 0x02});
        fault.kind = sim::Fault::Kind(kind);
        fault.value = value;
        station.line.withReader(1, [&](sim::Reader& r) {
            r.addRecords(2);
            r.addFault(fault.on("C1").once());
        });
        QPointer<TBatch> dialog = run(station, 1);
        QCOMPARE(today(station), storedLines(station, 1));
        QCOMPARE(station.commands(1), QStringList({"C4", "C0", "C1", "N0", "C1", "C1", "C4"}));
        QCOMPARE(station.boxes.texts(), QStringList{kDone});
        delete dialog;
    }

    // On a paced line an answer that comes in two pieces is read cut short. The rest must not
    // end up in front of the repeated answer, or every later read would start in the middle of
    // an answer until the reader is given up.
    void answerInPiecesIsAskedAgainOnce() {
        SimStation station(1);
        station.line.withReader(1, [](sim::Reader& r) {
            r.addRecords(3);
            r.addFault(sim::Fault::split(12, 10).on("C1").once());
        });
        QPointer<TBatch> dialog = run(station, 1);
        QCOMPARE(station.boxes.texts(), QStringList{kDone});
        QCOMPARE(today(station), storedLines(station, 1));
        QVERIFY2(station.commands(1).count(QStringLiteral("N0")) <= 2,
                 qPrintable(station.commands(1).join(' ')));
        delete dialog;
    }

    // Silent after one error: "N0" on every retry (no probe: the other reader has not answered
    // since); the tenth ends the job before reader 2, and the reader, which may hold a record not
    // stored, gets no "C2".
    void silentReaderEndsTheJob() {
        SimStation station(2);
        station.line.withReader(1, [](sim::Reader& r) {
            r.addRecords(3);
            r.addFault(sim::Fault::badChecksum().on("C1").times(1).then(sim::Fault::silent()));
        });
        addRecords(station, 2, 3);
        QPointer<TBatch> dialog = run(station, 0);
        QVERIFY(station.line.waitForFrames(1, 14, 2000));
        QCOMPARE(station.commands(1), QStringList({"A0", "C4", "C0", "C1"}) + repeat(10, "N0"));
        QCOMPARE(station.commands(2), QStringList({"A0", "C4"}));
        QCOMPARE(station.boxes.texts(), QStringList{QStringLiteral("01번리더 에러발생.. 다시UpLoad하세요")});
        QCOMPARE(today(station), QStringList());
        QCOMPARE(openDescriptorsOf(todayBase('B') + QStringLiteral(".TXT")), 0);
        QVERIFY(dialog->Button1->isEnabled());
        delete dialog;
    }

    // 종료 in the middle: "C2" to the reader, what was listed is in the file, the dialog closes.
    // The reader numbers its records from 41001, as a reader in use does.
    void stopKeepsWhatWasWritten() {
        SimStation station(1);
        station.line.withReader(1, [](sim::Reader& r) { r.skipSequence(41000); });
        addRecords(station, 1, 40);
        QPointer<TBatch> dialog = new TBatch(station.link);
        prepare(dialog, 1);
        QPlainTextEdit* rich = dialog->Rich;
        pressWhen([rich] { return rich->document()->blockCount() >= 5; }, dialog->Button2);
        QTest::mouseClick(dialog->Button1, Qt::LeftButton);
        QTRY_VERIFY(dialog.isNull());
        const QStringList lines = today(station);
        QVERIFY2(lines.size() >= 5 && lines.size() < 40, qPrintable(QString::number(lines.size())));
        QCOMPARE(lines, storedLines(station, 1).mid(0, lines.size()));
        QCOMPARE(station.commands(1).last(), QStringLiteral("C2"));
        QCOMPARE(station.commands(1).count(QStringLiteral("C1")), lines.size());
        QVERIFY(station.boxes.boxes.isEmpty());
        QCOMPARE(openDescriptorsOf(todayBase('B') + QStringLiteral(".TXT")), 0);

        // The next day's job gets the reader's last record once more (the stop left it
        // unconfirmed) and writes it no second time: between the two files every record is
        // there once.
        QPointer<TBatch> next = new TBatch(station.link);
        const QDateTime tomorrow = QDateTime::currentDateTime().addDays(1);
        next->clock->source = [tomorrow] { return tomorrow; };
        next->clock->sample();
        prepare(next, 1);
        QTest::mouseClick(next->Button1, Qt::LeftButton);
        delete next;
        const QString second = QStringLiteral("DATA2/B") + tomorrow.toString(QStringLiteral("yyyyMMdd")) +
                               QStringLiteral(".TXT");
        QCOMPARE(lines + crlfLines(station.readFile(second)), storedLines(station, 1));
        QCOMPARE(station.boxes.texts(), QStringList{kDone});
    }

    // Twelve rounds of "batch upload, then delete" in one day keep every record: the copies of
    // the day are never dropped.
    void twelveRoundsOfUploadAndDeleteKeepEveryRecord() {
        SimStation station(1);
        QPointer<TBatch> dialog = new TBatch(station.link);
        prepare(dialog, 1);
        QStringList punched;
        for (int round = 0; round < 12; ++round) {
            addRecords(station, 1, 5);
            punched += storedLines(station, 1);
            QTest::mouseClick(dialog->Button1, Qt::LeftButton);
            std::string note;
            station.line.withReader(1, [&](sim::Reader& r) {
                return r.take(sim::Frame{1, "C3", {}}, false, note);
            });
        }
        QStringList kept = today(station);
        for (int k = 0; k <= 10; ++k) kept += today(station, qPrintable(QStringLiteral("-%1").arg(k)));
        kept.sort();
        punched.sort();
        QCOMPARE(kept, punched);
        QCOMPARE(QDir(QStringLiteral("DATA2")).entryList(QDir::Files).size(), 12);
        delete dialog;
    }

    // A record answer with one flipped bit that makes it read "C6" (no further record) is a bad
    // answer: the job asks again and fetches every record.
    void flippedBitReadingC6IsAskedAgain_data() { addSlowAndFastRows(); }
    void flippedBitReadingC6IsAskedAgain() {
        QFETCH(int, rate);
        SimStation station(1, -1, TBaudrate(rate));
        addRecords(station, 1, 3);
        station.line.withReader(1, [](sim::Reader& r) {
            r.addFault(
                sim::Fault::late(0).on("C1").once().then(sim::Fault::flipBit(3, 0x07).on("C1").once()));
        });
        delete run(station, 1);
        QCOMPARE(today(station), storedLines(station, 1));
        QCOMPARE(station.boxes.texts(), QStringList{kDone});
    }

    // A reader that hands out every record it stores after "C0", until they are deleted: each
    // batch file is a whole copy, the records of the run before included.
    void readersThatHandOutWholeCopies() {
        SimStation station(1);
        station.line.withReader(1, [](sim::Reader& r) { r.setBatchCopies(sim::BatchCopies::Whole); });
        QPointer<TBatch> dialog = new TBatch(station.link);
        prepare(dialog, 1);
        addRecords(station, 1, 5);
        QTest::mouseClick(dialog->Button1, Qt::LeftButton);
        addRecords(station, 1, 2);
        QTest::mouseClick(dialog->Button1, Qt::LeftButton);
        const QStringList stored = storedLines(station, 1);
        QCOMPARE(today(station, "-0"), stored.mid(0, 5));
        QCOMPARE(today(station), stored);
        QCOMPARE(station.boxes.texts(), QStringList({kDone, kDone}));
        delete dialog;
    }

    // A reader that never takes "C0" is named in the closing box, which does not say that the
    // upload is complete.
    void skippedReadersAreNamed() {
        SimStation station(3);
        for (int id : {1, 2, 3}) addRecords(station, id, 2);
        station.line.withReader(2, [](sim::Reader& r) { r.addFault(sim::Fault::silent().on("C0")); });
        delete run(station, 0);
        QCOMPARE(station.boxes.texts(),
                 QStringList{QStringLiteral("02번리더는 올려받지 못했습니다 (응답이 없거나 "
                                            "에러). 다시UpLoad하세요")});
        QCOMPARE(today(station), storedLines(station, 1) + storedLines(station, 3));
    }

    // Three runs in a day leave "-0", "-1" and today's file, each with its own run's records.
    void threeRunsLeaveNumberedCopies() {
        SimStation station(1);
        QPointer<TBatch> dialog = new TBatch(station.link);
        prepare(dialog, 1);
        for (int run = 0; run < 3; ++run) {
            addRecords(station, 1, 2);
            QTest::mouseClick(dialog->Button1, Qt::LeftButton);
        }
        const QStringList stored = storedLines(station, 1);
        QCOMPARE(today(station, "-0"), stored.mid(0, 2));
        QCOMPARE(today(station, "-1"), stored.mid(2, 2));
        QCOMPARE(today(station), stored.mid(4));
        QCOMPARE(QDir(QStringLiteral("DATA2")).entryList(QDir::Files).size(), 3);
        delete dialog;
    }

    // The eleventh run of the day: every earlier copy stays, the last run's file becomes "-10".
    void eleventhRunKeepsEveryCopy() {
        SimStation station(1);
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        const QString base = todayBase('B');
        station.writeFile(base + QStringLiteral(".TXT"), "today's\r\n");
        for (int k = 0; k <= 9; ++k)
            station.writeFile(base + QStringLiteral("-%1.TXT").arg(k), QByteArray::number(k));
        addRecords(station, 1, 1);
        delete run(station, 1);
        for (int k = 0; k <= 9; ++k)
            QCOMPARE(station.readFile(base + QStringLiteral("-%1.TXT").arg(k)), QByteArray::number(k));
        QCOMPARE(station.readFile(base + QStringLiteral("-10.TXT")), QByteArray("today's\r\n"));
        QCOMPARE(today(station), storedLines(station, 1));
    }

    // Today's file cannot be moved aside: the job ends before it truncates it.
    void failedRotationKeepsTodaysFile() {
        SimStation station(1);
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        const QString base = todayBase('B');
        station.writeFile(base + QStringLiteral(".TXT"), "today's\r\n");
        station.writeFile(base + QStringLiteral("-0.TXT"), "copy");
        // The next copy's name is held by a folder.
        QVERIFY(QDir().mkpath(base + QStringLiteral("-1.TXT/held")));
        addRecords(station, 1, 1);
        QPointer<TBatch> dialog = run(station, 1);
        QCOMPARE(station.readFile(base + QStringLiteral(".TXT")), QByteArray("today's\r\n"));
        QCOMPARE(station.readFile(base + QStringLiteral("-0.TXT")), QByteArray("copy"));
        QCOMPARE(station.boxes.boxes.size(), 1);
        const QString text = station.boxes.boxes.first().text;
        QVERIFY2(text.contains(QStringLiteral("-1.TXT")) &&
                     text.contains(QString::fromLocal8Bit(strerror(EEXIST))),
                 qPrintable(text));
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
        QTest::newRow("no output folder")
            << false << 0 << -1 << QStringList{"자료를 출력할 디렉토리가 없습니다"} << "" << QStringList{};
        QTest::newRow("nothing to fetch, all readers")
            << true << 0 << -1 << QStringList{} << " 수집건수가 없습니다!" << QStringList{"A0", "C4"};
        QTest::newRow("nothing to fetch, one reader")
            << true << 1 << -1 << QStringList{} << " 수집건수가 없습니다!" << QStringList{"C4"};
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
        const QString today = todayBase('B') + QStringLiteral(".TXT");
        if (folder) QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        if (folder) station.writeFile(today, "earlier run\r\n");
        if (fault >= 0) {
            sim::Fault f = sim::Fault::silent();
            f.kind = sim::Fault::Kind(fault);
            station.line.withReader(1, [&](sim::Reader& r) {
                r.addRecords(2);
                r.addFault(f.on("C4"));
            });
        }
        QPointer<TBatch> dialog = run(station, reader, folder);
        QCOMPARE(station.boxes.texts(), boxes);
        QCOMPARE(dialog->Rich->toPlainText(), listed);
        QCOMPARE(station.commands(1), commands);
        // The earlier file was rotated away before the count, and no new one was made.
        QVERIFY(!QFile::exists(today));
        if (folder)
            QCOMPARE(station.readFile(todayBase('B') + QStringLiteral("-0.TXT")),
                     QByteArray("earlier run\r\n"));
        delete dialog;
    }

    // A sequence number that is not decimal ends the job as a conversion error; the file is
    // closed and keeps what was written.
    void badSequenceDigitsEndTheJob() {
        SimStation station(1);
        station.line.withReader(1, [](sim::Reader& r) {
            r.addRecords(2);
            sim::RecordBytes bad = r.records().back();
            bad[2] = 0x0A;
            r.addRecordBytes(bad);
            r.addRecords(2);
        });
        QPointer<TBatch> dialog = run(station, 1);
        const QStringList lines = today(station);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.last(), QStringLiteral("01-00000: 2004 03 15 08 01 00 2 0000010002"));
        QCOMPARE(station.boxes.texts(), QStringList{QStringLiteral("'00000:' is not a valid integer value")});
        QCOMPARE(openDescriptorsOf(todayBase('B') + QStringLiteral(".TXT")), 0);
        QVERIFY(dialog->Button1->isEnabled());
        delete dialog;
    }
};

int runBatchTests(int argc, char** argv) {
    BatchTest test;
    return runGroup(test, argc, argv);
}

#include "BatchTest.moc"
