// The line itself: how host writes are cut into frames, raw records, broadcasts, absent
// readers, the device link and the qrx-reader-sim command (its line timing: LineModelTest).
#include "HostPort.h"
#include "SimTests.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {

const QByteArray kA0 = QByteArray::fromHex("0221615023032F28");
const QByteArray kA0Answer = QByteArray::fromHex("02216150246303252C");
const QByteArray kA0ToReader2 = QByteArray::fromHex("0222615023032F29");
const QByteArray kA0Reader2Answer = QByteArray::fromHex("02226150246303252D");

const char kCommandLink[] = "COM7";

// Starts qrx-reader-sim in `dir` with one reader linked as kCommandLink; false when the link
// does not come.
bool startCommand(QProcess& command, const QTemporaryDir& dir, const QStringList& args) {
    command.setWorkingDirectory(dir.path());
    command.start(QRX_READER_SIM_PATH,
                  QStringList{"--readers", "1", "--punch-every", "0", "--link", kCommandLink} + args);
    if (!command.waitForStarted()) return false;
    QDeadlineTimer deadline(5000);
    while (!QFileInfo(dir.filePath(kCommandLink)).isSymLink()) {
        if (deadline.hasExpired()) return false;
        QThread::msleep(10);
    }
    return true;
}

// Collects the command's output in `out` until it shows `text`; false on time-out.
bool outputShows(QProcess& command, QByteArray& out, const QString& text) {
    QDeadlineTimer deadline(5000);
    while (!(out += command.readAllStandardOutput()).contains(text.toUtf8())) {
        if (deadline.hasExpired()) return false;
        command.waitForReadyRead(100);
    }
    return true;
}

QStringList readLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

void stopCommand(QProcess& command) {
    command.terminate();
    QVERIFY(command.waitForFinished(5000));
    QCOMPARE(command.exitStatus(), QProcess::NormalExit);
    QCOMPARE(command.exitCode(), 0);
}

} // namespace

class LineTest : public QObject, private SimBench {
    Q_OBJECT

    // Nothing came for what was sent before: the next request's answer is the first thing read.
    void expectNothingBeforeProbe() { QCOMPARE(ask(kA0, kA0Answer.size()).toHex(), kA0Answer.toHex()); }

private slots:
    void init() { startLine(4); }

    // The start of a frame whose rest never comes does not hold up the frames after it.
    void incompleteFrameDropped() {
        line_->setStaleInputMs(100);
        host_->send(kA0.left(5));
        QVERIFY(line_->waitForLineEvents(1, 2000));
        expectNothingBeforeProbe();
        QCOMPARE(line_->lineEvents()[0].kind, sim::LineEvent::Kind::Incomplete);
        QCOMPARE(toQt(line_->lineEvents()[0].raw), kA0.left(5));
    }

    // 02 23 50 <id> 00 <96 bytes> FF, in three writes: kept for reader <id>, not answered.
    void fixedAmountRecord() {
        QByteArray record = QByteArray::fromHex("0223500300");
        for (int i = 0; i < 96; ++i) record += char('0' + i % 10);
        record += char(0xFF);
        host_->send(record.left(5));
        host_->send(record.mid(5, 96));
        host_->send(record.right(1));
        expectNothingBeforeProbe();
        const auto amounts = line_->withReader(3, [](sim::Reader& r) { return r.fixedAmounts(); });
        QCOMPARE(amounts.size(), std::size_t(1));
        QCOMPARE(toQt(amounts[0]), record.mid(5, 96));
        const auto frames = line_->frames(3);
        QCOMPARE(frames.size(), std::size_t(1));
        QCOMPARE(frames[0].kind, sim::LineEvent::Kind::RawRecord);
        QCOMPARE(toQt(frames[0].raw), record);
    }

    void broadcastReachesEveryPresentReader() {
        host_->send(frame(sim::kBroadcastId, "D1", QByteArray::fromHex("000000555501000099")));
        expectNothingBeforeProbe();
        for (int id = 1; id <= 5; ++id) {
            const auto customers = line_->withReader(id, [](sim::Reader& r) { return r.customers(); });
            QCOMPARE(customers.size(), std::size_t(id <= 4 ? 1 : 0));
            QCOMPARE(line_->frames(id).size(), std::size_t(id == 1 ? 2 : id <= 4 ? 1 : 0));
        }
        QCOMPARE(line_->lineEvents()[0].kind, sim::LineEvent::Kind::Broadcast);
    }

