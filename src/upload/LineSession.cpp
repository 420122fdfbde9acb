#include "LineSession.h"

#include "CommInt.h"
#include "Formats.h"
#include "RecordExchange.h"
#include "UploadFiles.h"

#include <QDir>

LineSession::LineSession(ReaderLink& link, std::function<QDate()> today)
    : link_(link), today_(std::move(today)) {}

void LineSession::attachLedger(const QString& folder) {
    link_.gate.setSettler([this](int reader) { upload::settleForOtherJob(link_, reader, today_()); });
    link_.attachLedger(QDir(folder).filePath(QString::fromLatin1(OwedLedger::kFileName)),
                       !newestUploadFiles('A', 1).isEmpty() || !newestUploadFiles('B', 1).isEmpty());
}

int LineSession::waitBeforeRetry(const std::exception& error) {
    const auto* port = dynamic_cast<const ECommError*>(&error);
    return port && isLineMissing(*port) ? retry_.missingWaitMs() : retry_.nextWaitMs();
}

QString LineSession::gapNotice(int reader, int expected) {
    return twoDigits(reader) + QStringLiteral("번리더 ") + sixDigits(expected) +
           QStringLiteral("카운트 누락");
}
