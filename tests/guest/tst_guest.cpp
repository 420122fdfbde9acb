// Tests on the kernel's own serial drivers, run inside the QEMU guest by guest-test.sh: the FTDI
// driver (ftdi_sio) behind an adapter the host pulls and plugs back, and the 16550 driver (8250).
#include "GuestTests.h"

#include "AppFonts.h"
#include "ClockSnapshot.h"
#include "HostPaths.h"
#include "SimStation.h"
#include "UploadFiles.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTest>

bool waitForPath(const QString& path, bool present, int timeoutMs) {
    return waitFor([&] { return QFileInfo::exists(path) == present; }, timeoutMs);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() && f.flush())
        return QString();
    return path + QStringLiteral(": ") + f.errorString();
}

void writeConfig(int port, int speed, int readers) {
    const char bytes[] = {char(port), char(speed), 0, 1, 0, char(readers)};
    QCOMPARE(writeAll(QStringLiteral("QRX.CFG"), QByteArray(bytes, sizeof bytes)), QString());
}

QString todayFile(char prefix, const QString& suffix) {
    const ClockSnapshot now = ClockSnapshot::now();
    return hostPath(UploadFileName(prefix, now.year, now.month, now.day)).chopped(4) + suffix +
           QStringLiteral(".TXT");
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    installProgramFonts();
    return runPortTests(argc, argv) + runCollectorTests(argc, argv) + runBatchTests(argc, argv);
}