    void absentReader() {
        const QByteArray a0To5 = QByteArray::fromHex("0225615023032F2C");
        host_->send(a0To5);
        expectNothingBeforeProbe();
        QCOMPARE(line_->lineEvents()[0].kind, sim::LineEvent::Kind::NoReader);
        line_->withReader(5, [](sim::Reader& r) { r.setPresent(true); });
        QCOMPARE(ask(a0To5, 9).toHex(), QByteArray("022561502463032620"));
        line_->withReader(1, [](sim::Reader& r) { r.setPresent(false); });
        host_->send(kA0);
        QCOMPARE(ask(kA0ToReader2, kA0Reader2Answer.size()).toHex(), kA0Reader2Answer.toHex());
    }

    void twelveReaders() {
        startLine(12);
        QCOMPARE(ask(QByteArray::fromHex("022C615023032023"), 9).toHex(), QByteArray("022c61502463032627"));
    }

    // The sim holds the line open itself, so a host that closes and reopens its port finds it alive.
    void reopenedPort() {
        host_->close();
        host_->reopen();
        QCOMPARE(ask(kA0, kA0Answer.size()).toHex(), kA0Answer.toHex());
    }

    void link() {
        QTemporaryDir dir;
        const QString name = dir.filePath("COM2");
        QVERIFY(QFile::link("/nonexistent", name));
        {
            sim::SimLine line(1);
            line.makeLink(name.toStdString());
            QCOMPARE(QFileInfo(name).symLinkTarget(), QString::fromStdString(line.devicePath()));
            HostPort host(name);
            QCOMPARE(host.ask(kA0, kA0Answer.size()).toHex(), kA0Answer.toHex());
        }
        QVERIFY(!QFileInfo(name).isSymLink());
    }

