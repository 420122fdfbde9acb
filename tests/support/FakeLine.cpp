#include "FakeLine.h"

#include <stdexcept>

int FakeLine::Write(const void* buffer, int count) {
    if (!open) throw std::runtime_error("Write error (Error: 9) ");
    const QByteArray bytes(static_cast<const char*>(buffer), count);
    wire += bytes;
    writes << bytes;
    pendingFrame_ += bytes;
    // The checksum leaves in a write of its own: a frame is complete after it.
    if (count == 2 && pendingFrame_.size() >= 8) {
        frames << pendingFrame_;
        if (responder) input += responder(pendingFrame_);
        pendingFrame_.clear();
    }
    return count;
}

void FakeLine::deliverDue() {
    for (int i = 0; i < later.size();) {
        if (later[i].atUs <= nowUs) {
            input += later[i].bytes;
            later.removeAt(i);
        } else {
            ++i;
        }
    }
}

int FakeLine::Read(void* buffer, int count) {
    if (!open) throw std::runtime_error("Read error (Error: 9) ");
    deliverDue();
    const int n = std::min(count, int(input.size()));
    memcpy(buffer, input.constData(), size_t(n));
    input.remove(0, n);
    return n;
}

int FakeLine::InQueueCount() {
    deliverDue();
    return open ? int(input.size()) : -1;
}

QByteArray readerFrame(const char* code, int reader, const QByteArray& data) {
    QByteArray f;
    f.append('\x02');
    f.append(char(reader + 0x20));
    f.append(char(code[0] + 0x20));
    f.append(char(code[1] + 0x20));
    f.append(char(data.size() + 3 + 0x20));
    for (char c : data) f.append(char(quint8(c) + 0x20));
    f.append('\x03');
    quint8 sum = 0;
    for (int i = 1; i < f.size(); ++i) sum = quint8(sum + quint8(f.at(i)));
    f.append(char(0x20 + (sum >> 4)));
    f.append(char(0x20 + (sum & 0x0F)));
    return f;
}

LinkEnv virtualTimeEnv(FakeLine& line, std::function<void(bool)> pump) {
    return LinkEnv{[pump](bool more) {
                       if (pump) pump(more);
                   },
                   [&line](std::int64_t us) { line.nowUs += us; }, [&line] { return line.nowUs; }};
}
