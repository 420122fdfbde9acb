// The on-line upload dialog end to end against simulated readers, and the kill test: a run
// killed outright loses no record that it had listed.
#include "FOnline.h"
#include "ReaderPanel.h"
#include "Screenshots.h"
#include "SimStation.h"
#include "UploadTests.h"
#include "UploadWidgets.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <QtTest>

namespace {
QString todaysFile() {
    return todayBase('A') + QStringLiteral(".TXT");
}

int count(const QStringList& list, const char* text) {
    return int(list.count(QString::fromLatin1(text)));
}

// Screen line " 01-000123   0000012345   1   2004-03-15 08:59:30" as its file line.
QString fileLineOfListed(const QString& listed) {
    static const QRegularExpression pattern(QStringLiteral(
        "^ (\\d\\d-\\d{6})   (\\d{10})   (.)   (\\d{4})-(\\d\\d)-(\\d\\d) (\\d\\d):(\\d\\d):(\\d\\d)$"));
    const QRegularExpressionMatch m = pattern.match(listed);
    if (!m.hasMatch()) return QStringLiteral("unreadable: ") + listed;
    return QStringList{m.captured(1), m.captured(4), m.captured(5), m.captured(6), m.captured(7),
                       m.captured(8), m.captured(9), m.captured(3), m.captured(2)}
        .join(QLatin1Char(' '));
}
} // namespace

class OnlineTest : public QObject {
    Q_OBJECT

    static QPointer<TOnline> open(SimStation& station, int reader = 0) {
        QPointer<TOnline> dialog = new TOnline(station.link, station.Comm);
        dialog->show();
        if (reader == 0)
            dialog->panel->RadioGroup1Click(1);
        else
            dialog->panel->TSBAR->setValue(reader);
        return dialog;
    }
    static void run(const QPointer<TOnline>& dialog) { QTest::mouseClick(dialog->Button1, Qt::LeftButton); }
    static QStringList fileLines(const SimStation& station) {
        return crlfLines(station.readFile(todaysFile()));
    }

private slots:
    void init() { QDir::setCurrent(QDir::tempPath()); }

    void collectsPunchesAsTheyCome() {
        SimStation station(3);
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        station.writeFile(todaysFile(), "earlier\r\n");
        QList<sim::RecordBytes> punched;
        for (int id : {1, 3, 1, 2})
            punched << station.line.withReader(
                id, [id](sim::Reader& r) { return r.punchNow(quint64(id) * 1000 + 7); });
        QStringList expected{QStringLiteral("earlier")};
        // Each reader hands over one punch a visit, so the first cycle brings 01, 02, 03, the second 01.
        expected << expectedFileLine(1, punched[0]) << expectedFileLine(2, punched[3])
                 << expectedFileLine(3, punched[1]) << expectedFileLine(1, punched[2]);
        QPointer<TOnline> dialog = open(station);
        QCOMPARE(dialog->indicatorColour(), QColor(Qt::red));
        QColor whileRunning;
        pressWhen(
            [&] {
                whileRunning = dialog->indicatorColour();
                return fileLines(station).size() == 5 && station.commands(1).size() >= 4;
            },
            dialog->Button2);
        run(dialog);
        QTRY_VERIFY(dialog.isNull());
        QCOMPARE(whileRunning, QColor(Qt::white));
        QCOMPARE(fileLines(station), expected);
        QVERIFY(station.boxes.boxes.isEmpty());
        const QStringList polls = station.commands(1);
        QCOMPARE(polls.size(), count(polls, "C5"));
        QVERIFY(station.Comm.isOpen());
    }

    void listAndPanels() {
        SimStation station(2);
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        station.line.withReader(1, [](sim::Reader& r) {
            r.skipSequence(40);
            r.punch(sim::Punch::generated(1, 123));
        });
        station.line.withReader(2, [](sim::Reader& r) { r.punch(sim::Punch::generated(2, 9)); });
        QPointer<TOnline> dialog = open(station);
        QStringList listed;
        QPlainTextEdit* rich = dialog->Rich;
        pressWhen(
            [&] {
                listed = rich->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
                if (listed.size() < 2) return false;
                saveScreenshot(dialog, QStringLiteral("online"));
                return true;
            },
            dialog->Button2);
        run(dialog);
        QCOMPARE(listed, QStringList({" 01-000041   0000010123   3   2004-03-15 10:02:00",
                                      " 02-000001   0000020009   1   2004-03-15 08:08:00"}));
        QTRY_VERIFY(dialog.isNull());
    }