    void linkRefusesPlainFile() {
        QTemporaryDir dir;
        QFile file(dir.filePath("COM2"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("keep");
        file.close();
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, line_->makeLink(file.fileName().toStdString()));
        QVERIFY(!QFileInfo(file).isSymLink());
        QCOMPARE(QFileInfo(file).size(), 4);
    }

    void commandServesAndCleansUp() {
        QVERIFY2(QFileInfo::exists(QRX_READER_SIM_PATH), "qrx-reader-sim is not built: " QRX_READER_SIM_PATH);
        QTemporaryDir dir;
        QProcess command;
        QVERIFY(startCommand(command, dir, {"--records", "3", "--no-pacing"}));
        const QString link = dir.filePath(kCommandLink);
        QCOMPARE(HostPort(link).ask(frame(1, "C4"), 11).toHex(), QByteArray("0221635426202023032624"));
        QByteArray out;
        QVERIFY2(outputShows(command, out, "reader 01  C4  02 21 63 54 23 03 2F 2E"), out.constData());
        stopCommand(command);
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    // The line's options reach the line: each shows in the banner or in the request's log line.
    void commandLineOptions_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("shown");
        QTest::newRow("defaults") << QStringList{} << "pacing on, turnaround 3 ms, adapter 16 ms";
        QTest::newRow("timing") << QStringList{"--turnaround", "7", "--adapter-latency", "0"}
                                << "pacing on, turnaround 7 ms, adapter off";
        QTest::newRow("lose answer") << QStringList{"--lose-answer", "1"}
                                     << "A0  02 21 61 50 23 03 2F 28  "
                                        "[line: answer lost]";
        QTest::newRow("late answer") << QStringList{"--late-answer", "1", "--late-ms", "40"}
                                     << "[line: 40 ms late]";
        QTest::newRow("lose request") << QStringList{"--lose-request", "1"} << "[line: request lost]";
        QTest::newRow("stray bytes") << QStringList{"--stray-bytes", "1"}
                                     << "[line: stray bytes 00 FF 7F first]";
        QTest::newRow("flip bit") << QStringList{"--flip-bit", "1"}
                                  << " flipped]"; // "[line: bit 3 of byte 5 flipped]"
    }

    void commandLineOptions() {
        QFETCH(QStringList, args);
        QFETCH(QString, shown);
        QVERIFY2(QFileInfo::exists(QRX_READER_SIM_PATH), "qrx-reader-sim is not built: " QRX_READER_SIM_PATH);
        QTemporaryDir dir;
        QProcess command;
        QVERIFY(startCommand(command, dir, args));
        HostPort(dir.filePath(kCommandLink)).send(kA0);
        QByteArray out;
        QVERIFY2(outputShows(command, out, shown), out.constData());
        stopCommand(command);
    }

    // Killed and started again on the same state file, the readers carry on: the record waiting
    // to be confirmed, the last answer, the on-line punch, the sequence numbers and the turn of
    // the timed punches. Every punch shown is in the punch log.
    void commandKeepsMemoryAcrossKill() {
        QVERIFY2(QFileInfo::exists(QRX_READER_SIM_PATH), "qrx-reader-sim is not built: " QRX_READER_SIM_PATH);
        QTemporaryDir dir;
        const QStringList args{"--readers",   "2",       "--records",     "3",           "--punch-every", "1",
                               "--no-pacing", "--state", "readers.state", "--punch-log", "punches.log"};
        const QString link = dir.filePath(kCommandLink);
        const QByteArray secondRecord = frame(1, "C1", toQt(sim::makeRecord(2, sim::Punch::generated(1, 2))));
        QStringList punches;
        {
            QProcess command;
            QVERIFY(startCommand(command, dir, args));
            HostPort host(link);
            host.ask(frame(1, "C0"), 8);
            host.ask(frame(1, "C1"), secondRecord.size());
            QCOMPARE(host.ask(frame(1, "C1"), secondRecord.size()).toHex(), secondRecord.toHex());
            QByteArray out;
            QVERIFY2(outputShows(command, out, "punch  seq"), out.constData());
            command.kill();
            QVERIFY(command.waitForFinished(5000));
            out += command.readAllStandardOutput();
            punches = readLines(dir.filePath("punches.log"));
            QCOMPARE(punches.size(), int(out.count("punch  seq")));
            QCOMPARE(punches.first(), QString("01 000004"));
        }
        QProcess command;
        QVERIFY(startCommand(command, dir, args));
        QByteArray out;
        QVERIFY2(outputShows(command, out, "readers' memory taken up from readers.state"), out.constData());
        HostPort host(link);
        QCOMPARE(host.ask(frame(1, "N0"), secondRecord.size()).toHex(), secondRecord.toHex());
        // The two stored records not confirmed, and the on-line punch.
        QCOMPARE(host.ask(frame(1, "C4"), 11).toHex(), frame(1, "C4", QByteArray::fromHex("000003")).toHex());
        const sim::Frame punched = sim::decodeFrame(fromQt(host.ask(frame(1, "C5"), 24)));
        QCOMPARE(QByteArray::fromStdString(punched.code), QByteArray("C5"));
        QCOMPARE(sim::recordSeq(sim::RecordBytes{punched.data[0], punched.data[1], punched.data[2]}), 4u);
        // The next punch goes to the other reader than the last one before the kill, numbered on
        // from that reader's last punch (its stored records end at 3).
        const int nextReader = punches.last().left(2).toInt() % 2 + 1;
        int lastSeq = 3;
        for (const QString& p : punches)
            if (p.left(2).toInt() == nextReader) lastSeq = p.mid(3).toInt();
        QVERIFY2(outputShows(command, out, "punch  seq"), out.constData());
        stopCommand(command);
        const QStringList after = readLines(dir.filePath("punches.log"));
        QVERIFY(after.size() > punches.size());
        QCOMPARE(after[punches.size()],
                 QString("%1 %2").arg(nextReader, 2, 10, QChar('0')).arg(lastSeq + 1, 6, 10, QChar('0')));
    }

    // The readers' kind of batch copies and their renumbering on delete are kept with their
    // memory: started again without the options, they still hand out whole copies, and a delete
    // starts their numbering again.
    void commandKeepsReaderOptions() {
        QVERIFY2(QFileInfo::exists(QRX_READER_SIM_PATH), "qrx-reader-sim is not built: " QRX_READER_SIM_PATH);
        QTemporaryDir dir;
        const QStringList args{"--records", "3", "--no-pacing", "--state", "readers.state"};
        const QString link = dir.filePath(kCommandLink);
        const QByteArray first = frame(1, "C1", toQt(sim::makeRecord(1, sim::Punch::generated(1, 1))));
        {
            QProcess command;
            QVERIFY(startCommand(command, dir,
                                 args + QStringList{"--batch-copies", "whole", "--delete-renumbers"}));
            HostPort host(link);
            host.ask(frame(1, "C0"), 8);
            QCOMPARE(host.ask(frame(1, "C1"), first.size()).toHex(), first.toHex());
            host.ask(frame(1, "C1"), first.size());
            stopCommand(command);
        }
        QProcess command;
        QVERIFY(startCommand(command, dir, args + QStringList{"--punch-every", "1"}));
        HostPort host(link);
        QCOMPARE(host.ask(frame(1, "C4"), 11).toHex(), frame(1, "C4", QByteArray::fromHex("000003")).toHex());
        host.ask(frame(1, "C0"), 8);
        QCOMPARE(host.ask(frame(1, "C1"), first.size()).toHex(), first.toHex());
        QCOMPARE(host.ask(frame(1, "C3"), 8), frame(1, "C3"));
        QByteArray out;
        QVERIFY2(outputShows(command, out, "punch  seq 000001"), out.constData());
        stopCommand(command);
    }

    // A state file that is not whole, not for this many readers or that cannot be written ends
    // the command before it makes its link.
    void commandRefusesState_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        const QString whole = QString::fromStdString(sim::formatState(sim::SimState{1, {{}, {}}}));
        QTest::newRow("cut short") << whole.left(whole.size() / 2) << QStringList{"--readers", "2"}
                                   << "readers.state: line ";
        QTest::newRow("other readers")
            << whole << QStringList{"--readers", "3"} << "readers.state holds 2 readers, not 3 (--readers)";
        QTest::newRow("cannot be written")
            << whole << QStringList{"--readers", "2", "--state", "missing/readers.state"}
            << "missing/readers.state.tmp: No such file or directory";
    }

