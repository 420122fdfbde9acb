// An in-memory line for codec and transaction tests: records what the host writes and hands
// the host whatever the test (or a responder playing the readers) queued as input.
#pragma once

#include "CommLine.h"

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

private:
    QByteArray pendingFrame_;
};

// An answer or acknowledgement frame as a reader would send it.
QByteArray readerFrame(const char* code, int reader, const QByteArray& data = {});
