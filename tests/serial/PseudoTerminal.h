// A pseudo-terminal pair standing in for the readers' line: the component opens the slave by its
// path, the test plays the far end on the master.
#pragma once

#include <QByteArray>

#include <fcntl.h>
#include <stdlib.h>
#include <string>
#include <termios.h>
#include <unistd.h>

class PseudoTerminal {
public:
    // A locked terminal refuses every open of its slave, as a device that is there but unusable.
    enum Lock { Unlocked, Locked };

    explicit PseudoTerminal(Lock lock = Unlocked) {
        const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        const char* name = master >= 0 && grantpt(master) == 0 && (lock == Locked || unlockpt(master) == 0)
                               ? ptsname(master)
                               : nullptr;
        if (!name) {
            if (master >= 0) ::close(master);
            return;
        }
        slavePath_ = name;
        master_ = master;
        // Raw once, before anyone uses the line, so that nothing the test sends is echoed back.
        termios tio = settings();
        cfmakeraw(&tio);
        setSettings(tio);
    }
    ~PseudoTerminal() { hangUp(); }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool isValid() const { return master_ >= 0; }
    const std::string& slavePath() const { return slavePath_; }

    // The line settings as the slave holds them.
    termios settings() const {
        termios tio{};
        tcgetattr(master_, &tio);
        return tio;
    }
    void setSettings(const termios& tio) { tcsetattr(master_, TCSANOW, &tio); }

    bool send(const QByteArray& bytes) {
        return ::write(master_, bytes.constData(), size_t(bytes.size())) == ssize_t(bytes.size());
    }

    // What the component has sent and the far end has not taken yet.
    QByteArray receive() {
        QByteArray got;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(master_, buffer, sizeof buffer)) > 0) got.append(buffer, qsizetype(n));
        return got;
    }

    // The far end goes away: the slave sees a hang-up.
    void hangUp() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    std::string slavePath_;
};
