#include "HostPort.h"

#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

speed_t speedConstant(int baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 19200:
        return B19200;
    default:
        return B9600;
    }
}

} // namespace

HostPort::HostPort(const QString& path, int baud) : path_(path), baud_(baud) {
    reopen();
}

HostPort::~HostPort() {
    close();
}

void HostPort::reopen() {
    close();
    fd_ = ::open(path_.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY2(fd_ >= 0, qPrintable("cannot open " + path_));
    setSpeed(baud_);
}

void HostPort::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void HostPort::setSpeed(int baud) {
    baud_ = baud;
    termios tio{};
    QVERIFY(tcgetattr(fd_, &tio) == 0);
    cfmakeraw(&tio);
    cfsetspeed(&tio, speedConstant(baud));
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    QVERIFY(tcsetattr(fd_, TCSANOW, &tio) == 0);
}

void HostPort::send(const QByteArray& bytes) {
    sentAt_.start();
    QCOMPARE(::write(fd_, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
}

HostPort::Timed HostPort::readTimed(int count, int timeoutMs) {
    Timed t;
    if (!sentAt_.isValid()) sentAt_.start();
    QElapsedTimer clock;
    clock.start();
    while (t.bytes.size() < count && clock.elapsed() < timeoutMs) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, int(std::max<qint64>(1, timeoutMs - clock.elapsed()))) <= 0) continue;
        char buffer[512];
        const ssize_t n =
            ::read(fd_, buffer, size_t(std::min<int>(int(sizeof buffer), count - int(t.bytes.size()))));
        if (n <= 0) continue;
        if (t.firstMs < 0) t.firstMs = sentAt_.elapsed();
        t.lastMs = sentAt_.elapsed();
        ++t.reads;
        t.bytes.append(buffer, int(n));
    }
    return t;
}

QByteArray HostPort::read(int count, int timeoutMs) {
    return readTimed(count, timeoutMs).bytes;
}

QByteArray HostPort::readQuiet(int quietMs) {
    QByteArray all;
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, quietMs) <= 0) return all;
        char buffer[512];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) all.append(buffer, int(n));
    }
}

QByteArray frame(int id, const char* code, const QByteArray& data) {
    QByteArray f;
    f.append(char(0x02));
    f.append(char(id + 0x20));
    f.append(char(code[0] + 0x20));
    f.append(char(code[1] + 0x20));
    f.append(char(data.size() + 3 + 0x20));
    for (char c : data) f.append(char(quint8(c) + 0x20));
    f.append(char(0x03));
    int sum = 0;
    for (int i = 1; i < f.size(); ++i) sum += quint8(f[i]);
    f.append(char(0x20 + ((sum >> 4) & 0x0F)));
    f.append(char(0x20 + (sum & 0x0F)));
    return f;
}

QByteArray toQt(const sim::Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
}

sim::Bytes fromQt(const QByteArray& bytes) {
    return sim::Bytes(bytes.begin(), bytes.end());
}
