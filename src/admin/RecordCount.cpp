#include "RecordCount.h"

#include "ReaderLink.h"

namespace {
const QString kCountSilent = QStringLiteral(" 응답이 없음");
const QString kCountBad = QStringLiteral(" 데이터 에러");
const QString kCountUnit = QStringLiteral("건");
const QString kDeleted = QStringLiteral("수집자료가 삭제되었습니다");
const QString kDeleteSilent = QStringLiteral("    응답이 없습니다");
const QString kDeleteBad = QStringLiteral("    수신데이터 에러");
constexpr int kCountBytes = 3;
} // namespace

Reply askRecordCount(ReaderLink& link, int reader) {
    link.SendFrame("C4", reader);
    link.WaitTicks(3);
    return link.ReadReply(kCountBytes + 3, "C4", reader);
}

QString recordCountText(const Reply& reply) {
    switch (reply.status) {
    case Reply::NoAnswer:
        return kCountSilent;
    case Reply::Held:
        return QLatin1Char(' ') + ReaderLink::heldText();
    case Reply::Good: {
        QString text = QStringLiteral("  ");
        for (int i = 0; i < kCountBytes; ++i) text += ReaderLink::ByteToDigits(reply.byte(i));
        return text + kCountUnit;
    }
    default:
        return kCountBad;
    }
}

QString deleteResultText(int ackResult) {
    switch (ackResult) {
    case AckNone:
        return kDeleteSilent;
    case AckDone:
        return kDeleted;
    default:
        return kDeleteBad;
    }
}
