#include "FixedAmounts.h"

#include "CommLine.h"

namespace {
constexpr char kPortTestText[] =
    "\x20\xc5\xeb\xbd\xc5\xc6\xf7\xc6\xae\xbd\xc3\xc7\xe8\xc0\xd4\xb4\xcf\xb4\xd9";
constexpr int kGrowingTestPauseMs = 1000;
constexpr int kNibblePasses = 5;
constexpr int kNibbleTestPauseMs = 500;

void write(CommLine& comm, const QByteArray& bytes) {
    comm.Write(bytes.constData(), int(bytes.size()));
}
} // namespace

QByteArray fixedAmountHead(const FixedAmountLine& line) {
    const char head[] = {'\x02', '\x23', '\x50', char(line.id), '\x00'};
    return QByteArray(head, sizeof head);
}

QByteArray fixedAmountTail() {
    return QByteArray(1, '\xFF');
}

void sendFixedAmount(CommLine& comm, const FixedAmountLine& line) {
    write(comm, fixedAmountHead(line));
    write(comm, line.text);
    write(comm, fixedAmountTail());
}

QByteArray portTestText() {
    return QByteArray(kPortTestText, sizeof kPortTestText - 1);
}

void runGrowingTextTest(CommLine& comm, const std::function<void(int ms)>& sleep) {
    const QByteArray text = portTestText();
    for (int n = 1; n <= text.size(); ++n) {
        write(comm, text.left(n));
        sleep(kGrowingTestPauseMs);
    }
}

void runNibbleTest(CommLine& comm, const std::function<void(int ms)>& sleep) {
    for (int pass = 0; pass < kNibblePasses; ++pass)
        for (int i = 1; i <= 9; ++i) {
            const char pair[] = {'\x0F', char(i * 16)};
            write(comm, QByteArray(pair, sizeof pair));
            sleep(kNibbleTestPauseMs);
        }
}
