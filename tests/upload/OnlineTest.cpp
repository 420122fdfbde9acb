// The on-line upload dialog end to end against simulated readers, and the kill test: a run
// killed outright loses no record that it had listed.
#include "FCOMCHK.h"
#include "FOnline.h"
#include "OnlineSession.h"
#include "ReaderPanel.h"
#include "RecordExchange.h"
#include "Screenshots.h"
#include "ScriptedPrompts.h"
#include "SimStation.h"
#include "UploadFiles.h"
#include "UploadTests.h"
#include "UploadWidgets.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {
QString todaysFile() {
    return todayBase('A') + QStringLiteral(".TXT");
}

QStringList fileLines(const SimStation& station) {
    return crlfLines(station.readFile(todaysFile()));
}

// The day's on-line file, then what a batch pass of a reader stored in the day's batch file.
QStringList fileAndPassLines(const SimStation& station) {
    return fileLines(station) + crlfLines(station.readFile(todayBase('B') + QStringLiteral(".TXT")));
}

int polls(const SimStation& station, int reader = 1) {
    return int(station.commands(reader).count(QStringLiteral("C5")));
}

// A dialog on the station with one reader chosen (all readers for 0), run until stop holds.
QPointer<TOnline> runUntil(SimStation& station, int reader, const std::function<bool()>& stop) {
    QPointer<TOnline> dialog = new TOnline(station.link, station.Comm);
    prepare(dialog, reader);
    if (stop) pressWhen(stop, dialog->Button2);
    QTest::mouseClick(dialog->Button1, Qt::LeftButton);
    return dialog;
}
} // namespace

class OnlineTest : public QObject {
    Q_OBJECT

private slots:
    void init() { QDir::setCurrent(QDir::tempPath()); }

    // Appended to the day's file in polling order; the port is open again after the close.
    void collectsPunchesAsTheyCome() {
        SimStation station(3);
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        station.writeFile(todaysFile(), "earlier\r\n");
        QList<sim::RecordBytes> punched;
        for (int id : {1, 3, 1, 2})
            punched << station.line.withReader(
                id, [id](sim::Reader& r) { return r.punchNow(quint64(id) * 1000 + 7); });
        QPointer<TOnline> dialog = new TOnline(station.link, station.Comm);
        prepare(dialog, 0);
        QCOMPARE(dialog->indicatorColour(), QColor(Qt::red));
        QColor whileRunning;
        pressWhen(
            [&] {
                whileRunning = dialog->indicatorColour();
                if (fileLines(station).size() < 5 || station.commands(1).size() < 4) return false;
                saveScreenshot(dialog, QStringLiteral("online"));
                return true;
            },
            dialog->Button2);
        QTest::mouseClick(dialog->Button1, Qt::LeftButton);
        QTRY_VERIFY(dialog.isNull());
        QCOMPARE(whileRunning, QColor(Qt::white));
        // One punch a reader a visit: the first cycle brings 01, 02, 03, the second 01.
        QCOMPARE(fileLines(station), QStringList({"earlier", fileLine(1, punched[0]), fileLine(2, punched[3]),
                                                  fileLine(3, punched[1]), fileLine(1, punched[2])}));
        QVERIFY(station.boxes.boxes.isEmpty());
        // Readers that the ledger does not hold owed are asked for their records at once.
        QCOMPARE(station.commands(1), QStringList(polls(station), QStringLiteral("C5")));
        QVERIFY(station.Comm.isOpen());
    }

    // A record offered again is written once; a gap in the sequence is reported and the record
    // after it kept.
    void eachRecordWrittenOnce_data() {
        QTest::addColumn<int>("skip");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("offered twice") << 0 << QStringList{};
        QTest::newRow("5 then 7") << 1 << QStringList{"01번리더 000006카운트 누락"};
    }
    void eachRecordWrittenOnce() {
        QFETCH(int, skip);
        QFETCH(QStringList, boxes);
        SimStation station(1);
        QStringList expected;
        station.line.withReader(1, [&](sim::Reader& r) {
            r.skipSequence(4);
            expected << fileLine(1, r.punchNow(31));
            r.skipSequence(skip);
            expected << fileLine(1, r.punchNow(32));
            if (skip == 0) r.addFault(sim::Fault::reoffer().on("C5").once());
        });
        runUntil(station, 1, [&] { return polls(station) >= 5; });
        QCOMPARE(station.boxes.texts(), boxes);
        QCOMPARE(fileLines(station), expected);
        QVERIFY(
            expected.last().startsWith(skip ? QStringLiteral("01-000007 ") : QStringLiteral("01-000006 ")));
    }

