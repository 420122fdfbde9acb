#include "CollectLog.h"

#include <QDateTime>

#include <cstdio>
#include <cstdlib>

CollectLog::CollectLog(std::function<void(const QString& line)> sink)
    : sink_(std::move(sink)), stamped_(!std::getenv("JOURNAL_STREAM")) {}

void CollectLog::operator()(const QString& text) const {
    if (sink_) {
        sink_(text);
        return;
    }
    const QString line =
        stamped_ ? QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + text
                 : text;
    std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    std::fflush(stderr);
}
