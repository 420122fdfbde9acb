// The programs as a site runs them: the port opened by its name COM2, the simulator a program of
// its own on the other end, at the slowest and a fast line speed with a USB adapter's 16 ms
// bursts. The same tests run in the Linux build and, under Wine, in the Windows build, where they
// are what proves the Win32 serial code, the work folder's files and the C:\CARD paths: the port,
// a held port and a lost line; the status poll; a batch upload into its file; the record count
// and the clock; a customer download; and the collector program, the line lost and back.
#include "CommInt.h"
#include "ConfigFile.h"
#include "FBatch.h"
#include "FGaekDn.h"
#include "HostPaths.h"
#include "PunchRecord.h"
#include "ReaderClock.h"
#include "ReaderLink.h"
#include "ReaderPanel.h"
#include "RecordCount.h"
#include "ScriptedPrompts.h"
#include "SimProcess.h"
#include "StatusPoll.h"
#include "TickTimer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QPointer>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
const QString kDone = QStringLiteral("업로드가 완료되었습니다!");

// A folder of its own as the working directory (and, on Linux, as HOME, where C:\ lies), the
// simulator serving `readers` readers on COM2, and the port opened on it at `rate` with the reader
// link, its timer and scripted boxes, as the main window holds them.
class Station {
public:
    Station(int readers, int configured, TBaudrate rate, const QStringList& simArgs = {})
        : sim(dir.path()), link(Comm, qtLinkEnv()), timer(link), oldCwd_(QDir::currentPath()),
          oldHome_(qgetenv("HOME")) {
        QDir::setCurrent(dir.path());
        qputenv("HOME", dir.path().toUtf8());
        serving =
            sim.start(QStringList{"--readers", QString::number(readers), "--punch-every", "0"} + simArgs);
        if (!serving) return;
        Comm.setDeviceName("COM2");
        Comm.setBaudRate(rate);
        Comm.Open();
        link.setPortControl(
            PortControl{[this] { return Comm.isOpen(); }, [this] { Comm.Open(); }, [this] { Comm.Close(); }});
        link.ReaderCount = configured;
        link.timing().follow(Comm);
        timer.followLine(link.timing());
    }
    ~Station() {
        Comm.Close();
        sim.kill();
        QDir::setCurrent(oldCwd_);
        qputenv("HOME", oldHome_);
    }

    // The file lines of the records reader `id` holds, as the simulator last kept them.
    QStringList storedLines(int id) const {
        QStringList out;
        for (const QString& hex : sim.stateField(id, "records"))
            out << FormatFileLine(id, TPunchRecord::fromBytes(QByteArray::fromHex(hex.toLatin1())));
        return out;
    }

    QTemporaryDir dir;
    SimProcess sim;
    bool serving = false;
    TComm Comm;
    ReaderLink link;
    TickTimer timer;
    ScriptedPrompts boxes;

private:
    QString oldCwd_;
    QByteArray oldHome_;
};

void addSpeedRows() {
    QTest::addColumn<int>("rate");
    QTest::newRow("1200") << int(br1200);
    QTest::newRow("9600") << int(br9600);
}

// The lines of a file whose every line ends with CR LF; a bare or missing end is a line of its own
// that says so.
QStringList crlfLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList out;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.isEmpty()) continue;
        out << (line.endsWith('\r') && !line.chopped(1).contains('\r') ? QString::fromLatin1(line.chopped(1))
                                                                       : QStringLiteral("<not CR LF>"));
    }
    return out;
}

QString todayFile(char prefix) {
    return QStringLiteral("DATA2/%1%2.TXT").arg(prefix).arg(QDate::currentDate().toString("yyyyMMdd"));
}

// What the operation raised, or nothing.
std::optional<ECommError> raised(const std::function<void()>& op) {
    try {
        op();
    } catch (const ECommError& e) {
        return e;
    }
    return std::nullopt;
}

// A whole answer frame from the line, or what came within the time.
QByteArray readAnswer(TComm& comm, int length, int timeoutMs) {
    QByteArray got;
    QDeadlineTimer deadline(timeoutMs);
    while (got.size() < length && !deadline.hasExpired()) {
        char buffer[64];
        const int n = comm.Read(buffer, int(sizeof buffer));
        if (n > 0) got.append(buffer, n);
        QThread::msleep(5);
    }
    return got;
}

// The line as QRX.CFG holds it: COM2, the speed's index, no parity, 8 data bits, 1 stop bit,
// the readers.
QByteArray configBytes(TBaudrate rate, int readers) {
    QByteArray bytes = QByteArray::fromHex("010000010000");
    bytes[1] = char(rate == br1200 ? 3 : 6);
    bytes[5] = char(readers);
    return bytes;
}

// The collector program beside the test programs.
QString collectorPath() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(QRX_COLLECT_RELATIVE));
}

