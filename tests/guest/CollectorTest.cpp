// The collector on the FTDI driver while the adapter is pulled and plugged back: the device node
// goes and comes back, as the by-id link a site names it by, or under its kernel name, which
// the kernel gives again only to a node nobody holds open.
#include "GuestTests.h"
#include "HostRig.h"

#include "SimStation.h"
#include "TestGroups.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {
// How long the adapter stays out each time.
constexpr int kPulledMs = 5000;
// How soon after the port's name is back the collector must have opened it again.
constexpr qint64 kReconnectMs = 2000;

// The collector's log lines, each with the time it came, on the guest's clock.
struct Stamped {
    qint64 atMs;
    QString line;
};

// The simulator's punch log, one "RR SSSSSS" a line, oldest first.
QStringList punchLog() {
    const QString path = HostRig::simFile(QStringLiteral("ftdi"), QStringLiteral("punches.log"));
    return QString::fromLatin1(readAll(path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Each line of the day's on-line file as the punch log writes it: "RR SSSSSS".
QStringList asPunches(const QStringList& fileLines) {
    QStringList out;
    for (const QString& line : fileLines) out << line.left(9).replace(QLatin1Char('-'), QLatin1Char(' '));
    return out;
}

// Which of the first `made` punches the file does not hold.
QStringList missing(const QStringList& punched, int made, const QStringList& written) {
    QStringList out;
    for (int i = 0; i < made && i < punched.size(); ++i)
        if (!written.contains(punched[i])) out << punched[i];
    return out;
}

// What of the punches the file holds wrongly: twice, never punched, out of a reader's order, or
// missing among the first `made` punches. Empty when every punch is there once, in order.
QString punchFaults(const QStringList& punched, int made, const QStringList& written) {
    QStringList faults;
    QSet<QString> seen;
    QMap<QString, QStringList> byReader, punchedByReader;
    for (const QString& p : punched) punchedByReader[p.left(2)] << p;
    for (const QString& w : written) {
        if (seen.contains(w)) faults << QStringLiteral("twice: ") + w;
        if (!punched.contains(w)) faults << QStringLiteral("never punched: ") + w;
        seen.insert(w);
        byReader[w.left(2)] << w;
    }
    for (auto r = byReader.cbegin(); r != byReader.cend(); ++r)
        if (punchedByReader[r.key()].mid(0, int(r.value().size())) != r.value())
            faults << QStringLiteral("reader %1 out of order").arg(r.key());
    for (const QString& p : missing(punched, made, written)) faults << QStringLiteral("missing: ") + p;
    return faults.join(QStringLiteral("; "));
}
} // namespace

class CollectorTest : public QObject {
    Q_OBJECT

private slots:
    void ridesThroughPulls_data() {
        QTest::addColumn<QString>("port");
        QTest::newRow("linked by id") << guest::kAdapterById;
        QTest::newRow("linked to ttyUSB0") << guest::kAdapterNode;
    }
    // Three readers punching every second at 9600 bit/s; the adapter pulled twice for 5 s while the
    // collector runs. Each time the port's name is back the collector opens it again within 2 s,
    // the node it let go of comes back as ttyUSB0, and in the end every punch is in the day's file
    // once, in order.
    void ridesThroughPulls() {
        QFETCH(QString, port);
        QCOMPARE(HostRig::request(QStringLiteral("sim ftdi --readers 3 --records 0 --punch-every 1 "
                                                 "--state state --punch-log punches.log")),
                 QString());
        QVERIFY(waitForPath(port, true, 10000));
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        writeConfig(0, 3, 3);
        QVERIFY(QFile::link(port, QStringLiteral("COM1")));

        QElapsedTimer clock;
        clock.start();
        QList<Stamped> log;
        const auto logText = [&log] {
            QString text;
            for (const Stamped& s : log) text += QStringLiteral("%1 ms: %2\n").arg(s.atMs).arg(s.line);
            return text;
        };
        QProcess collector;
        connect(&collector, &QProcess::readyReadStandardError, [&] {
            while (collector.canReadLine())
                log << Stamped{clock.elapsed(), QString::fromUtf8(collector.readLine()).trimmed()};
        });
        collector.setReadChannel(QProcess::StandardError);
        collector.start(QStringLiteral(QRX_COLLECT_PATH), {QStringLiteral("--workdir"), dir.path()});
        QVERIFY(collector.waitForStarted());
        const auto written = [] { return crlfLines(readAll(todayFile('A'))); };
        QVERIFY(waitFor([&] { return written().size() >= 3; }, 30000));

        QList<qint64> reconnects;
        for (int pull = 1; pull <= 2; ++pull) {
            QCOMPARE(HostRig::request(QStringLiteral("pull")), QString());
            const qint64 pulledAt = clock.elapsed();
            QVERIFY(waitForPath(port, false, 5000));
            waitFor([&] { return clock.elapsed() - pulledAt >= kPulledMs; }, kPulledMs);
            QCOMPARE(HostRig::request(QStringLiteral("plug")), QString());
            QVERIFY(waitForPath(port, true, 15000));
            const qint64 backAt = clock.elapsed();
            // No descriptor of the pulled adapter left open, so the kernel gives its name again.
            QVERIFY2(QFileInfo(port).canonicalFilePath() == guest::kAdapterNode,
                     qPrintable(QFileInfo(port).canonicalFilePath()));
            const auto reopened = [&] {
                for (const Stamped& s : log)
                    if (s.atMs >= pulledAt && s.line.contains(QLatin1String("again after"))) return s.atMs;
                return qint64(-1);
            };
            QVERIFY2(waitFor([&] { return reopened() >= 0; }, 20000), qPrintable(logText()));
            reconnects << reopened() - backAt;
            const int before = int(written().size());
            QVERIFY(waitFor([&] { return written().size() >= before + 3; }, 20000));
        }
        // The collector catches up with what was punched up to now, and is stopped.
        const int made = int(punchLog().size());
        waitFor([&] { return missing(punchLog(), made, asPunches(written())).isEmpty(); }, 30000);
        collector.terminate();
        QVERIFY(collector.waitForFinished(10000));
        QCOMPARE(collector.exitCode(), 0);
        QCOMPARE(HostRig::request(QStringLiteral("stop ftdi")), QString());

        const QString faults = punchFaults(punchLog(), made, asPunches(written()));
        QVERIFY2(faults.isEmpty(), qPrintable(faults + '\n' + logText()));
        qInfo("reconnected %lld and %lld ms after the port's name came back (%d punches)", reconnects[0],
              reconnects[1], made);
        for (qint64 delay : reconnects) QVERIFY2(delay <= kReconnectMs, qPrintable(logText()));
    }
};

int runCollectorTests(int argc, char** argv) {
    CollectorTest test;
    return runGroup(test, argc, argv);
}

#include "CollectorTest.moc"
