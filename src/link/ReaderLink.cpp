#include "ReaderLink.h"

#include "Prompts.h"

#include <QLoggingCategory>

#include <algorithm>

Q_LOGGING_CATEGORY(lcLink, "qrx.link", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLinkRaw, "qrx.link.raw", QtWarningMsg)

namespace {
const QString kNoticeCaption = QStringLiteral("에러");
const QString kPollCaption = QStringLiteral("에러발생");
constexpr quint8 STX = 0x02;
constexpr quint8 ETX = 0x03;
constexpr quint8 kOffset = 0x20;
constexpr int kAwaitRounds = 41;
constexpr int kAwaitRoundMs = 5;
constexpr int kPollWaitMs = 100;
constexpr int kSettleMarginMs = 3;

bool commandIs(const quint8* decoded, const char* command) {
    return decoded[0] == quint8(command[0]) && decoded[1] == quint8(command[1]);
}
} // namespace

ReaderLink::ReaderLink(CommLine& comm, LinkEnv env) : Comm(comm), env_(std::move(env)) {}

void ReaderLink::writeBytes(const QByteArray& bytes) {
    qCDebug(lcLinkRaw) << "out" << bytes.toHex(' ');
    Comm.Write(bytes.constData(), int(bytes.size()));
}

void ReaderLink::SendChecksum() {
    writeBytes(ChecksumChars());
}

QByteArray ReaderLink::ChecksumChars() const {
    const quint8 sum = quint8(Checksum & 0xFF);
    QByteArray chars(2, '\0');
    chars[0] = char(kOffset + (sum >> 4));
    chars[1] = char(kOffset + (sum & 0x0F));
    return chars;
}

void ReaderLink::SendFrame(const char* command, int reader) {
    SendDataFrame(command, 3, nullptr, reader);
}

void ReaderLink::SendDataFrame(const char* command, int L, const quint8* data, int reader) {
    Q_ASSERT(L >= 3 && L + 3 <= kReplyBufferSize && L + kOffset <= 0xFF);
    ClearInput();
    QByteArray body;
    body.reserve(L + 3);
    body.append(char(STX));
    body.append(char(quint8(reader + kOffset)));
    body.append(char(quint8(command[0] + kOffset)));
    body.append(char(quint8(command[1] + kOffset)));
    body.append(char(quint8(L + kOffset)));
    for (int i = 0; i < L - 3; ++i) body.append(char(quint8(data[i] + kOffset)));
    body.append(char(ETX));
    writeBytes(body);
    Checksum = 0;
    for (int i = 1; i < body.size(); ++i) AddChecksum(quint8(body.at(i)));
    SendChecksum();
}

void ReaderLink::SendDataFrame(const char* command, const QByteArray& data, int reader) {
    SendDataFrame(command, int(data.size()) + 3, reinterpret_cast<const quint8*>(data.constData()), reader);
}

QString ReaderLink::ByteToDigits(quint8 b) {
    const QChar digits[2] = {QChar(char16_t('0' + (b >> 4))), QChar(char16_t('0' + (b & 0x0F)))};
    return QString(digits, 2);
}

quint8 ReaderLink::ToBcd(quint8 v) {
    return quint8(((v / 10) << 4) | (v % 10));
}

std::array<quint8, 2> ReaderLink::YearToBcd(quint16 year) {
    return {quint8(((year / 1000) << 4) | ((year % 1000) / 100)),
            quint8((((year % 100) / 10) << 4) | (year % 10))};
}

// Reads whatever is pending into buffer (at most capacity bytes) and drops the rest, so that a
// flood of input never overruns the buffer and never survives into the next exchange.
int ReaderLink::readPending(quint8* buffer, int capacity) {
    int pending = Comm.InQueueCount();
    int got = 0;
    if (pending < 0) return Comm.Read(buffer, capacity); // closed: the port raises its read error
    while (pending > 0) {
        if (got < capacity) {
            const int n = Comm.Read(buffer + got, std::min(pending, capacity - got));
            if (n <= 0) break;
            got += n;
        } else {
            quint8 scratch[kScratchSize];
            if (Comm.Read(scratch, std::min(pending, kScratchSize)) <= 0) break;
        }
        pending = Comm.InQueueCount();
    }
    qCDebug(lcLinkRaw) << "in" << QByteArray(reinterpret_cast<const char*>(buffer), got).toHex(' ');
    return got;
}

void ReaderLink::ClearInput() {
    if (Comm.InQueueCount() == 0) return;
    quint8 scratch[kScratchSize];
    readPending(scratch, kScratchSize);
}

bool ReaderLink::WaitTicks(int n) {
    TickCount = 0;
    while (TickCount <= n) env_.processEvents(true);
    return Comm.InQueueCount() != 0;
}

