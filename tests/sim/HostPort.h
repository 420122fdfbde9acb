// The host's end of a simulated line, as the tests drive it: the slave side of the pseudo-terminal
// opened the way qrx opens a serial port, raw, at a chosen speed.
#pragma once

#include "ReaderSim.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <memory>

class HostPort {
public:
    explicit HostPort(const QString& path) : path_(path) { reopen(); }
    ~HostPort() { close(); }
    HostPort(const HostPort&) = delete;
    HostPort& operator=(const HostPort&) = delete;

    void setSpeed(int baud); // 1200, 2400 or 9600; eight data bits, no parity, one stop bit
    void setStopBits(int stopBits);
    void close();
    void reopen();

    // One write of all the bytes; restarts the clock that readTimed measures against.
    void send(const QByteArray& bytes);
    QByteArray ask(const QByteArray& request, int answerBytes) {
        send(request);
        return read(answerBytes);
    }
    // Reads until `count` bytes came or `timeoutMs` passed.
    QByteArray read(int count, int timeoutMs = 2000) { return readTimed(count, timeoutMs).bytes; }
    // Reads until the line has been quiet for `quietMs`.
    QByteArray readQuiet(int quietMs) { return readTimed(1 << 20, 60000, quietMs).bytes; }

    // Like read, noting when the first and the last byte arrived (ms since the last send).
    struct Timed {
        QByteArray bytes;
        qint64 firstMs = -1;
        qint64 lastMs = -1;
        int reads = 0;
    };
    Timed readTimed(int count, int timeoutMs = 3000, int quietMs = -1);

private:
    QString path_;
    int fd_ = -1;
    QElapsedTimer sentAt_;
};

// Whether a time measured on the real clock is at least `ms` and at most what a loaded machine
// stretches it to (three times as long, and half a second): later is slow, far later is wrong.
inline bool tookAtLeast(qint64 measuredMs, double ms) {
    return measuredMs >= qint64(ms) && measuredMs <= qint64(3 * ms) + 500;
}

// A frame built on the test's side, for requests too long to write out in hex.
QByteArray frame(int id, const char* code, const QByteArray& data = {});

QByteArray toQt(const sim::Bytes& bytes);
template <class Container> QByteArray toQt(const Container& bytes) {
    return toQt(sim::Bytes(bytes.begin(), bytes.end()));
}
sim::Bytes fromQt(const QByteArray& bytes);

// Simulated readers with pacing off and the host's port on their line, for a test class to
// inherit: each test's init starts a fresh line.
struct SimBench {
    std::unique_ptr<sim::SimLine> line_;
    std::unique_ptr<HostPort> host_;

    void startLine(int readers) {
        host_.reset();
        line_ = std::make_unique<sim::SimLine>(readers);
        line_->setPacing(false);
        host_ = std::make_unique<HostPort>(QString::fromStdString(line_->devicePath()));
    }
    QByteArray ask(const QByteArray& request, int answerBytes) { return host_->ask(request, answerBytes); }
};