bool waitUntil(const std::function<bool()>& cond, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!cond()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    return true;
}
} // namespace

class StationTest : public QObject {
    Q_OBJECT

private slots:
    // The port at the speed set, for this program alone; a request goes out whole and its answer
    // comes back; the simulator killed is a lost line for every transfer, and once it serves
    // again the port opens again and works.
    void port_data() { addSpeedRows(); }
    void port() {
        QFETCH(int, rate);
        Station s(2, 2, TBaudrate(rate));
        QVERIFY2(s.serving, qPrintable(s.sim.output()));
        QCOMPARE(s.Comm.DeviceControlBlock().BaudRate, std::uint32_t(baudRateValue(TBaudrate(rate))));
        QVERIFY(s.Comm.DeviceControlBlock().Flags & dcbflag::Binary);

        TComm second;
        second.setDeviceName("COM2");
        const std::optional<ECommError> busy = raised([&] { second.Open(); });
        if (simhost::underWine()) QEXPECT_FAIL("", "Wine does not keep a device's share mode", Continue);
        QVERIFY2(busy && isLineBusy(*busy), busy ? busy->what() : "the second open succeeded");
        second.Close();

        // "A0" to reader 1: its answer is a whole frame of nine bytes (length value 4), from STX
        // to the checksum.
        s.link.ClearInput();
        s.link.SendFrame("A0", 1);
        const QByteArray answer = readAnswer(s.Comm, 9, 3000);
        QCOMPARE(answer.size(), 9);
        QCOMPARE(answer.at(0), '\x02');
        QCOMPARE(s.sim.commands(1), QStringList{"A0"});

        s.sim.kill();
        const std::optional<ECommError> lost = raised([&] {
            QDeadlineTimer deadline(5000);
            char buffer[8];
            while (!deadline.hasExpired()) {
                s.Comm.InQueueCount();
                s.Comm.Read(buffer, int(sizeof buffer));
                QThread::msleep(20);
            }
            s.Comm.Write("A", 1);
        });
        QVERIFY(lost);
        QVERIFY2(isLineLost(*lost), lost->what());

        QVERIFY2(s.sim.start({"--readers", "2", "--punch-every", "0"}), qPrintable(s.sim.output()));
        s.Comm.Close();
        s.Comm.Open();
        QCOMPARE(s.Comm.DeviceControlBlock().BaudRate, std::uint32_t(baudRateValue(TBaudrate(rate))));
        QCOMPARE(statusText(pollStatus(s.link, 2)), QStringLiteral("  통신성공 - 정상작동중"));
    }

    // The status poll of the communication check: the readers present answer, a configured one
    // that is missing does not.
    void statusPoll_data() { addSpeedRows(); }
    void statusPoll() {
        QFETCH(int, rate);
        Station s(2, 3, TBaudrate(rate));
        QVERIFY2(s.serving, qPrintable(s.sim.output()));
        QCOMPARE(statusText(pollStatus(s.link, 1)), QStringLiteral("  통신성공 - 정상작동중"));
        QCOMPARE(statusText(pollStatus(s.link, 2)), QStringLiteral("  통신성공 - 정상작동중"));
        QCOMPARE(statusText(pollStatus(s.link, 3)), QStringLiteral("  리더가 응답이없습니다"));
    }

    // The batch upload of all readers writes every stored record once, reader by reader, in CR LF
    // lines into .\DATA2\B<today>.TXT, and the readers take them as uploaded.
    void batchUpload_data() { addSpeedRows(); }
    void batchUpload() {
        QFETCH(int, rate);
        Station s(2, 2, TBaudrate(rate), {"--records", "6"});
        QVERIFY2(s.serving, qPrintable(s.sim.output()));
        const QStringList expected = s.storedLines(1) + s.storedLines(2);
        QCOMPARE(expected.size(), 12);
        QVERIFY(QDir().mkdir("DATA2"));
        {
            QPointer<TBatch> dialog = new TBatch(s.link);
            dialog->show();
            dialog->panel->RadioGroup1Click(1);
            QTest::mouseClick(dialog->Button1, Qt::LeftButton);
            delete dialog;
        }
        QCOMPARE(s.boxes.texts(), QStringList{kDone});
        QCOMPARE(crlfLines(todayFile('B')), expected);
        QCOMPARE(s.sim.stateField(1, "uploaded"), QStringList{"6"});
        QCOMPARE(s.sim.stateField(2, "uploaded"), QStringList{"6"});
    }

