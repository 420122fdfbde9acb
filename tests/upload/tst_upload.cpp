#include "UploadTests.h"

#include "AppFonts.h"
#include "ClockSnapshot.h"
#include "HostPaths.h"
#include "PunchRecord.h"
#include "ReaderPanel.h"
#include "SimStation.h"
#include "UploadDialog.h"
#include "UploadFiles.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

QStringList storedLines(SimStation& station, int reader) {
    QStringList out;
    for (const sim::RecordBytes& r :
         station.line.withReader(reader, [](sim::Reader& x) { return x.records(); }))
        out << fileLine(reader, r);
    return out;
}

QString todayBase(char prefix) {
    const ClockSnapshot now = ClockSnapshot::now();
    return hostPath(UploadFileName(prefix, now.year, now.month, now.day)).chopped(4);
}

void prepare(UploadDialog* dialog, int reader, bool folder) {
    if (folder) QDir().mkdir(QStringLiteral("DATA2"));
    dialog->show();
    if (reader == 0)
        dialog->panel->RadioGroup1Click(1);
    else
        dialog->panel->TSBAR->setValue(reader);
}

void pressWhen(const std::function<bool()>& cond, QAbstractButton* button) {
    auto* timer = new QTimer(button);
    QElapsedTimer clock;
    clock.start();
    QObject::connect(timer, &QTimer::timeout, [timer, cond, button, clock] {
        if (!cond() && clock.elapsed() < kPressDeadlineMs) return;
        timer->stop();
        button->click();
    });
    timer->start(5);
}

int openDescriptorsOf(const QString& path) {
    const QString wanted = QFileInfo(path).absoluteFilePath();
    int count = 0;
    for (const QFileInfo& fd :
         QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System | QDir::AllEntries))
        if (fd.symLinkTarget() == wanted) ++count;
    return count;
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    installProgramFonts();
    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == QLatin1String("--online-victim"))
        return runOnlineVictim(args.at(2), args.at(3).toInt());
    return runRecordTests(argc, argv) + runExchangeTests(argc, argv) + runBatchTests(argc, argv) +
           runOnlineTests(argc, argv) + runRealLineTests(argc, argv) + runEraseTests(argc, argv);
}
