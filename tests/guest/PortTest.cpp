// The serial port on the drivers themselves: what the port asks of the FTDI driver while it holds
// the adapter, and what a 16550's line-error counters show.
#include "GuestTests.h"
#include "HostRig.h"

#include "CommInt.h"
#include "SimStation.h"
#include "TestGroups.h"

#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTest>

namespace {
// The port's log (qrx.serial) while it lives; every other message goes where it went before.
class SerialTrace {
public:
    SerialTrace() {
        lines().clear();
        QLoggingCategory::setFilterRules(QStringLiteral("qrx.serial.debug=true"));
        previous() = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
                if (QByteArray(context.category) == "qrx.serial")
                    lines() << text;
                else if (previous())
                    previous()(type, context, text);
            });
    }
    ~SerialTrace() {
        qInstallMessageHandler(previous());
        QLoggingCategory::setFilterRules(QString());
    }
    SerialTrace(const SerialTrace&) = delete;
    SerialTrace& operator=(const SerialTrace&) = delete;

    static QStringList& lines() {
        static QStringList all;
        return all;
    }
    // The break count of the first line that starts with `prefix`, -1 when there is none.
    static int breaks(const QString& prefix) {
        static const QRegularExpression count(QStringLiteral("break (\\d+)"));
        for (const QString& line : lines())
            if (line.startsWith(prefix)) return count.match(line).captured(1).toInt();
        return -1;
    }

private:
    static QtMessageHandler& previous() {
        static QtMessageHandler handler = nullptr;
        return handler;
    }
};
} // namespace

class PortTest : public QObject {
    Q_OBJECT

private slots:
    // The FTDI driver holds what the adapter received until its latency timer runs out: 1 ms while
    // qrx holds the port, and what it was before once qrx lets go.
    void lowLatencyWhileHeld() {
        QCOMPARE(HostRig::request(QStringLiteral("sim ftdi --readers 1 --records 0 --punch-every 0")),
                 QString());
        // The driver's settings come a moment after the node.
        QVERIFY(waitForPath(guest::kAdapterLatency, true, 10000));
        // QEMU's adapter reports a timer of 0 ms; a real FT232 starts at 16.
        QCOMPARE(writeAll(guest::kAdapterLatency, "16"), QString());
        TComm comm;
        comm.setDeviceName(guest::kAdapterNode.toStdString());
        comm.setBaudRate(br9600);
        comm.Open();
        QCOMPARE(readAll(guest::kAdapterLatency).trimmed(), QByteArray("1"));
        comm.Close();
        QCOMPARE(readAll(guest::kAdapterLatency).trimmed(), QByteArray("16"));
    }

    // A break on the line, sent from the host's end: the 16550 counts it, the port's log shows the
    // count one up on the count it found at open, and the port reports the break.
    void breakInTheTrace() {
        QCOMPARE(HostRig::request(QStringLiteral("sim uart --readers 1 --records 0 --punch-every 0")),
                 QString());
        SerialTrace trace;
        TComm comm;
        comm.setDeviceName(guest::kUartNode.toStdString());
        comm.setBaudRate(br9600);
        bool reported = false;
        comm.OnBreak = [&reported](TCustomComm*) { reported = true; };
        comm.Open();
        const int before = SerialTrace::breaks(QStringLiteral("line errors at open"));
        QVERIFY2(before >= 0, qPrintable(trace.lines().join('\n')));
        QCOMPARE(HostRig::request(QStringLiteral("break")), QString());
        QVERIFY2(waitFor(
                     [&] {
                         comm.InQueueCount();
                         return reported && SerialTrace::breaks(QStringLiteral("line errors now")) >= 0;
                     },
                     5000),
                 qPrintable(trace.lines().join('\n')));
        QCOMPARE(SerialTrace::breaks(QStringLiteral("line errors now")), before + 1);
        comm.Close();
    }
};

int runPortTests(int argc, char** argv) {
    PortTest test;
    return runGroup(test, argc, argv);
}

#include "PortTest.moc"
