#include "FrameCodec.h"

namespace {
constexpr quint8 STX = 0x02;
constexpr quint8 kOffset = 0x20;
} // namespace

CheckedFrame checkFrame(const quint8* raw, int got) {
    CheckedFrame f;
    f.stx = got >= 1 && raw[0] == STX;
    if (got >= 2) f.address = quint8(raw[1] - kOffset);
    if (got >= 4) {
        const char code[2] = {char(quint8(raw[2] - kOffset)), char(quint8(raw[3] - kOffset))};
        f.code = QByteArray(code, 2);
    }
    if (got < 5) return f;
    f.length = quint8(raw[4] - kOffset);
    const int L = f.length;
    if (!f.stx || L < 3 || L + 5 > got) return f;
    quint8 sum = 0;
    for (int i = 1; i <= L + 2; ++i) sum = quint8(sum + raw[i]);
    f.whole = raw[L + 3] == quint8(kOffset + (sum >> 4)) && raw[L + 4] == quint8(kOffset + (sum & 0x0F));
    if (f.whole)
        for (int i = 5; i < L + 2; ++i) f.data.append(char(quint8(raw[i] - kOffset)));
    return f;
}
