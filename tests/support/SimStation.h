// A host station for end-to-end tests: simulated readers on a pseudo-terminal with the line
// model on (wire time both ways, a USB adapter's 16 ms bursts), the real serial port opened on it
// at the given speed, the reader link with the window's event pump and a running main timer,
// the port's owner as the main window is (a lost line closes the port, the next job reopens
// it), and scripted message boxes.
#pragma once

#include "CommInt.h"
#include "ReaderLink.h"
#include "ReaderSim.h"
#include "ScriptedPrompts.h"
#include "TickTimer.h"

#include <QTemporaryDir>

class SimStation {
public:
    // readers: readers present on the line; configured: the link's ReaderCount.
    explicit SimStation(int readers = 4, int configured = -1, TBaudrate rate = br9600);
    ~SimStation();

    sim::SimLine line;
    TComm Comm;
    ReaderLink link;
    TickTimer timer;
    ScriptedPrompts boxes;
    // A fresh working directory (and HOME) for the files of a test.
    QTemporaryDir workDir;

    // How often a lost line closed the port.
    int linesLost = 0;

    // Frames reader id received, as their two command characters, in order.
    QStringList commands(int id) const;
    // Every command on the line (broadcasts once), in order.
    QStringList lineCommands() const;
    QString filePath(const QString& relative) const { return workDir.filePath(relative); }
    void writeFile(const QString& relative, const QByteArray& bytes) const;
    QByteArray readFile(const QString& relative) const;

private:
    QString oldCwd_;
    QByteArray oldHome_;
};

// The rows of a test run at each line speed a site may set, slow and fast: a column "rate" with
// the TBaudrate value.
void addLineSpeedRows();
// The same at the slowest speed a site sets and the usual one: 1200 and 9600 bit/s.
void addSlowAndFastRows();

// The file line of a record a simulated reader holds.
QString fileLine(int reader, const sim::RecordBytes& record);
// The lines of a file whose every line ends with CR LF; fails the test on a bare or missing end.
QStringList crlfLines(const QByteArray& bytes);

// Pumps events until cond holds or timeoutMs passes.
bool waitFor(const std::function<bool()>& cond, int timeoutMs = 5000);
