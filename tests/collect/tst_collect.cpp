// The unattended collector against simulated readers on the line model: what it collects, how it
// goes on when the line or the day changes, its scheduled jobs, its end on a signal, and a port
// that another program holds.
#include "CollectOptions.h"
#include "CollectState.h"
#include "Collector.h"
#include "ConfigFile.h"
#include "PunchRecord.h"
#include "ReaderClock.h"
#include "ReaderSim.h"
#include "SimStation.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {
QStringList lines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    if (!bytes.isEmpty() && !bytes.endsWith("\r\n")) return {QStringLiteral("<a line cut off>")};
    QStringList out;
    for (const QByteArray& line : bytes.split('\n'))
        if (!line.isEmpty()) out << QString::fromLatin1(line.chopped(1));
    return out;
}

QString onlineFile(const QDate& day) {
    return QStringLiteral("DATA2/A") + day.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".TXT");
}

// The line's settings as QRX.CFG holds them: COM2, the speed's index, none, 8, 1, readers.
QByteArray configBytes(int speedIndex, int readers) {
    QByteArray bytes = QByteArray::fromHex("010000010000");
    bytes[1] = char(speedIndex);
    bytes[5] = char(readers);
    return bytes;
}

// A working directory with QRX.CFG and simulated readers linked as COM2, and a collector run in
// this process on a clock the test may move.
class CollectStation {
public:
    explicit CollectStation(int readers, int speedIndex = 3) : oldCwd_(QDir::currentPath()) {
        QDir::setCurrent(dir.path());
        QFile config(QStringLiteral("QRX.CFG"));
        if (config.open(QIODevice::WriteOnly)) config.write(configBytes(speedIndex, readers));
        config.close();
        line = std::make_unique<sim::SimLine>(readers);
        line->makeLink("COM2");
        options.workDir = dir.path();
    }
    ~CollectStation() {
        line.reset();
        QDir::setCurrent(oldCwd_);
    }

    // Runs the collector until `until` holds (asked between exchanges) or a minute has passed.
    void run(const std::function<bool()>& until) {
        const LineSettings settings = decodeConfig(readConfigFile(QStringLiteral("QRX.CFG")));
        QDeadlineTimer deadline(60000);
        Collector collector(options, settings,
                            CollectorEnv{[this] { return now(); },
                                         [&] {
                                             if (deadline.hasExpired()) timedOut = true;
                                             return timedOut || until();
                                         },
                                         CollectLog([this](const QString& l) { log << l; })});
        QCOMPARE(collector.run(), 0);
        QVERIFY2(!timedOut, qPrintable(log.join('\n')));
    }
    QDateTime now() const { return QDateTime::currentDateTime().addMSecs(offsetMs); }
    // Moves the collector's clock to `at` (it runs on from there).
    void setClock(const QDateTime& at) { offsetMs = QDateTime::currentDateTime().msecsTo(at); }
    int frames(int id) const { return int(line->frames(id).size()); }
    QStringList commands(int id) const {
        QStringList out;
        for (const sim::LineEvent& e : line->frames(id)) out << QString::fromStdString(e.code);
        return out;
    }
    sim::RecordBytes punch(int id) {
        return line->withReader(
            id, [id](sim::Reader& r) { return r.punchNow(quint64(id) * 1000 + r.nextSequence()); });
    }
    QStringList today() const { return lines(onlineFile(now().date())); }

    QTemporaryDir dir;
    std::unique_ptr<sim::SimLine> line;
    CollectOptions options;
    QStringList log;
    qint64 offsetMs = 0;
    bool timedOut = false;

private:
    QString oldCwd_;
};
} // namespace