    void sameRecordOfferedTwiceIsWrittenOnce() {
        SimStation station(1);
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        sim::RecordBytes first, second;
        station.line.withReader(1, [&](sim::Reader& r) {
            first = r.punchNow(11);
            second = r.punchNow(12);
            r.addFault(sim::Fault::reoffer().on("C5").once());
        });
        QPointer<TOnline> dialog = open(station, 1);
        pressWhen([&] { return count(station.commands(1), "C5") >= 5; }, dialog->Button2);
        run(dialog);
        QCOMPARE(fileLines(station), QStringList({expectedFileLine(1, first), expectedFileLine(1, second)}));
        QVERIFY(station.boxes.boxes.isEmpty());
    }

    void firstRecordNumberedZeroIsTaken() {
        SimStation station(1);
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        QList<sim::RecordBytes> punched;
        station.line.withReader(1, [&](sim::Reader& r) {
            r.skipSequence(999999);
            punched << r.punchNow(21) << r.punchNow(22);
        });
        QCOMPARE(sim::recordSeq(punched[0]), 0u);
        QPointer<TOnline> dialog = open(station, 1);
        pressWhen([&] { return count(station.commands(1), "C5") >= 4; }, dialog->Button2);
        run(dialog);
        QCOMPARE(fileLines(station),
                 QStringList({expectedFileLine(1, punched[0]), expectedFileLine(1, punched[1])}));
        QVERIFY(station.boxes.boxes.isEmpty());
    }

    void gapIsReportedAndTheRecordKept() {
        SimStation station(1);
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        QList<sim::RecordBytes> punched;
        station.line.withReader(1, [&](sim::Reader& r) {
            r.skipSequence(4);
            punched << r.punchNow(31);
            r.skipSequence(1);
            punched << r.punchNow(32);
        });
        QCOMPARE(sim::recordSeq(punched[1]), 7u);
        QPointer<TOnline> dialog = open(station, 1);
        pressWhen([&] { return count(station.commands(1), "C5") >= 4; }, dialog->Button2);
        run(dialog);
        QCOMPARE(station.boxes.texts(), QStringList{QStringLiteral("01번리더 000006카운트 누락")});
        QCOMPARE(station.boxes.boxes.first().caption, QStringLiteral("에러"));
        QCOMPARE(fileLines(station),
                 QStringList({expectedFileLine(1, punched[0]), expectedFileLine(1, punched[1])}));
    }