    // Repeats are known by the whole record: a reader that numbers afresh (its records deleted,
    // or replaced) has its new 000001 written, and neither that nor the wrap after 999999 is a
    // gap.
    void numberingAfreshOrWrapping_data() {
        QTest::addColumn<bool>("wrap");
        QTest::newRow("numbering afresh") << false;
        QTest::newRow("wrap after 999999") << true;
    }
    void numberingAfreshOrWrapping() {
        QFETCH(bool, wrap);
        SimStation station(1);
        QStringList expected;
        station.line.withReader(1, [&](sim::Reader& r) {
            if (wrap) r.skipSequence(999998 - 1);
            expected << fileLine(1, r.punchNow(81)) << fileLine(1, r.punchNow(82));
        });
        runUntil(station, 1, [&] { return fileLines(station).size() >= 2; });
        station.line.withReader(1, [&](sim::Reader& r) {
            if (!wrap) r.restartNumbering();
            expected << fileLine(1, r.punchNow(wrap ? 83 : 81)) << fileLine(1, r.punchNow(84));
        });
        runUntil(station, 1, [&] { return fileLines(station).size() >= 4; });
        QCOMPARE(fileLines(station), expected);
        QVERIFY(expected[2].startsWith(wrap ? QStringLiteral("01-000000 ") : QStringLiteral("01-000001 ")));
        QCOMPARE(station.boxes.texts(), QStringList());
    }

    // A record answer with one flipped bit that makes it read "C7" (nothing new) is a bad
    // answer: "N0" fetches the record, which the next "C5" would otherwise confirm unseen.
    void flippedBitReadingC7IsAskedAgain_data() { addSlowAndFastRows(); }
    void flippedBitReadingC7IsAskedAgain() {
        QFETCH(int, rate);
        SimStation station(1, -1, TBaudrate(rate));
        QStringList expected;
        station.line.withReader(1, [&](sim::Reader& r) {
            r.addFault(sim::Fault::flipBit(3, 0x02).on("C5").once());
            expected << fileLine(1, r.punchNow(91)) << fileLine(1, r.punchNow(92));
        });
        runUntil(station, 1, [&] { return polls(station) >= 4; });
        QCOMPARE(fileLines(station), expected);
    }

    // A record the reader handed out just before an earlier run ended without writing it (the
    // program was killed, leaving the reader owed in the ledger) is asked for again before
    // anything else: written once, not confirmed unseen by the first "C5".
    void runBeginsWithTheRecordInFlight() {
        SimStation station(1);
        const sim::RecordBytes inFlight =
            station.line.withReader(1, [](sim::Reader& r) { return r.punchNow(41); });
        const sim::RecordBytes next =
            station.line.withReader(1, [](sim::Reader& r) { return r.punchNow(42); });
        std::string note;
        station.line.withReader(1, [&](sim::Reader& r) {
            return r.take(sim::Frame{1, "C5", {}}, false, note);
        });
        station.link.ledger.markOwed(1, 'A');
        runUntil(station, 1, [&] { return fileLines(station).size() >= 2; });
        QCOMPARE(station.commands(1).first(), QStringLiteral("N0"));
        QCOMPARE(fileLines(station), QStringList({fileLine(1, inFlight), fileLine(1, next)}));
    }

    // Twelve readers that the ledger does not hold owed are each asked "C5" within about two
    // seconds of 실행, without a single "N0" first.
    void twelveFreshReadersAreAskedAtOnce() {
        SimStation station(12);
        QElapsedTimer clock;
        qint64 allAskedMs = -1;
        clock.start();
        runUntil(station, 0, [&] {
            for (int id = 1; id <= 12; ++id)
                if (polls(station, id) == 0) return false;
            if (allAskedMs < 0) allAskedMs = clock.elapsed();
            return true;
        });
        QVERIFY2(allAskedMs >= 0 && allAskedMs < 2000, qPrintable(QString::number(allAskedMs)));
        for (int id = 1; id <= 12; ++id) QCOMPARE(station.commands(id).first(), QStringLiteral("C5"));
    }

