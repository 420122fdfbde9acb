#include "FixedAmounts.h"

#include "ReaderLink.h"

namespace {
constexpr char kPortTestText[] =
    "\x20\xc5\xeb\xbd\xc5\xc6\xf7\xc6\xae\xbd\xc3\xc7\xe8\xc0\xd4\xb4\xcf\xb4\xd9";
constexpr int kGrowingTestPauseMs = 1000;
constexpr int kNibblePasses = 5;
constexpr int kNibbleTestPauseMs = 500;
} // namespace

QByteArray fixedAmountHead(const FixedAmountLine& line) {
    const char head[] = {'\x02', '\x23', '\x50', char(line.id), '\x00'};
    return QByteArray(head, sizeof head);
}

QByteArray fixedAmountTail() {
    return QByteArray(1, '\xFF');
}

void sendFixedAmount(ReaderLink& link, const FixedAmountLine& line) {
    link.WriteRaw(fixedAmountHead(line));
    link.WriteRaw(line.text);
    link.WriteRaw(fixedAmountTail());
}

QByteArray portTestText() {
    return QByteArray(kPortTestText, sizeof kPortTestText - 1);
}

void runGrowingTextTest(ReaderLink& link) {
    const QByteArray text = portTestText();
    for (int n = 1; n <= text.size(); ++n) {
        link.WriteRaw(text.left(n));
        link.PauseAfterRequest(kGrowingTestPauseMs);
    }
}

void runNibbleTest(ReaderLink& link) {
    for (int pass = 0; pass < kNibblePasses; ++pass)
        for (int i = 1; i <= 9; ++i) {
            const char pair[] = {'\x0F', char(i * 16)};
            link.WriteRaw(QByteArray(pair, sizeof pair));
            link.PauseAfterRequest(kNibbleTestPauseMs);
        }
}