bool ReaderLink::AwaitInput(int ms, int answerBytes) {
    int settle = ms;
    if (bitsPerSecond_ > 0 && answerBytes > 1) {
        // The first byte was seen within the last round; the others follow at the byte rate.
        const int restMs = ((answerBytes - 1) * 10 * 1000 + bitsPerSecond_ - 1) / bitsPerSecond_;
        settle = std::max(ms, restMs + kSettleMarginMs);
    }
    for (int round = 0; round < kAwaitRounds; ++round) {
        env_.processEvents(false);
        env_.sleep(kAwaitRoundMs);
        if (Comm.InQueueCount() > 0) {
            env_.sleep(settle);
            return true;
        }
    }
    return false;
}

Reply ReaderLink::ReadReply(int L, const char* command, int reader) {
    Reply reply;
    const int count = Comm.InQueueCount();
    if (count == 0) return reply;
    quint8 buf[kReplyBufferSize] = {};
    readPending(buf, kReplyBufferSize);
    if (buf[0] != STX) {
        reply.status = '5';
        return reply;
    }
    Checksum = 0;
    for (int i = 1; i <= L + 2; ++i) {
        AddChecksum(buf[i]);
        buf[i] = quint8(buf[i] - kOffset);
    }
    if (buf[1] != quint8(reader)) {
        reply.status = '6';
    } else if (const QByteArray sum = ChecksumChars();
               quint8(sum[0]) == buf[L + 3] && quint8(sum[1]) == buf[L + 4] && commandIs(buf + 2, command)) {
        reply.status = '1';
        reply.data = QByteArray(reinterpret_cast<const char*>(buf + 5), L - 3);
    } else if (commandIs(buf + 2, "N0")) {
        reply.status = '3';
    } else if (commandIs(buf + 2, "C6")) {
        reply.status = 'A';
    } else if (commandIs(buf + 2, "C7")) {
        reply.status = 'B';
    } else if (commandIs(buf + 2, "N1")) {
        reply.status = 'C';
    } else {
        reply.status = count == L + 5 ? '2' : '4';
    }
    qCDebug(lcLink) << "reply" << command << "reader" << reader << "status" << reply.status;
    return reply;
}

int ReaderLink::ReadWriteAck(const char* command) {
    if (Comm.InQueueCount() == 0) return 0;
    quint8 buf[kAckBufferSize] = {};
    readPending(buf, kAckBufferSize);
    Checksum = 0;
    for (int i = 1; i <= 5; ++i) {
        AddChecksum(buf[i]);
        buf[i] = quint8(buf[i] - kOffset);
    }
    const QByteArray sum = ChecksumChars();
    int result = 2;
    if (quint8(sum[0]) == buf[6] && quint8(sum[1]) == buf[7]) {
        if (commandIs(buf + 2, command))
            result = 1;
        else if (commandIs(buf + 2, "N0"))
            result = 3;
        else if (commandIs(buf + 2, "N2"))
            result = 4;
        else if (commandIs(buf + 2, "N3"))
            result = 5;
        else if (commandIs(buf + 2, "N4"))
            result = 6;
        else if (commandIs(buf + 2, "D9"))
            result = 7;
    }
    qCDebug(lcLink) << "ack" << command << "result" << result;
    return result;
}

QString ReaderLink::writeAckText(int result) {
    switch (result) {
    case 0:
        return QStringLiteral("응답이 없습니다");
    case 1:
        return {};
    case 3:
        return QStringLiteral("제전송요청!");
    case 4:
        return QStringLiteral("중복된 번호이거나 최대고객수가 초과되었습니다!");
    case 5:
        return QStringLiteral("삭제불가-존재하지 않는 고객입니다");
    case 6:
        return QStringLiteral("변경불가-존재하지 않는 고객입니다");
    case 7:
        return QStringLiteral("리더 메모리부족 - 다운로드건수를 줄이십시요");
    default:
        return QStringLiteral("리더데이터가 부정확합니다");
    }
}

int ReaderLink::ReportWriteAck(const char* command) {
    const int result = ReadWriteAck(command);
    if (result == 1) return 1;
    ShowNotice(writeAckText(result));
    return 0;
}

void ReaderLink::ShowNotice(const QString& text) {
    prompts().message(text, kNoticeCaption, Prompts::Icon::Warning);
}

bool ReaderLink::CheckReaders() {
    bool failed[12] = {};
    const int count = std::clamp(ReaderCount, 0, 12);
    bool anyFailed = false;
    for (int reader = 1; reader <= count; ++reader) {
        SendFrame("A0", reader);
        env_.sleep(kPollWaitMs);
        if (ReadReply(4, "A0", reader).status != '1') failed[reader - 1] = anyFailed = true;
    }
    if (!anyFailed) return false;
    return !prompts().confirm(readerErrorQuestion(failed, count), kPollCaption, Prompts::Icon::Error);
}

QString readerErrorQuestion(const bool* failed, int count) {
    QString text = QStringLiteral("현재 ");
    for (int i = 0; i < count; ++i)
        if (failed[i]) text += QStringLiteral(" %1번").arg(i + 1);
    return text + QStringLiteral("리더에서 에러가 검출되었습니다, 그래도 진행하겠습니까?");
}
