#include "SimProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

namespace {
QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The shell starts the simulator in the background and notes its process id, so that the same
// two lines work where the caller cannot wait for a Unix process (Wine).
const char* const kLaunch =
    "cd \"$1\" || exit 1; out=$2; pid=$3; shift 3; \"$@\" >\"$out\" 2>&1 & echo $! >\"$pid\"";

// A process that is gone, or a zombie that nobody reaps yet (in a container without init).
bool gone(qint64 pid) {
    const QString stat = readText(simhost::hostPathOfUnix(QStringLiteral("/proc/%1/stat").arg(pid)));
    return stat.isEmpty() || stat.section(QLatin1Char(')'), 1).trimmed().startsWith(QLatin1Char('Z'));
}
} // namespace

SimProcess::SimProcess(const QString& folder) : folder_(folder) {}

SimProcess::~SimProcess() {
    kill();
}

bool SimProcess::start(const QStringList& args) {
    kill();
    const QDir dir(folder_);
    QFile::remove(dir.filePath(QStringLiteral("sim.pid")));
    QFile::remove(dir.filePath(QStringLiteral("sim.out")));
    const QString unixFolder = simhost::unixPath(folder_);
    if (unixFolder.isEmpty() || simhost::simProgram().isEmpty() || simhost::linkFolder().isEmpty())
        return false;
    const QStringList sim = QStringList{simhost::simProgram(),
                                        QStringLiteral("--link"),
                                        simhost::linkName(),
                                        QStringLiteral("--state"),
                                        unixFolder + QStringLiteral("/sim.state"),
                                        QStringLiteral("--punch-log"),
                                        unixFolder + QStringLiteral("/punches")} +
                            args;
    QStringList shellArgs{QStringLiteral("-c"),
                          QString::fromLatin1(kLaunch),
                          QStringLiteral("sh"),
                          simhost::linkFolder(),
                          unixFolder + QStringLiteral("/sim.out"),
                          unixFolder + QStringLiteral("/sim.pid")};
    if (!QProcess::startDetached(simhost::shell(), shellArgs + sim)) return false;
    QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        if (pid_ == 0) pid_ = readText(dir.filePath(QStringLiteral("sim.pid"))).trimmed().toLongLong();
        if (pid_ > 0 && output().contains(QLatin1String(" readers on "))) return true;
        if (pid_ > 0 && gone(pid_)) return false;
        QThread::msleep(20);
    }
    return false;
}

// The link is pointed at nothing first, as a pulled adapter's port goes: left behind, it would
// lead to whatever pseudo-terminal gets the number next, another test's line perhaps (and without
// a link the port name would stand for a built-in port). The shell notes when it is done.
void SimProcess::kill() {
    if (pid_ <= 0) return;
    const QString done = QDir(folder_).filePath(QStringLiteral("sim.killed"));
    QFile::remove(done);
    const QString link = simhost::linkFolder() + QLatin1Char('/') + simhost::linkName();
    QProcess::startDetached(simhost::shell(), {QStringLiteral("-c"),
                                               QStringLiteral("ln -sfn /nonexistent/qrx-reader-sim \"$1\"; "
                                                              "kill -9 %1; : >\"$2\"")
                                                   .arg(pid_),
                                               QStringLiteral("sh"), link,
                                               simhost::unixPath(folder_) + QStringLiteral("/sim.killed")});
    QDeadlineTimer deadline(10000);
    while (!(QFile::exists(done) && gone(pid_)) && !deadline.hasExpired()) QThread::msleep(20);
    pid_ = 0;
}

QString SimProcess::output() const {
    return readText(QDir(folder_).filePath(QStringLiteral("sim.out")));
}

// "reader 01  C1  0221...": the id, the command, the frame.
QStringList SimProcess::commands(int id) const {
    static const QRegularExpression frame(QStringLiteral("^reader (\\d\\d)  ([A-Z][0-9])  "));
    QStringList out;
    for (const QString& line : output().split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = frame.match(line);
        if (m.hasMatch() && m.captured(1).toInt() == id) out << m.captured(2);
    }
    return out;
}

QStringList SimProcess::stateField(int id, const QString& name) const {
    int reader = 0;
    for (const QString& line : readText(QDir(folder_).filePath(QStringLiteral("sim.state"))).split('\n')) {
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.isEmpty()) continue;
        if (words.first() == QLatin1String("reader") && words.size() == 2) reader = words.at(1).toInt();
        if (reader == id && words.first() == name) return words.mid(1);
    }
    return {};
}

QStringList SimProcess::punches() const {
    return readText(QDir(folder_).filePath(QStringLiteral("punches"))).split('\n', Qt::SkipEmptyParts);
}