    // The record count, and a reader's clock set from the computer's and read back.
    void countAndClock_data() { addSpeedRows(); }
    void countAndClock() {
        QFETCH(int, rate);
        Station s(1, 1, TBaudrate(rate), {"--records", "7"});
        QVERIFY2(s.serving, qPrintable(s.sim.output()));
        QVERIFY2(recordCountText(askRecordCount(s.link, 1)).startsWith(QStringLiteral("  000007")),
                 qPrintable(recordCountText(askRecordCount(s.link, 1))));

        const ClockSnapshot at = ClockSnapshot::of(QDateTime(QDate(2004, 3, 15), QTime(8, 59, 30)));
        QCOMPARE(setReaderClock(s.link, 1, clockBlock(at)).status, '1');
        const Reply clock = readReaderClock(s.link, 1);
        QCOMPARE(clock.status, '1');
        QVERIFY2(readerClockText(clock.data).contains(QStringLiteral("2004")),
                 qPrintable(readerClockText(clock.data)));
    }

    // The customer download from C:\CARD\DATA1\CDATA.TXT: every record reaches the reader.
    void customerDownload_data() { addSpeedRows(); }
    void customerDownload() {
        QFETCH(int, rate);
        Station s(2, 2, TBaudrate(rate));
        QVERIFY2(s.serving, qPrintable(s.sim.output()));
        const QString file = hostPath(QStringLiteral("C:\\CARD\\DATA1\\CDATA.TXT"));
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QByteArray lines;
        for (int i = 1; i <= 20; ++i)
            lines += QByteArray::number(1000000000 + i) + "10" +
                     QByteArray::number(1000 + i).rightJustified(6, '0') + "ABCDEFGHIJKL\r\n";
        {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(lines);
        }
        {
            QPointer<TGaekDn> dialog = new TGaekDn(s.link);
            dialog->show();
            dialog->panel->TSBAR->setValue(2);
            dialog->Button1Click();
            delete dialog;
        }
        QFile::remove(file);
        QCOMPARE(s.boxes.texts(), QStringList());
        QCOMPARE(s.sim.commands(2), QStringList{"D0"} + QStringList(20, "D1") + QStringList{"D2"});
        QCOMPARE(s.sim.stateField(2, "customers").size(), 20);
        QVERIFY(s.sim.commands(1).isEmpty());
    }

    // The collector program takes every punch once, in order, into .\DATA2\A<today>.TXT; with the
    // simulator killed and started again it opens the port again and loses nothing.
    void collector_data() { addSpeedRows(); }
    void collector() {
        QFETCH(int, rate);
        QTemporaryDir dir;
        SimProcess sim(dir.path());
        const QString oldCwd = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const QStringList simArgs{"--readers", "2", "--records", "0", "--punch-every", "1"};
        QVERIFY2(sim.start(simArgs), qPrintable(sim.output()));
        {
            QFile config(dir.filePath("QRX.CFG"));
            QVERIFY(config.open(QIODevice::WriteOnly));
            config.write(configBytes(TBaudrate(rate), 2));
        }
        QProcess collector;
        collector.setProcessChannelMode(QProcess::MergedChannels);
        collector.start(collectorPath(), {"--workdir", dir.path()});
        QVERIFY2(collector.waitForStarted(), qPrintable(collectorPath()));
        QString log;
        const auto logSoFar = [&] { return (log += QString::fromUtf8(collector.readAll())).toUtf8(); };
        const QString file = dir.filePath(todayFile('A'));
        const auto collected = [&] { return crlfLines(file).size(); };
        QVERIFY2(waitUntil([&] { return collected() >= 3; }, 60000), logSoFar().constData());

        sim.kill();
        QThread::msleep(1500);
        QVERIFY2(sim.start(simArgs), qPrintable(sim.output()));
        const int before = collected();
        QVERIFY2(waitUntil([&] { return collected() >= before + 3; }, 60000), logSoFar().constData());
        // The punching stops; what the readers still hold is collected.
        sim.kill();
        QVERIFY2(sim.start({"--readers", "2", "--punch-every", "0"}), qPrintable(sim.output()));
        QVERIFY2(waitUntil([&] { return collected() >= sim.punches().size(); }, 60000),
                 logSoFar().constData());
        sim.kill();
        collector.kill();
        collector.waitForFinished();
        QDir::setCurrent(oldCwd);

        logSoFar();
        QVERIFY2(log.contains(QLatin1String(" again after ")), qPrintable(log));
        // Each reader's punches in the order they were made; the readers' turns interleave as the
        // collector polls them.
        const QStringList made = sim.punches();
        const QStringList lines = crlfLines(file);
        QCOMPARE(lines.size(), made.size());
        for (const QString id : {"01", "02"}) {
            QStringList taken;
            for (const QString& line : lines)
                if (line.startsWith(id + '-'))
                    taken << line.left(9).replace(QLatin1Char('-'), QLatin1Char(' '));
            QCOMPARE(taken, made.filter(QRegularExpression('^' + id + ' ')));
        }
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    StationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_station.moc"