    // 101 polls in a row without an answer: the run ends at the start of the tenth cycle. A
    // reader that fell silent after "C5" is asked only to repeat its last answer from then on;
    // with every reader silent (a cut line) none of them is probed.
    void twelveSilentReadersEndTheRun() {
        SimStation station(12);
        for (int id = 1; id <= 12; ++id)
            station.line.withReader(id, [](sim::Reader& r) { r.addFault(sim::Fault::silent()); });
        QPointer<TOnline> dialog = runUntil(station, 0, {});
        QCOMPARE(station.boxes.texts(), QStringList{QStringLiteral("현재 연결된 리더가 없습니다")});
        // Silent after "C5", a reader is asked "N0"; silent to that three visits, it is collected by
        // a batch pass, whose "C0" goes unanswered: the next pass after 1, 3, 7 ... cycles.
        const QStringList visits =
            QStringLiteral("C5 N0 N0 N0 C0 C0 C0 N0 N0 C0 C0 C0 N0 N0 N0").split(QLatin1Char(' '));
        for (int id = 1; id <= 12; ++id) QCOMPARE(station.commands(id), visits);
        QCOMPARE(dialog->indicatorColour(), QColor(Qt::red));
        QVERIFY(!dialog->Button1->isEnabled());
        QVERIFY(QFile::exists(todaysFile()));
        QCOMPARE(openDescriptorsOf(todaysFile()), 0);
        delete dialog;
    }

