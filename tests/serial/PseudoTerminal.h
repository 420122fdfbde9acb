// A pseudo-terminal pair standing in for the readers' line: the component opens the slave by its
// path, the test plays the far end on the master.
#pragma once

#include <QByteArray>

#include <string>
#include <termios.h>

class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // False when the pair could not be made; the other members then do nothing useful.
    bool isValid() const { return master_ >= 0; }
    const std::string& slavePath() const { return slavePath_; }

    // The line settings as the slave holds them.
    termios settings() const;
    void setSettings(const termios& tio);

    // Writes all of bytes from the far end.
    bool send(const QByteArray& bytes);
    // What the far end has received, up to count bytes, waiting at most timeoutMs for them.
    QByteArray receive(int count, int timeoutMs);
    // The far end goes away: the slave sees a hang-up.
    void hangUp();

private:
    int master_ = -1;
    std::string slavePath_;
};
