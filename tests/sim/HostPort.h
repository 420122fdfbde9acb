// The host's end of a simulated line, as the tests drive it: the slave side of the pseudo-terminal
// opened the way qrx opens a serial port, raw, at a chosen speed.
#pragma once

#include "SimCodec.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

class HostPort {
public:
    explicit HostPort(const QString& path, int baud = 9600);
    ~HostPort();
    HostPort(const HostPort&) = delete;
    HostPort& operator=(const HostPort&) = delete;

    void setSpeed(int baud);
    void close();
    void reopen();

    // One write of all the bytes; restarts the clock that timed() measures against.
    void send(const QByteArray& bytes);
    void sendHex(const char* hex) { send(QByteArray::fromHex(hex)); }
    // Reads until `count` bytes came or `timeoutMs` passed.
    QByteArray read(int count, int timeoutMs = 2000);
    // Reads until the line has been quiet for `quietMs`.
    QByteArray readQuiet(int quietMs);

    // Like read, noting when the first and the last byte arrived (ms since the last send).
    struct Timed {
        QByteArray bytes;
        qint64 firstMs = -1;
        qint64 lastMs = -1;
        int reads = 0;
    };
    Timed readTimed(int count, int timeoutMs = 3000);

private:
    QString path_;
    int baud_;
    int fd_ = -1;
    QElapsedTimer sentAt_;
};

// A frame built on the test's side, for requests too long to write out in hex.
QByteArray frame(int id, const char* code, const QByteArray& data = {});

QByteArray toQt(const sim::Bytes& bytes);
sim::Bytes fromQt(const QByteArray& bytes);