class CollectTest : public QObject {
    Q_OBJECT

private slots:
    void options_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("batchAt");
        QTest::newRow("none") << QStringList() << QString() << QString();
        QTest::newRow("batch at") << QStringList{"--batch-at", "07:05"} << QString() << "07:05";
        QTest::newRow("hour 24") << QStringList{"--batch-at", "24:00"}
                                 << "--batch-at takes a time of day as HH:MM, not 24:00" << QString();
        QTest::newRow("one digit") << QStringList{"--set-clocks-at", "7:05"}
                                   << "--set-clocks-at takes a time of day as HH:MM, not 7:05" << QString();
        QTest::newRow("no value") << QStringList{"--workdir"} << "--workdir needs a value" << QString();
        QTest::newRow("unknown") << QStringList{"--daemon"} << "unknown option: --daemon" << QString();
    }
    void options() {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        QFETCH(QString, batchAt);
        CollectOptions o;
        QCOMPARE(parseCollectOptions(args, QStringLiteral("/home/clerk/qrx"), o), error);
        if (!error.isEmpty()) return;
        QCOMPARE(o.workDir, QStringLiteral("/home/clerk/qrx"));
        QCOMPARE(o.batchAt ? o.batchAt->text() : QString(), batchAt);
    }

    void dailyTimes_data() {
        QTest::addColumn<QDateTime>("previous");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<bool>("due");
        const QDate d(2026, 12, 9);
        QTest::newRow("reached") << QDateTime(d, QTime(13, 59, 59)) << QDateTime(d, QTime(14, 0)) << true;
        QTest::newRow("not yet") << QDateTime(d, QTime(13, 58)) << QDateTime(d, QTime(13, 59, 59)) << false;
        QTest::newRow("passed before") << QDateTime(d, QTime(14, 0)) << QDateTime(d, QTime(14, 1)) << false;
        QTest::newRow("over midnight")
            << QDateTime(d, QTime(13, 0)) << QDateTime(d.addDays(1), QTime(15, 0)) << true;
    }
    void dailyTimes() {
        QFETCH(QDateTime, previous);
        QFETCH(QDateTime, now);
        QFETCH(bool, due);
        QCOMPARE(parseDailyTime(QStringLiteral("14:00"))->passedBetween(previous, now), due);
    }

    // Every punch is in the day's file once, in the order the readers handed them out, at slow
    // and fast speeds with the adapter's bursts; the state file tells what was collected.
    void collectsEveryPunchOnce_data() {
        QTest::addColumn<int>("speedIndex");
        QTest::newRow("1200") << 0;
        QTest::newRow("9600") << 3;
    }
    void collectsEveryPunchOnce() {
        QFETCH(int, speedIndex);
        CollectStation station(3, speedIndex);
        for (int round = 0; round < 2; ++round)
            for (int id = 1; id <= 3; ++id) station.punch(id);
        bool punchedMore = false;
        int framesAtEnd = -1;
        station.run([&] {
            const QStringList got = station.today();
            if (got.size() == 6 && !punchedMore) {
                for (int id : {2, 3, 1}) station.punch(id);
                punchedMore = true;
            }
            if (got.size() == 9 && framesAtEnd < 0) framesAtEnd = station.frames(3);
            // Two more visits of the last reader: nothing more is written.
            return framesAtEnd >= 0 && station.frames(3) >= framesAtEnd + 2;
        });
        for (int id = 1; id <= 3; ++id) {
            const auto records = station.line->withReader(id, [](sim::Reader& r) { return r.onlineQueue(); });
            QVERIFY(records.empty());
        }
        const QStringList got = station.today();
        QCOMPARE(got.size(), 9);
        QCOMPARE(QSet<QString>(got.begin(), got.end()).size(), 9);
        for (int id = 1; id <= 3; ++id) {
            const QStringList mine = got.filter(QRegularExpression(QStringLiteral("^0%1-").arg(id)));
            QCOMPARE(mine.size(), 3);
            QVERIFY(mine[0] < mine[1] && mine[1] < mine[2]);
        }
        QVERIFY(
            station.log.contains(QStringLiteral("port COM2 open (%1)").arg(station.dir.filePath("COM2"))));
        bool found = false;
        const QString status = statusReport(station.dir.path(), found);
        QVERIFY(found);
        QVERIFY2(status.contains(QStringLiteral("not running")), qPrintable(status));
        QVERIFY2(status.contains(QStringLiteral("reader 02: last heard ")) &&
                     status.contains(QStringLiteral("3 records today, last sequence 000003")),
                 qPrintable(status));
    }

    // A record a reader handed out just before an earlier run died (the answer came, the file
    // line was never written, the ledger left the reader owed) is asked for again first: written
    // when the files do not hold it, dropped when they do.
    void recoversTheRecordInFlight_data() {
        QTest::addColumn<bool>("alreadyWritten");
        QTest::newRow("lost with the host") << false;
        QTest::newRow("written before the host went") << true;
    }
    void recoversTheRecordInFlight() {
        QFETCH(bool, alreadyWritten);
        CollectStation station(1);
        const sim::RecordBytes inFlight = station.punch(1);
        const sim::RecordBytes next = station.punch(1);
        std::string note;
        station.line->withReader(1, [&](sim::Reader& r) {
            return r.take(sim::Frame{1, "C5", {}}, false, note);
        });
        QDir().mkdir(QStringLiteral("DATA2"));
        OwedLedger left;
        left.attach(QString::fromLatin1(OwedLedger::kFileName), false);
        left.markOwed(1, 'A');
        if (alreadyWritten) {
            QFile file(onlineFile(QDate::currentDate()));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(fileLine(1, inFlight).toLatin1() + "\r\n");
        }
        station.run([&] { return station.today().size() >= 2 && station.frames(1) >= 6; });
        QCOMPARE(station.commands(1).first(), QStringLiteral("N0"));
        QCOMPARE(station.today(), QStringList({fileLine(1, inFlight), fileLine(1, next)}));
    }

    // The line goes (an adapter pulled: the pseudo-terminal closes) and comes back under the same
    // name, the readers holding what they held: the collector says so, opens it again by itself
    // and goes on; every punch is in the file once. The readers' last answers may be records the
    // file holds already; those repeats are dropped.
    void reconnectsWhenTheLineIsBack() {
        CollectStation station(2, 0);
        QStringList want;
        for (int id : {1, 2, 1, 2}) want << fileLine(id, station.punch(id));
        std::vector<sim::ReaderMemory> memory;
        int losses = 0;
        station.run([&] {
            const int got = int(station.today().size());
            if (losses == 0 && got >= 2) {
                memory = station.line->withReaders([](std::vector<sim::Reader>& readers) {
                    std::vector<sim::ReaderMemory> kept;
                    for (const sim::Reader& r : readers) kept.push_back(r.memory());
                    return kept;
                });
                station.line.reset();
                ++losses;
            } else if (losses == 1 && !station.line &&
                       station.log.filter(QStringLiteral("lost")).size() == 1) {
                station.line = std::make_unique<sim::SimLine>(2);
                station.line->withReaders([&](std::vector<sim::Reader>& readers) {
                    for (std::size_t i = 0; i < readers.size(); ++i) readers[i].restore(memory[i]);
                });
                station.line->makeLink("COM2");
                for (int id : {2, 1}) want << fileLine(id, station.punch(id));
            }
            return station.line && got >= 6;
        });
        QVERIFY(station.log.filter(QStringLiteral("port COM2 lost: ")).size() == 1);
        QVERIFY(!station.log.filter(QRegularExpression(QStringLiteral("^port COM2 open .* again after")))
                     .isEmpty());
        QStringList got = station.today();
        got.sort();
        want.sort();
        QCOMPARE(got, want);
    }

    // The disk fills in the middle of a run: the error is logged once, the record that did not
    // reach the disk stays in its reader, and once there is room again every punch is in the
    // file once, in order.
    void diskFullForAWhile() {
        CollectStation station(1);
        // The size limit that plays the full disk would refuse the ledger's writes in place too,
        // which a full disk does not: the day's file begins longer than the ledger. The ledger
        // is there from before: the reader owes nothing.
        QStringList want;
        OwedLedger().attach(QString::fromLatin1(OwedLedger::kFileName), false);
        QDir().mkdir(QStringLiteral("DATA2"));
        QFile earlier(onlineFile(QDate::currentDate()));
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        for (int i = 1; i <= 20; ++i) {
            want << QStringLiteral("09-%1 2004 03 15 08 59 30 1 0000012345").arg(i, 6, 10, QLatin1Char('0'));
            earlier.write(want.last().toLatin1() + "\r\n");
        }
        earlier.close();
        for (int i = 0; i < 4; ++i) want << fileLine(1, station.punch(1));
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, SIG_IGN);
        bool full = false;
        station.run([&] {
            if (!full && station.today().size() == 21) {
                rlimit limit = old;
                limit.rlim_cur = rlim_t(QFileInfo(onlineFile(QDate::currentDate())).size() + 10);
                setrlimit(RLIMIT_FSIZE, &limit);
                full = true;
            }
            if (full && !station.log.filter(QStringLiteral("File too large")).isEmpty())
                setrlimit(RLIMIT_FSIZE, &old);
            return station.today().size() >= 24 && station.frames(1) >= 12;
        });
        setrlimit(RLIMIT_FSIZE, &old);
        QCOMPARE(station.log.filter(QStringLiteral("File too large")).size(), 1);
        QCOMPARE(station.today(), want);
    }

    // Midnight: the next record goes into the new day's file; a repeat of the last record of the
    // day before is still recognised.
    void newFileAtMidnight() {
        CollectStation station(2);
        const QDate day(2026, 12, 31);
        station.setClock(QDateTime(day, QTime(23, 59, 50)));
        const sim::RecordBytes before = station.punch(1);
        QList<sim::RecordBytes> after;
        station.run([&] {
            if (after.isEmpty() && lines(onlineFile(day)).size() == 1) {
                station.setClock(QDateTime(day.addDays(1), QTime(0, 0, 5)));
                after << station.punch(2) << station.punch(1);
            }
            return lines(onlineFile(day.addDays(1))).size() >= 2;
        });
        QCOMPARE(lines(onlineFile(day)), QStringList{fileLine(1, before)});
        QStringList next = lines(onlineFile(day.addDays(1)));
        next.sort();
        QCOMPARE(next, QStringList({fileLine(1, after[1]), fileLine(2, after[0])}));
        QVERIFY(station.log.contains(QStringLiteral("a new day: writing to ./DATA2/A20270101.TXT")));
    }

    // At their time of day the clocks are set and the batch upload runs; the on-line loop goes on
    // after them.
    void scheduledJobs() {
        CollectStation station(2);
        const QDate day(2026, 12, 9);
        station.options.clocksAt = parseDailyTime(QStringLiteral("14:00"));
        station.options.batchAt = parseDailyTime(QStringLiteral("14:00"));
        station.setClock(QDateTime(day, QTime(13, 59, 58)));
        std::vector<sim::RecordBytes> stored[3];
        for (int id = 1; id <= 2; ++id)
            stored[id] = station.line->withReader(id, [](sim::Reader& r) {
                r.addRecords(3);
                return r.records();
            });
        sim::RecordBytes later{};
        bool punched = false;
        station.run([&] {
            if (!punched && QFile::exists(QStringLiteral("DATA2/B20261209.TXT"))) {
                later = station.punch(2);
                punched = true;
            }
            return punched && !station.log.filter(QStringLiteral("batch upload done: ")).isEmpty() &&
                   station.today().size() + lines(QStringLiteral("DATA2/B20261209.TXT")).size() == 7;
        });
        QStringList batch;
        for (int id = 1; id <= 2; ++id)
            for (const sim::RecordBytes& r : stored[id]) batch << fileLine(id, r);
        // The punch made during the batch comes in reader 2's pass, or on line after it.
        const QStringList batchFile = lines(QStringLiteral("DATA2/B20261209.TXT"));
        QCOMPARE(batchFile.mid(0, 6), batch);
        QCOMPARE(batchFile.mid(6) + station.today(), QStringList{fileLine(2, later)});
        for (int id = 1; id <= 2; ++id) {
            const sim::ClockBlock clock =
                station.line->withReader(id, [](sim::Reader& r) { return r.clock(); });
            // 2026-12-09 is a Wednesday; the seconds are whatever the clock read then.
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(clock.data()), 7).toHex(),
                     QByteArray("20261209031400"));
        }
        QCOMPARE(station.log.filter(QStringLiteral("batch upload done: ")).size(), 1);
    }

    // The daily erase on punching readers: each reader's records that no file holds are stored
    // first, then it is erased; the receipt is in the file, the log and the status; what the
    // readers made is on the disk or still in them.
    void erasesOnSchedule() {
        CollectStation station(2);
        station.options.eraseAt = {*parseDailyTime(QStringLiteral("14:00"))};
        station.setClock(QDateTime(QDate(2026, 12, 9), QTime(13, 59, 58)));
        QStringList made;
        station.line->withReader(1, [](sim::Reader& r) { r.setBatchCopies(sim::BatchCopies::Whole); });
        for (int id = 1; id <= 2; ++id)
            for (const sim::RecordBytes& r :
                 station.line->withReader(id, [](sim::Reader& x) {
                     x.addRecords(3);
                     return x.records();
                 }))
                made << fileLine(id, r);
        int step = 0;
        station.run([&] {
            if (++step % 20 == 0) made << fileLine(step / 20 % 2 + 1, station.punch(step / 20 % 2 + 1));
            return station.log.filter(QStringLiteral("번리더 삭제 ")).size() == 2 && step > 400;
        });
        QStringList onDisk = station.today() + lines(QStringLiteral("DATA2/B20261209.TXT"));
        for (int id = 1; id <= 2; ++id)
            station.line->withReader(id, [&](sim::Reader& r) {
                for (const sim::RecordBytes& x : r.records()) onDisk << fileLine(id, x);
                for (const sim::RecordBytes& x : r.onlineQueue()) onDisk << fileLine(id, x);
            });
        for (const QString& line : made) QVERIFY2(onDisk.contains(line), qPrintable(line));
        QFile receipts(QStringLiteral("DATA2/ERASED.TXT"));
        QVERIFY(receipts.open(QIODevice::ReadOnly));
        QCOMPARE(receipts.readAll().count("\r\n"), 2);
        bool found = false;
        QVERIFY(statusReport(station.dir.path(), found).contains(QStringLiteral("last erase: 2026-12-09 14:00")));
    }

    // Another program holds the port: the collector says so, naming the port, and tries again;
    // the clerk's program is told in Korean.
    void portHeldByAnotherProgram() {
        CollectStation station(1);
        TComm other;
        other.setDeviceName("COM2");
        other.Open();
        int polls = 0;
        station.run([&] { return ++polls > 40; });
        QCOMPARE(station.log.filter(QStringLiteral("in use")).size(), 1);
        QVERIFY(station.log.filter(QStringLiteral("in use"))
                    .first()
                    .startsWith(QStringLiteral("port COM2 is in use by another program")));
        QCOMPARE(station.frames(1), 0);

        TComm clerk;
        clerk.setDeviceName("COM2");
        try {
            openLine(clerk);
            QFAIL("opened a port held by another program");
        } catch (const LineBusy& e) {
            QVERIFY(QString::fromUtf8(e.what()).startsWith(
                QStringLiteral("통신포트(COM2)를 다른 프로그램이 사용하고")));
        }
    }

    // SIGTERM in the middle of a run: the collector ends after the exchange under way, the file
    // holds whole lines, every punch once, and the exit code is 0.
    void endsOnSigterm() {
        CollectStation station(2);
        for (int i = 0; i < 3; ++i)
            for (int id = 1; id <= 2; ++id) station.punch(id);
        QProcess collector;
        collector.setProcessChannelMode(QProcess::SeparateChannels);
        collector.start(QStringLiteral(QRX_COLLECT_PATH), {QStringLiteral("--workdir"), station.dir.path()});
        QVERIFY(collector.waitForStarted());
        QVERIFY(waitFor([&] { return station.today().size() >= 3; }, 30000));
        collector.terminate();
        QVERIFY(collector.waitForFinished(10000));
        QCOMPARE(collector.exitStatus(), QProcess::NormalExit);
        QCOMPARE(collector.exitCode(), 0);
        const QString log = QString::fromUtf8(collector.readAllStandardError());
        QVERIFY2(log.trimmed().endsWith(QStringLiteral("stopped")), qPrintable(log));
        const QStringList got = station.today();
        QCOMPARE(QSet<QString>(got.begin(), got.end()).size(), got.size());
        QVERIFY(got.size() >= 3);
    }
};

QTEST_GUILESS_MAIN(CollectTest)
#include "tst_collect.moc"
