#include "ReaderLink.h"

#include "CommInt.h"
#include "FrameCodec.h"
#include "Prompts.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <algorithm>
#include <chrono>
#include <thread>

Q_LOGGING_CATEGORY(lcLink, "qrx.link", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLinkRaw, "qrx.link.raw", QtWarningMsg)

namespace {
const QString kNoticeCaption = QStringLiteral("에러");
const QString kPollCaption = QStringLiteral("에러발생");
const char* const kLineLost =
    "통신선이 끊어졌습니다. 통신포트와 케이블(USB 어댑터)을 확인한 뒤 다시 실행하십시오.";
const char* const kLineBusy =
    "통신포트(%1)를 다른 프로그램이 사용하고 있습니다. 자동수집 서비스(qrx-collect)가 "
    "실행 중이면 먼저 멈춘 뒤 다시 실행하십시오.";
constexpr quint8 STX = 0x02;
constexpr quint8 ETX = 0x03;
constexpr quint8 kOffset = 0x20;
constexpr std::int64_t kMs = 1000;
// AwaitInput looks for the first byte for 41 rounds of 5 ms.
constexpr std::int64_t kAwaitFirstByteUs = 41 * 5 * kMs;
// How often a wait looks at the port, where the port cannot wake it when input comes.
constexpr std::int64_t kStepUs = 2 * kMs;
constexpr int kPollWaitMs = 100;
constexpr int kMaxReaders = 12;

// The length value of a frame as it stands on the wire (offset removed).
int lengthValue(quint8 wireByte) {
    return quint8(wireByte - kOffset);
}

} // namespace

LinkEnv qtLinkEnv() {
    return LinkEnv{[](bool waitForMore) {
                       QCoreApplication::processEvents(waitForMore ? QEventLoop::WaitForMoreEvents
                                                                   : QEventLoop::AllEvents);
                   },
                   [](std::int64_t us) { std::this_thread::sleep_for(std::chrono::microseconds(us)); },
                   {}};
}

ReaderLink::ReaderLink(CommLine& comm, LinkEnv env) : Comm(comm), env_(std::move(env)) {}

