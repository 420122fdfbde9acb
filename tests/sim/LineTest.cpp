// The line itself: how host writes are cut into frames, pacing, raw records, broadcasts,
// absent readers, the device link and the qrx-reader-sim command.
#include "HostPort.h"
#include "SimTests.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kA0 = QByteArray::fromHex("0221615023032F28");
const QByteArray kA0Answer = QByteArray::fromHex("02216150246303252C");
const QByteArray kA0ToReader2 = QByteArray::fromHex("0222615023032F29");
const QByteArray kA0Reader2Answer = QByteArray::fromHex("02226150246303252D");

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

    // Two requests in one write at 1200 bit/s. Lower bounds only: each request must have had its
    // time on the wire, the second answer waits until the first has left, and the answers trickle
    // in rather than come in one piece.
    void pacing() {
        line_->setPacing(true);
        host_->setSpeed(1200);
        QCOMPARE(line_->lineSpeed(), 1200);
        line_->withReader(1, [](sim::Reader& r) {
            r.setClock({0x20, 0x04, 0x03, 0x15, 0x01, 0x08, 0x00, 0x00});
        });
        const QByteArray expected =
            QByteArray::fromHex("022162502B4024233521282020032426") + kA0Reader2Answer;
        host_->send(frame(1, "B0") + kA0ToReader2);
        const HostPort::Timed t = host_->readTimed(int(expected.size()));
        QCOMPARE(t.bytes.toHex(), expected.toHex());
        const double byteMs = 10000.0 / 1200;
        QVERIFY2(t.lastMs >= 0.9 * (8 + expected.size()) * byteMs, qPrintable(QString::number(t.lastMs)));
        QVERIFY2(t.lastMs - t.firstMs >= 0.8 * (expected.size() - 1) * byteMs,
                 qPrintable(QString::number(t.lastMs - t.firstMs)));
        QVERIFY(t.reads > 1);
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
        if (!QFileInfo::exists(QRX_READER_SIM_PATH)) QSKIP("qrx-reader-sim is not built");
        QTemporaryDir dir;
        QProcess command;
        command.setWorkingDirectory(dir.path());
        command.start(QRX_READER_SIM_PATH, {"--readers", "2", "--records", "3", "--punch-every", "0",
                                            "--no-pacing", "--link", "COM7"});
        QVERIFY(command.waitForStarted());
        const QString link = dir.filePath("COM7");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 5000);
        QCOMPARE(HostPort(link).ask(frame(1, "C4"), 11).toHex(), QByteArray("0221635426202023032624"));
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT(
            (out += command.readAllStandardOutput()).contains("reader 01  C4  02 21 63 54 23 03 2F 2E"),
            5000);
        command.terminate();
        QVERIFY(command.waitForFinished(5000));
        QCOMPARE(command.exitStatus(), QProcess::NormalExit);
        QCOMPARE(command.exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
    }
};

int runLineTests(int argc, char** argv) {
    LineTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "LineTest.moc"