    void commandRefusesState() {
        QFETCH(QString, text);
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        QVERIFY2(QFileInfo::exists(QRX_READER_SIM_PATH), "qrx-reader-sim is not built: " QRX_READER_SIM_PATH);
        QTemporaryDir dir;
        QFile file(dir.filePath("readers.state"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
        file.close();
        QProcess command;
        command.setWorkingDirectory(dir.path());
        command.start(QRX_READER_SIM_PATH,
                      QStringList{"--state", "readers.state", "--link", kCommandLink} + args);
        QVERIFY(command.waitForFinished(5000));
        QCOMPARE(command.exitCode(), 1);
        const QByteArray err = command.readAllStandardError();
        QVERIFY2(err.contains(error.toUtf8()), err.constData());
        QVERIFY(!QFileInfo(dir.filePath(kCommandLink)).isSymLink());
    }

    // --help lists every option; a bad value or a missing one is refused with exit code 2.
    void commandUsage_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("help") << QStringList{"--help"} << 0
                              << QStringList{"--no-pacing",          "--turnaround MS",
                                             "--adapter-latency MS", "--lose-answer EVERY",
                                             "--late-answer EVERY",  "--late-ms MS",
                                             "--lose-request EVERY", "--stray-bytes EVERY",
                                             "--flip-bit EVERY",     "--batch-copies unconfirmed|whole",
                                             "--delete-renumbers",   "--state FILE",
                                             "--punch-log FILE"};
        QTest::newRow("negative latency") << QStringList{"--adapter-latency", "-1"} << 2
                                          << QStringList{"--adapter-latency takes 0 to 1000 ms"};
        QTest::newRow("turnaround not a number")
            << QStringList{"--turnaround", "fast"} << 2 << QStringList{"--turnaround takes"};
        QTest::newRow("negative every")
            << QStringList{"--lose-answer", "-3"} << 2 << QStringList{"--lose-answer takes"};
        QTest::newRow("trailing junk")
            << QStringList{"--stray-bytes", "1x"} << 2 << QStringList{"--stray-bytes takes"};
        QTest::newRow("other batch copies") << QStringList{"--batch-copies", "all"} << 2
                                            << QStringList{"--batch-copies takes unconfirmed or whole"};
        QTest::newRow("missing value")
            << QStringList{"--late-ms"} << 2 << QStringList{"missing value: --late-ms"};
    }

    void commandUsage() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QStringList, shown);
        QVERIFY2(QFileInfo::exists(QRX_READER_SIM_PATH), "qrx-reader-sim is not built: " QRX_READER_SIM_PATH);
        QProcess command;
        command.start(QRX_READER_SIM_PATH, args);
        QVERIFY(command.waitForFinished(5000));
        QCOMPARE(command.exitCode(), exitCode);
        const QByteArray out = command.readAllStandardOutput() + command.readAllStandardError();
        for (const QString& text : shown) QVERIFY2(out.contains(text.toUtf8()), qPrintable(text));
    }
};

int runLineTests(int argc, char** argv) {
    LineTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "LineTest.moc"
