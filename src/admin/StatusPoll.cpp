#include "StatusPoll.h"

#include "ReaderLink.h"

namespace {
const QString kWorking = QStringLiteral("  통신성공 - 정상작동중");
const QString kOddStatus = QStringLiteral("    수신 데이터 이상");
const QString kSilent = QStringLiteral("  리더가 응답이없습니다");
const QString kBadAnswer = QStringLiteral("     수신데이터 에러");
constexpr int kAnswerWaitMs = 300;
} // namespace

Reply pollStatus(ReaderLink& link, int reader) {
    link.SendFrame("A0", reader);
    link.AwaitAnswer(kAnswerWaitMs);
    return link.ReadReply(4, "A0", reader);
}

QString statusText(const Reply& reply) {
    switch (reply.status) {
    case Reply::Held:
        return QStringLiteral("   ") + ReaderLink::heldText();
    case Reply::NoAnswer:
        return kSilent;
    case Reply::Good:
        return reply.byte(0) == kReaderNormal ? kWorking : kOddStatus;
    default:
        return kBadAnswer;
    }
}
