#include "CollectState.h"

#include "CollectPlatform.h"
#include "Formats.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>

const char* const CollectState::kFileName = "qrx-collect.state";

namespace {
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QString when(const QDateTime& t) {
    return t.toString(kTimeFormat);
}
} // namespace

CollectState::CollectState(const QString& workDir, int readers)
    : path_(QDir(workDir).filePath(QString::fromLatin1(kFileName))), count_(readers) {}

QString CollectState::write(const QDateTime& now, bool running) const {
    QString text =
        running ? QStringLiteral("pid %1, noted %2\n").arg(QCoreApplication::applicationPid()).arg(when(now))
                : QStringLiteral("stopped, noted %1\n").arg(when(now));
    text += QStringLiteral("port %1\n").arg(port_);
    for (int id = 1; id <= count_; ++id) {
        const ReaderNote& r = readers_[std::size_t(id)];
        QString heard = r.silentSince.isValid() ? QStringLiteral("silent since ") + when(r.silentSince)
                        : r.heard.isValid()     ? QStringLiteral("last heard ") + when(r.heard)
                                                : QStringLiteral("not heard yet");
        text += QStringLiteral("reader %1: %2, %3 records today, last sequence %4, holds %5\n")
                    .arg(twoDigits(id), heard)
                    .arg(r.recordsToday)
                    .arg(r.lastSeq < 0 ? QStringLiteral("none") : sixDigits(r.lastSeq))
                    .arg(r.count < 0
                             ? QStringLiteral("? records (not counted yet)")
                             : QStringLiteral("%1 records (counted %2)").arg(r.count).arg(when(r.countAt)));
        if (!r.erase.isEmpty()) text += QStringLiteral("  last erase: ") + r.erase + QLatin1Char('\n');
    }
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
        return file.errorString();
    return {};
}

QString statusReport(const QString& workDir, bool& found) {
    QFile file(QDir(workDir).filePath(QString::fromLatin1(CollectState::kFileName)));
    found = file.open(QIODevice::ReadOnly);
    if (!found) return QStringLiteral("no collector has run in %1 (%2)").arg(workDir, file.errorString());
    const QString text = QString::fromUtf8(file.readAll());
    // "pid 1234, ..." while it runs; a collector that died without a word left its pid behind.
    const qint64 pid = text.startsWith(QLatin1String("pid "))
                           ? text.section(QLatin1Char(','), 0, 0).section(QLatin1Char(' '), 1).toLongLong()
                           : 0;
    const QString running =
        processRuns(pid) ? QStringLiteral("running (pid %1)").arg(pid) : QStringLiteral("not running");
    return QStringLiteral("qrx-collect in %1: %2\n").arg(workDir, running) + text;
}
