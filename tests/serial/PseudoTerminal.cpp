#include "PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

PseudoTerminal::PseudoTerminal() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0) return;
    const char* name = (grantpt(master) == 0 && unlockpt(master) == 0) ? ptsname(master) : nullptr;
    if (!name) {
        ::close(master);
        return;
    }
    slavePath_ = name;
    master_ = master;
    // Raw once, before anyone uses the line, so that nothing the test sends is echoed back.
    termios tio = settings();
    cfmakeraw(&tio);
    setSettings(tio);
}

PseudoTerminal::~PseudoTerminal() {
    hangUp();
}

// The master's terminal requests reach the slave's settings.
termios PseudoTerminal::settings() const {
    termios tio{};
    tcgetattr(master_, &tio);
    return tio;
}

void PseudoTerminal::setSettings(const termios& tio) {
    tcsetattr(master_, TCSANOW, &tio);
}

bool PseudoTerminal::send(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{master_, POLLOUT, 0};
            if (poll(&p, 1, 1000) <= 0) return false;
        } else if (!(n < 0 && errno == EINTR)) {
            return false;
        }
    }
    return true;
}

QByteArray PseudoTerminal::receive(int count, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    QByteArray got;
    char buffer[4096];
    while (got.size() < count) {
        const ssize_t n =
            ::read(master_, buffer, std::min<size_t>(sizeof buffer, size_t(count - got.size())));
        if (n > 0) {
            got.append(buffer, n);
            continue;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, int(left)) > 0 && !(p.revents & POLLIN)) break; // nobody has the slave open
    }
    return got;
}

void PseudoTerminal::hangUp() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}
