#include "HostPort.h"

#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

void HostPort::reopen() {
    close();
    fd_ = ::open(path_.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY2(fd_ >= 0, qPrintable("cannot open " + path_));
    setSpeed(9600);
}

void HostPort::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void HostPort::setSpeed(int baud) {
    termios tio{};
    QVERIFY(tcgetattr(fd_, &tio) == 0);
    cfmakeraw(&tio);
    cfsetspeed(&tio, baud == 1200 ? B1200 : baud == 2400 ? B2400 : B9600);
    tio.c_cflag &= ~tcflag_t(CSTOPB);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    QVERIFY(tcsetattr(fd_, TCSANOW, &tio) == 0);
}

void HostPort::setStopBits(int stopBits) {
    termios tio{};
    QVERIFY(tcgetattr(fd_, &tio) == 0);
    tio.c_cflag = stopBits == 2 ? tio.c_cflag | CSTOPB : tio.c_cflag & ~tcflag_t(CSTOPB);
    QVERIFY(tcsetattr(fd_, TCSANOW, &tio) == 0);
}

void HostPort::send(const QByteArray& bytes) {
    sentAt_.start();
    QCOMPARE(::write(fd_, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
}

HostPort::Timed HostPort::readTimed(int count, int timeoutMs, int quietMs) {
    Timed t;
    if (!sentAt_.isValid()) sentAt_.start();
    QElapsedTimer clock;
    clock.start();
    while (t.bytes.size() < count && clock.elapsed() < timeoutMs) {
        pollfd p{fd_, POLLIN, 0};
        const int wait = quietMs >= 0 ? quietMs : int(std::max<qint64>(1, timeoutMs - clock.elapsed()));
        if (::poll(&p, 1, wait) <= 0) {
            if (quietMs >= 0) break;
            continue;
        }
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

QByteArray frame(int id, const char* code, const QByteArray& data) {
    return toQt(sim::encodeFrame({id, code, fromQt(data)}));
}

QByteArray toQt(const sim::Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
}

sim::Bytes fromQt(const QByteArray& bytes) {
    return sim::Bytes(bytes.begin(), bytes.end());
}
