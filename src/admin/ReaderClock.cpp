#include "ReaderClock.h"

#include "Formats.h"
#include "ReaderLink.h"

namespace {
const QString kSilentCheck = QStringLiteral("    응답이 없습니다");
const QString kSilentSet = QStringLiteral("  응답이 없습니다");
const QString kBadAnswer = QStringLiteral("   수신데이터 에러");
constexpr int kAnswerWaitMs = 200;
constexpr int kClockL = kClockBlockSize + 3;
} // namespace

QByteArray clockBlock(const ClockSnapshot& clock) {
    const auto year = ReaderLink::YearToBcd(quint16(clock.year));
    QByteArray block;
    block.append(char(year[0]));
    block.append(char(year[1]));
    for (int part : {clock.month, clock.day, clock.dayOfWeek, clock.hour, clock.minute, clock.second})
        block.append(char(ReaderLink::ToBcd(quint8(part))));
    return block;
}

QString computerClockText(const ClockSnapshot& clock) {
    return QString::number(clock.year) + '.' + twoDigits(clock.month) + '.' + twoDigits(clock.day) + ' ' +
           twoDigits(clock.hour) + ':' + twoDigits(clock.minute) + ':' + twoDigits(clock.second) + ' ';
}

QString readerClockText(const QByteArray& block) {
    const auto digits = [&block](int i) { return ReaderLink::ByteToDigits(quint8(block.at(i))); };
    return digits(0) + digits(1) + '.' + digits(2) + '.' + digits(3) + ' ' + digits(5) + ':' + digits(6) +
           ':' + digits(7);
}

Reply readReaderClock(ReaderLink& link, int reader) {
    link.SendFrame("B0", reader);
    link.AwaitAnswer(kAnswerWaitMs);
    return link.ReadReply(kClockL, "B0", reader);
}

Reply setReaderClock(ReaderLink& link, int reader, const QByteArray& block) {
    Q_ASSERT(block.size() == kClockBlockSize);
    link.SendDataFrame("B1", block, reader);
    link.AwaitAnswer(kAnswerWaitMs);
    return link.ReadReply(kClockL, "B0", reader);
}

QString clockCheckText(const Reply& reply) {
    switch (reply.status) {
    case Reply::Held:
        return QStringLiteral("   ") + ReaderLink::heldText();
    case Reply::NoAnswer:
        return kSilentCheck;
    case Reply::Good:
        return QStringLiteral("  ") + readerClockText(reply.data);
    default:
        return kBadAnswer;
    }
}

QString clockSetText(const Reply& reply) {
    switch (reply.status) {
    case Reply::Held:
        return QStringLiteral("   ") + ReaderLink::heldText();
    case Reply::NoAnswer:
        return kSilentSet;
    case Reply::Good:
        return readerClockText(reply.data);
    default:
        return kBadAnswer;
    }
}