    // The title bar's close lets polling go on; 종료 ends it and the dialog closes after.
    void titleBarCloseDoesNotStop() {
        SimStation station(1);
        int pollsAtClose = -1;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            if (pollsAtClose >= 0 || polls(station) < 2) return;
            pollsAtClose = polls(station);
            for (QWidget* w : QApplication::topLevelWidgets())
                if (qobject_cast<TOnline*>(w)) w->close();
        });
        closer.start(5);
        QPointer<TOnline> dialog =
            runUntil(station, 1, [&] { return pollsAtClose > 0 && polls(station) >= pollsAtClose + 3; });
        QTRY_VERIFY(dialog.isNull());
        QVERIFY(station.Comm.isOpen());
    }

    // A lost answer, then a stop before the repeat that would fetch it, then another job (the
    // status check): the record is fetched with "N0" and stored before the other job's request
    // goes to the reader, which would have made that its last answer.
    void anotherJobAfterALostAnswerWaitsForTheRecord_data() { addSlowAndFastRows(); }
    void anotherJobAfterALostAnswerWaitsForTheRecord() {
        QFETCH(int, rate);
        SimStation station(1, -1, TBaudrate(rate));
        const sim::RecordBytes punched = station.line.withReader(1, [](sim::Reader& r) {
            r.addFault(sim::Fault::loseAnswer().on("C5").once());
            return r.punchNow(51);
        });
        QPointer<TOnline> dialog = runUntil(station, 1, [&] { return polls(station) >= 1; });
        QTRY_VERIFY(dialog.isNull());
        QVERIFY(fileLines(station).isEmpty());
        {
            auto* check = new TComCheck(station.link);
            check->Button1Click();
            delete check;
        }
        QCOMPARE(station.commands(1).mid(0, 3), QStringList({"C5", "N0", "A0"}));
        QCOMPARE(fileLines(station), QStringList{fileLine(1, punched)});
        QVERIFY(!station.link.ledger.owed(1));
    }

    // A lost answer, then the cable cut for a while: silence never brings "C5" back, so the
    // record is fetched once the reader answers again — with "N0", or by a batch pass into the
    // day's batch file — and written once.
    void cutCableAfterALostAnswer_data() { addSlowAndFastRows(); }
    void cutCableAfterALostAnswer() {
        QFETCH(int, rate);
        SimStation station(1, -1, TBaudrate(rate));
        QList<sim::RecordBytes> punched;
        station.line.withReader(1, [&](sim::Reader& r) {
            r.addFault(sim::Fault::loseAnswer().on("C5").once().then(sim::Fault::silent().times(12)));
            punched << r.punchNow(61) << r.punchNow(62);
        });
        runUntil(station, 1, [&] { return fileAndPassLines(station).size() >= 2; });
        QStringList got = fileAndPassLines(station);
        got.sort();
        QCOMPARE(got, QStringList({fileLine(1, punched[0]), fileLine(1, punched[1])}));
        const QStringList commands = station.commands(1);
        QCOMPARE(commands.first(), QStringLiteral("C5"));
        QCOMPARE(commands.mid(1, 13).filter(QStringLiteral("C5")), QStringList());
    }

    // An on-line run over midnight (on the dialog's clock): each record in its own day's file.
    void runOverMidnight() {
        SimStation station(1);
        const QDate day(2026, 12, 31);
        // The clock stands where the test puts it: a slow machine does not cross midnight early.
        QDateTime now(day, QTime(23, 59, 50));
        QPointer<TOnline> dialog = new TOnline(station.link, station.Comm);
        dialog->clock->source = [&] { return now; };
        dialog->clock->sample();
        prepare(dialog, 1);
        const sim::RecordBytes before =
            station.line.withReader(1, [](sim::Reader& r) { return r.punchNow(71); });
        sim::RecordBytes after{};
        const auto lines = [&](const QDate& d) {
            return crlfLines(station.readFile(
                QStringLiteral("DATA2/A") + d.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".TXT")));
        };
        // The second punch only once a cycle has begun on the new day (its file is there): one
        // begun before midnight stores what it takes in the old day's file.
        const QString newDayFile = QStringLiteral("DATA2/A") +
                                   day.addDays(1).toString(QStringLiteral("yyyyMMdd")) +
                                   QStringLiteral(".TXT");
        pressWhen(
            [&] {
                if (now.date() == day && lines(day).size() == 1) {
                    now = QDateTime(day.addDays(1), QTime(0, 0, 5));
                    dialog->clock->sample();
                } else if (now.date() != day && after == sim::RecordBytes{} &&
                           QFile::exists(station.filePath(newDayFile))) {
                    after = station.line.withReader(1, [](sim::Reader& r) { return r.punchNow(72); });
                }
                return lines(day.addDays(1)).size() >= 1;
            },
            dialog->Button2);
        QTest::mouseClick(dialog->Button1, Qt::LeftButton);
        QTRY_VERIFY(dialog.isNull());
        QCOMPARE(lines(day), QStringList{fileLine(1, before)});
        QCOMPARE(lines(day.addDays(1)), QStringList{fileLine(1, after)});
    }

    // The adapter pulled and plugged in again during a run (the line goes and comes back under
    // the same name, the readers keeping their memory): the dialog shows the loss in its caption,
    // with no box that holds the run, opens the port again by itself and goes on; every punch
    // is in the file once.
    void ridesThroughALostLine() {
        QTemporaryDir dir;
        const QString oldCwd = QDir::currentPath();
        QDir::setCurrent(dir.path());
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        auto line = std::make_unique<sim::SimLine>(2);
        line->makeLink("COM2");
        TComm comm;
        comm.setDeviceName(dir.filePath(QStringLiteral("COM2")).toStdString());
        comm.setBaudRate(br9600);
        comm.Open();
        ReaderLink link(comm, qtLinkEnv());
        link.ReaderCount = 2;
        link.timing().follow(comm);
        link.setPortControl(
            PortControl{[&] { return comm.isOpen(); }, [&] { comm.Open(); }, [&] { comm.Close(); }});
        link.attachLedger(QString::fromLatin1(OwedLedger::kFileName), false);
        ScriptedPrompts boxes;
        QStringList want;
        const auto punch = [&](int id) {
            want << fileLine(
                id, line->withReader(id, [id](sim::Reader& r) { return r.punchNow(quint64(id) * 100); }));
        };
        punch(1);
        punch(2);
        QPointer<TOnline> dialog = new TOnline(link, comm);
        prepare(dialog, 0, false);
        const QString caption = dialog->windowTitle();
        QString captionWhileLost;
        std::vector<sim::ReaderMemory> memory;
        int stage = 0;
        const auto today = [&] {
            QFile f(QStringLiteral("DATA2/") + QFileInfo(todaysFile()).fileName());
            return f.open(QIODevice::ReadOnly) ? crlfLines(f.readAll()) : QStringList();
        };
        pressWhen(
            [&] {
                if (stage == 0 && today().size() >= 2) {
                    memory = line->withReaders([](std::vector<sim::Reader>& readers) {
                        std::vector<sim::ReaderMemory> kept;
                        for (const sim::Reader& r : readers) kept.push_back(r.memory());
                        return kept;
                    });
                    line.reset();
                    stage = 1;
                } else if (stage == 1 && dialog->windowTitle() != caption) {
                    captionWhileLost = dialog->windowTitle();
                    line = std::make_unique<sim::SimLine>(2);
                    line->withReaders([&](std::vector<sim::Reader>& readers) {
                        for (std::size_t i = 0; i < readers.size(); ++i) readers[i].restore(memory[i]);
                    });
                    line->makeLink("COM2");
                    punch(2);
                    punch(1);
                    stage = 2;
                }
                return stage == 2 && today().size() >= 4;
            },
            dialog->Button2);
        QTest::mouseClick(dialog->Button1, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(dialog.isNull(), 30000);
        QCOMPARE(captionWhileLost, caption + QStringLiteral(" - 통신끊김: 다시 연결하는 중"));
        QVERIFY2(boxes.boxes.isEmpty(), qPrintable(boxes.texts().join('\n')));
        QStringList got = today();
        got.sort();
        want.sort();
        QCOMPARE(got, want);
        comm.Close();
        line.reset();
        QDir::setCurrent(oldCwd);
    }

    void killedRunLosesNothingListed() {
        sim::SimLine line(3);
        line.setPacing(false);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("DATA2")));
        QProcess victim;
        victim.setWorkingDirectory(dir.path());
        victim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        victim.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--online-victim"), QString::fromStdString(line.devicePath()),
                      QStringLiteral("3")});
        QVERIFY(victim.waitForStarted());
        QStringList listed;
        int punches = 0;
        QTimer puncher;
        connect(&puncher, &QTimer::timeout, [&] {
            line.withReader(1 + punches % 3, [&](sim::Reader& r) { r.punchNow(quint64(5000 + punches)); });
            ++punches;
        });
        puncher.start(3);
        const auto readListed = [&] {
            while (victim.canReadLine()) listed << QString::fromLatin1(victim.readLine()).chopped(1);
        };
        const bool enough = waitFor(
            [&] {
                readListed();
                return listed.size() >= 30 || victim.state() != QProcess::Running;
            },
            30000);
        puncher.stop();
        victim.kill();
        QVERIFY(victim.waitForFinished());
        QVERIFY(enough);
        QCOMPARE(victim.exitStatus(), QProcess::CrashExit);
        readListed();
        // The list's lines in the file's form: " 01-000123   0000012345   1   2004-03-15 08:59:30".
        static const QRegularExpression screen(QStringLiteral(
            "^ (\\d\\d-\\d{6})   (\\d{10})   (.)   (\\d{4})-(\\d\\d)-(\\d\\d) (\\d\\d):(\\d\\d):(\\d\\d)$"));
        QStringList wanted;
        for (const QString& l : listed)
            wanted << QString(l).replace(screen, QStringLiteral("\\1 \\4 \\5 \\6 \\7 \\8 \\9 \\3 \\2"));

        QFile file(dir.filePath(QStringLiteral("DATA2/") + QFileInfo(todaysFile()).fileName()));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList written = crlfLines(file.readAll());
        // Everything listed is in the file, in the same order, and nothing is written twice.
        QCOMPARE(written.mid(0, wanted.size()), wanted);
        QVERIFY(written.size() <= wanted.size() + 1);
        QCOMPARE(QSet<QString>(written.begin(), written.end()).size(), written.size());
    }
};

