// The simulator as a program of its own, qrx-reader-sim, serving its readers on a pseudo-terminal
// that the port name COM2 stands for — the way a site's line looks to the programs: on Linux a
// link COM2 in the working directory; under Wine the prefix's dosdevices/com2, which Wine opens
// for \\.\COM2 and whose termios it sets from the DCB, so that the line model sees the speed and
// framing the program set. Under Wine the simulator is the Linux build's, started through
// /bin/sh as Wine starts any Unix program (its path in QRX_LINUX_READER_SIM).
//
// Its memory (the --state file) and its output (every frame it received, every punch) are kept in
// the given folder, so that a test can look at them and a restart takes up where it was.
#pragma once

#include <QString>
#include <QStringList>

class SimProcess {
public:
    explicit SimProcess(const QString& folder);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts the simulator with args (beside --link, --state and --punch-log); true once it
    // serves the line, false when it has not after 15 s.
    bool start(const QStringList& args);
    // Kills it (SIGKILL, as a pulled adapter looks to the program), leaves its link pointing at
    // nothing, and returns once it is gone.
    void kill();

    QString output() const;
    // The two command characters of every frame reader `id` received, in order.
    QStringList commands(int id) const;
    // The readers' memory as the simulator last kept it: field `name` of reader `id` ("records",
    // "uploaded", "customers", ...), its words.
    QStringList stateField(int id, const QString& name) const;
    // The punch log: "RR SSSSSS" a line.
    QStringList punches() const;

private:
    QString folder_;
    qint64 pid_ = 0;
};

// The platform's part (SimProcessPosix.cpp, SimProcessWin32.cpp).
namespace simhost {
// The program that runs a shell command line: "/bin/sh", or what Wine calls it.
QString shell();
// The path of one of this program's files as the Linux simulator sees it, and back.
QString unixPath(const QString& hostPath);
QString hostPathOfUnix(const QString& unixPath);
// The Linux simulator's program path.
QString simProgram();
// Whether the program runs under Wine, which does not keep a device's share mode: a second open
// of a port that is open with share mode 0 succeeds there, where Windows refuses it.
bool underWine();
// Where the link the port name COM2 stands for is made (a Unix path), and its name.
QString linkFolder();
QString linkName();
} // namespace simhost
