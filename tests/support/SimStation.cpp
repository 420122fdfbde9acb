#include "SimStation.h"

#include "PunchRecord.h"
#include "RecordExchange.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <QtTest>

SimStation::SimStation(int readers, int configured, TBaudrate rate)
    : line(readers), link(Comm, qtLinkEnv()), timer(link), oldCwd_(QDir::currentPath()),
      oldHome_(qgetenv("HOME")) {
    QDir::setCurrent(workDir.path());
    qputenv("HOME", workDir.path().toUtf8());
    Comm.setDeviceName(line.devicePath());
    Comm.setBaudRate(rate);
    Comm.Open();
    link.setPortControl(PortControl{[this] { return Comm.isOpen(); }, [this] { Comm.Open(); },
                                    [this] {
                                        Comm.Close();
                                        ++linesLost;
                                    }});
    link.ReaderCount = configured < 0 ? readers : configured;
    // As the programs keep it: beside the settings, and settling owed readers for other jobs.
    link.attachLedger(workDir.filePath(QString::fromLatin1(OwedLedger::kFileName)), false);
    link.gate.setSettler(
        [this](int reader) { upload::settleForOtherJob(link, reader, QDate::currentDate()); });
    link.timing().follow(Comm);
    timer.followLine(link.timing());
}

SimStation::~SimStation() {
    Comm.Close();
    QDir::setCurrent(oldCwd_);
    qputenv("HOME", oldHome_);
}

QStringList SimStation::commands(int id) const {
    QStringList out;
    for (const sim::LineEvent& e : line.frames(id)) out << QString::fromStdString(e.code);
    return out;
}

QStringList SimStation::lineCommands() const {
    QStringList out;
    for (const sim::LineEvent& e : line.lineEvents())
        if (!e.code.empty()) out << QString::fromStdString(e.code);
    return out;
}

void SimStation::writeFile(const QString& relative, const QByteArray& bytes) const {
    const QString path = workDir.filePath(relative);
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

QByteArray SimStation::readFile(const QString& relative) const {
    QFile f(workDir.filePath(relative));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void addLineSpeedRows() {
    QTest::addColumn<int>("rate");
    for (const TBaudrate rate : {br1200, br2400, br4800, br9600, br19200})
        QTest::newRow(QByteArray::number(baudRateValue(rate)).constData()) << int(rate);
}

void addSlowAndFastRows() {
    QTest::addColumn<int>("rate");
    for (const TBaudrate rate : {br1200, br9600})
        QTest::newRow(QByteArray::number(baudRateValue(rate)).constData()) << int(rate);
}

QString fileLine(int reader, const sim::RecordBytes& record) {
    return FormatFileLine(reader, TPunchRecord::fromBytes(QByteArray(
                                      reinterpret_cast<const char*>(record.data()), int(record.size()))));
}

QStringList crlfLines(const QByteArray& bytes) {
    QStringList lines = QString::fromLatin1(bytes).split(QStringLiteral("\r\n"));
    if (!lines.takeLast().isEmpty() ||
        lines.join(QString()).contains(QRegularExpression(QStringLiteral("[\r\n]"))))
        QTest::qFail("a line does not end with CR LF", __FILE__, __LINE__);
    return lines;
}

bool waitFor(const std::function<bool()>& cond, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!cond()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}