std::int64_t ReaderLink::now() const {
    if (env_.nowUs) return env_.nowUs();
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// A write may return before its bytes are on the wire (or, where the port waits for them, when
// they have left): either way they leave behind what was written before, at the line's speed.
void ReaderLink::writeBytes(const QByteArray& bytes) {
    qCDebug(lcLinkRaw) << "out" << bytes.toHex(' ');
    pause(heardUs_ + timing_.readerGapUs(), false);
    const std::int64_t start = std::max(now(), lineFreeUs_);
    Comm.Write(bytes.constData(), int(bytes.size()));
    lineFreeUs_ = std::max(start + timing_.wireUs(int(bytes.size())), now());
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
    held_ = !gate.admit(command, reader, ReaderCount);
    lastReader_ = reader;
    ClearInput();
    if (held_) return;
    gate.sent(command, reader);
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

bool ReaderLink::pull() {
    int queued = Comm.InQueueCount();
    bool grew = false;
    while (queued > 0) {
        quint8 chunk[kScratchSize];
        const int n = Comm.Read(chunk, std::min(queued, kScratchSize));
        if (n <= 0) break;
        const int room = kReplyBufferSize - int(rx_.size());
        if (room > 0) {
            rx_.append(reinterpret_cast<const char*>(chunk), std::min(n, room));
            grew = true;
        }
        queued = Comm.InQueueCount();
    }
    if (grew) lastInputUs_ = heardUs_ = now();
    return grew;
}

int ReaderLink::pending() {
    const int queued = Comm.InQueueCount();
    return queued < 0 ? queued : queued + int(rx_.size());
}

bool ReaderLink::answerComplete() const {
    if (rx_.size() < 5 || quint8(rx_.at(0)) != STX) return false;
    const int L = lengthValue(quint8(rx_.at(4)));
    return L >= 3 && rx_.size() >= L + 5;
}

int ReaderLink::takeInput(quint8* buffer, int capacity) {
    if (Comm.InQueueCount() < 0) return Comm.Read(buffer, capacity); // closed: the port raises
    pull();
    const int got = std::min(int(rx_.size()), capacity);
    std::copy_n(reinterpret_cast<const quint8*>(rx_.constData()), got, buffer);
    qCDebug(lcLinkRaw) << "in" << rx_.toHex(' ');
    rx_.clear();
    // A flood beyond the receive buffer was dropped by pull; whatever came since goes too.
    while (pull()) rx_.clear();
    return got;
}

void ReaderLink::ClearInput() {
    if (rx_.isEmpty() && Comm.InQueueCount() == 0) return;
    quint8 scratch[kScratchSize];
    takeInput(scratch, kScratchSize);
}

void ReaderLink::pause(std::int64_t untilUs, bool pumpEvents) {
    for (std::int64_t t = now(); t < untilUs; t = now()) {
        if (pumpEvents) env_.processEvents(false);
        env_.sleepUs(std::min(kStepUs, untilUs - t));
    }
}

void ReaderLink::idle(std::int64_t untilUs) {
    const std::int64_t us = std::clamp<std::int64_t>(untilUs - now(), 1, kStepUs);
    if (!Comm.WaitInput(us)) env_.sleepUs(us);
}

bool ReaderLink::receive(std::int64_t earliestUs, std::int64_t firstByteByUs, std::int64_t settleUs,
                         bool pumpEvents) {
    const std::int64_t quietUs = timing_.interByteMs() * kMs;
    // However the bytes trickle in, no answer takes longer than a full receive buffer on the wire.
    const std::int64_t longestUs = timing_.wireUs(kReplyBufferSize) + quietUs;
    bool seen = !rx_.isEmpty();
    std::int64_t firstUs = seen ? now() : 0;
    for (;;) {
        pull();
        const std::int64_t t = now();
        if (!rx_.isEmpty()) {
            if (!seen) {
                seen = true;
                firstUs = t;
            }
            const bool cutOff = t - lastInputUs_ >= quietUs && t - firstUs >= settleUs;
            const bool ended =
                answerComplete() || cutOff || t - firstUs >= longestUs || rx_.size() >= kReplyBufferSize;
            if (t >= earliestUs && ended) return true;
        } else if (t >= earliestUs && t >= firstByteByUs) {
            return Comm.InQueueCount() > 0;
        }
        if (pumpEvents) env_.processEvents(false);
        // Before the earliest moment or the first byte, nothing but input changes anything.
        idle(std::max(earliestUs, rx_.isEmpty() ? firstByteByUs : t + kStepUs));
    }
}

bool ReaderLink::WaitTicks(int n) {
    TickCount = 0;
    struct Ticking {
        const std::function<void(bool)>& source;
        explicit Ticking(const std::function<void(bool)>& s) : source(s) {
            if (source) source(true);
        }
        ~Ticking() {
            if (source) source(false);
        }
    };
    {
        const Ticking ticking(tickSource_);
        while (TickCount <= n) env_.processEvents(true);
    }
    const std::int64_t t = now();
    receive(t, lineFreeUs_ + timing_.firstByteMs() * kMs, 0, true);
    return pending() != 0;
}

bool ReaderLink::AwaitInput(int ms) {
    const std::int64_t from = std::max(now(), lineFreeUs_);
    const std::int64_t firstBy =
        from + std::max<std::int64_t>(kAwaitFirstByteUs, timing_.firstByteMs() * kMs);
    return receive(now(), firstBy, ms * kMs, true) && pending() > 0;
}

void ReaderLink::AwaitAnswer(int ms) {
    const std::int64_t earliest = std::max(now(), lineFreeUs_) + ms * kMs;
    receive(earliest, std::max(earliest, lineFreeUs_ + timing_.firstByteMs() * kMs), 0, false);
}

void ReaderLink::PauseAfterRequest(int ms) {
    pause(std::max(now(), lineFreeUs_) + ms * kMs, false);
}

void ReaderLink::AwaitQuietLine() {
    const std::int64_t quietUs = timing_.interByteMs() * kMs;
    const std::int64_t giveUpUs = now() + timing_.wireUs(kReplyBufferSize) + quietUs;
    lastInputUs_ = now();
    for (;;) {
        if (pull()) rx_.clear();
        const std::int64_t t = now();
        if (t - lastInputUs_ >= quietUs || t >= giveUpUs) return;
        env_.processEvents(false);
        idle(lastInputUs_ + quietUs);
    }
}

// The answer codes a reader may give instead of the answer asked for, each counted only as a
// whole frame from that reader.
Reply ReaderLink::ReadReply(int L, const char* command, int reader) {
    Reply reply;
    if (held_ && reader == lastReader_) {
        reply.status = Reply::Held;
        return reply;
    }
    const int count = pending();
    if (count == 0) return reply;
    quint8 buf[kReplyBufferSize] = {};
    const CheckedFrame f = checkFrame(buf, takeInput(buf, kReplyBufferSize));
    if (f.whole && f.address == reader) {
        reply.code = f.code;
        ++framesHeard_;
    }
    const struct {
        const char* code;
        char status;
    } codes[] = {
        {"N0", Reply::Nak}, {"C6", Reply::NoMore}, {"C7", Reply::NothingNew}, {"N1", Reply::NotHeld}};
    if (!f.stx) {
        reply.status = Reply::NoStx;
    } else if (f.address != reader) {
        reply.status = Reply::WrongReader;
    } else if (f.whole && f.length == L && f.code == command) {
        reply.status = Reply::Good;
        reply.data = f.data;
    } else {
        reply.status = count == L + 5 ? Reply::BadFrame : Reply::BadLength;
        for (const auto& c : codes)
            if (reply.code == c.code) reply.status = c.status;
    }
    qCDebug(lcLink) << "reply" << command << "reader" << reader << "status" << reply.status;
    return reply;
}

// An acknowledgement counts only as a whole short frame from the reader asked: the start byte,
// its address and the length value of a frame without data, besides the checksum. Another
// reader's late echo read in this one's window is no acknowledgement.
int ReaderLink::ReadWriteAck(const char* command) {
    if (held_) return AckHeld;
    if (pending() == 0) return AckNone;
    quint8 buf[kAckBufferSize] = {};
    const CheckedFrame f = checkFrame(buf, takeInput(buf, kAckBufferSize));
    int result = AckBad;
    if (f.whole && f.length == 3) {
        ++framesHeard_;
        const struct {
            const char* code;
            AckResult result;
        } answers[] = {{command, AckDone},   {"N0", AckNak},        {"N2", AckDuplicate},
                       {"N3", AckNoSuchDel}, {"N4", AckNoSuchEdit}, {"D9", AckMemoryFull}};
        for (const auto& answer : answers)
            if (f.code == answer.code) {
                result = answer.result;
                break;
            }
        if (f.address != lastReader_) result = AckBad;
    }
    if (result == AckDone) gate.acknowledged(command, lastReader_);
    qCDebug(lcLink) << "ack" << command << "reader" << lastReader_ << "result" << result;
    return result;
}

QString ReaderLink::writeAckText(int result) {
    switch (result) {
    case AckNone:
        return QStringLiteral("응답이 없습니다");
    case AckDone:
        return {};
    case AckNak:
        return QStringLiteral("제전송요청!");
    case AckDuplicate:
        return QStringLiteral("중복된 번호이거나 최대고객수가 초과되었습니다!");
    case AckNoSuchDel:
        return QStringLiteral("삭제불가-존재하지 않는 고객입니다");
    case AckNoSuchEdit:
        return QStringLiteral("변경불가-존재하지 않는 고객입니다");
    case AckMemoryFull:
        return QStringLiteral("리더 메모리부족 - 다운로드건수를 줄이십시요");
    case AckHeld:
        return heldText();
    default:
        return QStringLiteral("리더데이터가 부정확합니다");
    }
}

QString ReaderLink::heldText() {
    return QStringLiteral("수집대기 - 올려받기를 실행하세요");
}

int ReaderLink::ReportWriteAck(const char* command) {
    const int result = ReadWriteAck(command);
    if (result == AckDone) return 1;
    ShowNotice(writeAckText(result));
    return 0;
}

void ReaderLink::ShowNotice(const QString& text) {
    prompts().message(text, kNoticeCaption, Prompts::Icon::Warning);
}

bool ReaderLink::pollReaders(const char* command, int count,
                             const std::function<bool(int reader)>& answered) {
    bool failed[kMaxReaders] = {};
    count = std::clamp(count, 0, kMaxReaders);
    bool anyFailed = false;
    for (int reader = 1; reader <= count; ++reader) {
        SendFrame(command, reader);
        AwaitAnswer(kPollWaitMs);
        if (!answered(reader)) failed[reader - 1] = anyFailed = true;
    }
    if (!anyFailed) return true;
    return prompts().confirm(readerErrorQuestion(failed, count), kPollCaption, Prompts::Icon::Error);
}

// A reader held back (it may still hold a record not stored) is no failure here: the batch job
// that polls collects it by its pass.
bool ReaderLink::CheckReaders() {
    return !pollReaders("A0", ReaderCount, [this](int reader) {
        const char status = ReadReply(4, "A0", reader).status;
        return status == Reply::Good || status == Reply::Held;
    });
}

QString readerErrorQuestion(const bool* failed, int count) {
    QString text = QStringLiteral("현재 ");
    for (int i = 0; i < count; ++i)
        if (failed[i]) text += QStringLiteral(" %1번").arg(i + 1);
    return text + QStringLiteral("리더에서 에러가 검출되었습니다, 그래도 진행하겠습니까?");
}

LineLost::LineLost(const std::string& portError)
    : std::runtime_error(kLineLost + ("\n" + portError)), portError_(portError) {}

LineBusy::LineBusy(const std::string& portName, const std::string& portError)
    : std::runtime_error(QString::fromUtf8(kLineBusy).arg(QString::fromStdString(portName)).toStdString() +
                         "\n" + portError) {}

void openLine(TCustomComm& comm) {
    try {
        comm.Open();
    } catch (const ECommError& e) {
        if (!isLineBusy(e)) throw;
        throw LineBusy(comm.DeviceName(), e.what());
    }
}

void ReaderLink::runOnLine(const std::function<void()>& job) {
    if (port_.isOpen && !port_.isOpen()) {
        qCDebug(lcLink) << "the port is closed: opening it again";
        port_.open();
        rx_.clear();
    }
    ledger.reload();
    struct Checkpoint {
        OwedLedger& ledger;
        ~Checkpoint() {
            // The job is over, whichever way: an owed reader must be found owed after a power cut.
            try {
                if (ledger.anyOwed()) ledger.checkpoint();
            } catch (const std::exception& e) {
                qCWarning(lcLink) << "the ledger cannot be forced to the disk:" << e.what();
            }
        }
    } checkpoint{ledger};
    try {
        job();
    } catch (const ECommError& e) {
        if (!isLineLost(e)) throw;
        qCDebug(lcLink) << "line lost:" << e.what();
        rx_.clear();
        if (port_.closeLost) port_.closeLost();
        throw LineLost(e.what());
    }
}