int runOnlineTests(int argc, char** argv) {
    OnlineTest test;
    return runGroup(test, argc, argv);
}

int runOnlineVictim(const QString& device, int readers) {
    TComm comm;
    comm.setDeviceName(device.toStdString());
    comm.setBaudRate(br9600);
    comm.Open();
    ReaderLink link(comm, qtLinkEnv());
    link.ReaderCount = readers;
    // As qrx keeps it: in the working folder, so that the next start takes up where this one was
    // killed.
    link.attachLedger(QString::fromLatin1(OwedLedger::kFileName), !newestUploadFiles('A', 1).isEmpty());
    link.gate.setSettler(
        [&link](int reader) { upload::settleForOtherJob(link, reader, QDate::currentDate()); });
    ScriptedPrompts boxes;
    auto* dialog = new TOnline(link, comm);
    dialog->panel->RadioGroup1Click(1);
    // Each line straight to the pipe: through stdio, lines would wait in its buffer and be lost
    // with the process.
    QFile out;
    out.open(fileno(stdout), QIODevice::WriteOnly | QIODevice::Unbuffered);
    int printed = 0;
    QObject::connect(dialog->Rich, &QPlainTextEdit::textChanged, [&] {
        const QStringList lines = dialog->Rich->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (; printed < lines.size(); ++printed) out.write(lines.at(printed).toLatin1() + '\n');
    });
    dialog->Button1Click();
    return 0;
}

#include "OnlineTest.moc"
