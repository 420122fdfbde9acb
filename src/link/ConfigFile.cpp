#include "ConfigFile.h"

#include "FileError.h"

#include <QFile>

#include <cerrno>

QString deviceNameForPort(int port) {
    return QStringLiteral("COM%1").arg(port >= 0 && port <= 3 ? port + 1 : 1);
}

TBaudrate baudRateForSpeed(int speed) {
    switch (speed) {
    case 0:
        return br1200;
    case 1:
        return br2400;
    case 2:
        return br4800;
    case 4:
        return br19200;
    default:
        return br9600;
    }
}

QString speedText(TBaudrate rate) {
    switch (rate) {
    case br1200:
        return QStringLiteral(" 1200Bps");
    case br2400:
        return QStringLiteral(" 2400Bps");
    case br4800:
        return QStringLiteral(" 4800Bps");
    case br19200:
        return QStringLiteral(" 19200Bps");
    default:
        return QStringLiteral(" 9600Bps");
    }
}

LineSettings decodeConfig(const QByteArray& bytes) {
    // A short file reads as if its missing bytes were 0x1A, as a text-mode read would give them.
    auto byteAt = [&bytes](int i) { return i < bytes.size() ? quint8(bytes.at(i)) : quint8(0x1A); };
    LineSettings s;
    const QString device = deviceNameForPort(byteAt(0));
    s.deviceName = device.toStdString();
    s.baudRate = baudRateForSpeed(byteAt(1));
    s.indicator = device + speedText(s.baudRate);
    s.parity = byteAt(2) == 1 ? paEven : byteAt(2) == 2 ? paOdd : paNone;
    s.databits = byteAt(3) == 0 ? da7 : da8;
    s.stopbits = byteAt(4) == 1 ? sb20 : sb10;
    const int readers = byteAt(5);
    s.damaged = bytes.size() < 6 || readers < 1 || readers > 12;
    s.readerCount = s.damaged ? 1 : readers;
    return s;
}

QByteArray readConfigFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) throwFileError(fileName, errno ? errno : EIO);
    const QByteArray bytes = file.read(6);
    if (file.error() != QFileDevice::NoError) throwFileError(fileName, EIO);
    return bytes;
}

void writeConfigFile(const QString& fileName, const ConfigBytes& values) {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) throwFileError(fileName, errno ? errno : EIO);
    if (file.write(reinterpret_cast<const char*>(values.data()), qint64(values.size())) !=
            qint64(values.size()) ||
        !file.flush())
        throwFileError(fileName, EIO);
}

void applySettings(const LineSettings& settings, TCustomComm& comm) {
    comm.setDeviceName(settings.deviceName);
    comm.setBaudRate(settings.baudRate);
    comm.setParity(settings.parity);
    comm.setDatabits(settings.databits);
    comm.setStopbits(settings.stopbits);
}