    void badAnswerIsAskedAgain_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("value");
        QTest::newRow("bad checksum") << int(sim::Fault::Kind::BadChecksum) << 0;
        QTest::newRow("cut short") << int(sim::Fault::Kind::Truncate) << 9;
    }
    void badAnswerIsAskedAgain() {
        QFETCH(int, kind);
        QFETCH(int, value);
        SimStation station(1);
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        sim::RecordBytes punched;
        sim::Fault fault = sim::Fault::badChecksum();
        fault.kind = sim::Fault::Kind(kind);
        fault.value = value;
        station.line.withReader(1, [&](sim::Reader& r) {
            punched = r.punchNow(41);
            r.addFault(fault.on("C5").once());
        });
        QPointer<TOnline> dialog = open(station, 1);
        pressWhen([&] { return count(station.commands(1), "C5") >= 3; }, dialog->Button2);
        run(dialog);
        QCOMPARE(station.commands(1).mid(0, 3), QStringList({"C5", "N0", "C5"}));
        QCOMPARE(fileLines(station), QStringList{expectedFileLine(1, punched)});
    }

    // 101 polls in a row without an answer: the run ends at the start of the tenth cycle.
    void twelveSilentReadersEndTheRun() {
        SimStation station(12);
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        for (int id = 1; id <= 12; ++id)
            station.line.withReader(id, [](sim::Reader& r) { r.addFault(sim::Fault::silent()); });
        QPointer<TOnline> dialog = open(station);
        run(dialog);
        QCOMPARE(station.boxes.texts(), QStringList{QStringLiteral("현재 연결된 리더가 없습니다")});
        for (int id = 1; id <= 12; ++id) QCOMPARE(station.commands(id), QStringList(9, QStringLiteral("C5")));
        QCOMPARE(dialog->indicatorColour(), QColor(Qt::red));
        QVERIFY(!dialog->Button1->isEnabled());
        QCOMPARE(openDescriptorsOf(todaysFile()), 0);
        QVERIFY(QFile::exists(todaysFile()));
        delete dialog;
    }

    void missingFolder() {
        SimStation station(1);
        QPointer<TOnline> dialog = open(station, 1);
        run(dialog);
        QCOMPARE(station.boxes.texts(), QStringList{QStringLiteral("자료를 출력할 디렉토리가 없습니다")});
        QCOMPARE(dialog->indicatorColour(), QColor(Qt::red));
        QVERIFY(!dialog->Button1->isEnabled());
        QCOMPARE(station.commands(1), QStringList());
        delete dialog;
    }

    // The title bar's close lets polling go on; 종료 ends it and the dialog closes after.
    void titleBarCloseDoesNotStop() {
        SimStation station(1);
        QVERIFY(QDir().mkdir(QStringLiteral("DATA2")));
        QPointer<TOnline> dialog = open(station, 1);
        int pollsAtClose = -1;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            if (pollsAtClose < 0 && count(station.commands(1), "C5") >= 2) {
                pollsAtClose = count(station.commands(1), "C5");
                dialog->close();
            }
        });
        closer.start(5);
        pressWhen([&] { return pollsAtClose > 0 && count(station.commands(1), "C5") >= pollsAtClose + 3; },
                  dialog->Button2);
        run(dialog);
        QTRY_VERIFY(dialog.isNull());
        QVERIFY(count(station.commands(1), "C5") >= pollsAtClose + 3);
        QVERIFY(station.Comm.isOpen());
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
            const int id = 1 + punches % 3;
            line.withReader(id, [&](sim::Reader& r) { r.punchNow(quint64(5000 + punches)); });
            ++punches;
        });
        puncher.start(3);
        const bool enough = waitFor(
            [&] {
                while (victim.canReadLine()) listed << QString::fromLatin1(victim.readLine()).trimmed();
                return listed.size() >= 60 || victim.state() != QProcess::Running;
            },
            30000);
        puncher.stop();
        victim.kill();
        QVERIFY(victim.waitForFinished());
        QVERIFY(enough);
        QCOMPARE(victim.exitStatus(), QProcess::CrashExit);
        while (victim.canReadLine()) listed << QString::fromLatin1(victim.readLine()).trimmed();
        // Bring the listed text back to the screen's form (trimmed() took the leading blank).
        QStringList wanted;
        for (const QString& l : listed) wanted << fileLineOfListed(QLatin1Char(' ') + l);

        QFile file(dir.filePath(QStringLiteral("DATA2/") + QFileInfo(todaysFile()).fileName()));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList written = crlfLines(file.readAll());
        QVERIFY2(written.size() >= wanted.size(),
                 qPrintable(QStringLiteral("%1 written, %2 listed").arg(written.size()).arg(wanted.size())));
        // Everything listed is in the file, in the same order, and nothing is written twice.
        QCOMPARE(written.mid(0, wanted.size()), wanted);
        QCOMPARE(QSet<QString>(written.begin(), written.end()).size(), written.size());
        QVERIFY(written.size() <= wanted.size() + 1);
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
    ReaderLink link(comm, LinkEnv{[](bool waitForMore) {
                                      QCoreApplication::processEvents(waitForMore
                                                                          ? QEventLoop::WaitForMoreEvents
                                                                          : QEventLoop::AllEvents);
                                  },
                                  [](int ms) { QThread::msleep(ulong(ms)); }});
    link.ReaderCount = readers;
    ScriptedPrompts boxes;
    auto* dialog = new TOnline(link, comm);
    dialog->panel->RadioGroup1Click(1);
    QFile out;
    out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
    int printed = 0;
    QObject::connect(dialog->Rich, &QPlainTextEdit::textChanged, [&] {
        const QStringList lines = dialog->Rich->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (; printed < lines.size(); ++printed) out.write(lines.at(printed).toLatin1() + '\n');
    });
    dialog->Button1Click();
    return 0;
}

#include "OnlineTest.moc"
