// An in-memory line for codec and transaction tests: records what the host writes and hands
// the host whatever the test (or a responder playing the readers) queued as input.
#pragma once

#include "CommLine.h"
#include "ReaderLink.h"

#include <QByteArray>
#include <QList>

#include <functional>

class FakeLine : public CommLine {
public:
    int Write(const void* buffer, int count) override;
    int Read(void* buffer, int count) override;
    int InQueueCount() override;

    bool open = true;
    QByteArray input;         // bytes waiting for the host
    QByteArray wire;          // every byte the host wrote
    QList<QByteArray> writes; // the host's writes, one entry each
    QList<QByteArray> frames; // request frames, body and checksum joined
    // Called with each complete request frame; what it returns is queued as input.
    std::function<QByteArray(const QByteArray& frame)> responder;

    // The line's own clock, in microseconds; the sleeps of virtualTimeEnv move it on.
    std::int64_t nowUs = 0;
    // Bytes that reach the host once the clock has come to atUs, as an answer trickles in.
    void arriveAt(std::int64_t atUs, const QByteArray& bytes) { later << Arrival{atUs, bytes}; }

private:
    struct Arrival {
        std::int64_t atUs;
        QByteArray bytes;
    };
    void deliverDue();
    QList<Arrival> later;
    QByteArray pendingFrame_;
};

// An answer or acknowledgement frame as a reader would send it.
QByteArray readerFrame(const char* code, int reader, const QByteArray& data = {});

// A link environment on the line's clock: a sleep moves the clock on at once, so that waits cost
// no real time and their lengths can be checked exactly. pump stands for the event loop.
LinkEnv virtualTimeEnv(FakeLine& line, std::function<void(bool waitForMore)> pump = {});
