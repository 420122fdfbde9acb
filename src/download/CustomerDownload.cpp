#include "CustomerDownload.h"

#include "ReaderLink.h"

#include <algorithm>

namespace {
const QString kDataError = QStringLiteral("DATA에러.. 다시 DOWNLOAD해주십시요");
const QString kMemoryFull = QStringLiteral("리더 메모리부족 - 다운로드건수를 줄이십시요");

constexpr int kMaxReaders = 12;
constexpr int kRecordBytes = 9;
constexpr int kAckWaitMs = 100;
// Records are streamed: only an answer already there 1 ms after a record has left is looked at,
// and the next record's frame drops whatever came later. The last record's answer gets 300 ms.
constexpr int kRecordAckWaitMs = 1;
constexpr int kLastRecordAckWaitMs = 300;
constexpr int kNegativeAck = 3;
constexpr int kMemoryFullAck = 7;
} // namespace

CustomerDownload::End CustomerDownload::run(int reader, const QList<QByteArray>& records) {
    const bool all = reader == 0;
    const int count = std::clamp(link_.ReaderCount, 0, kMaxReaders);
    if (all ? !openAll(count) : !openOne(reader)) return all ? End::Cancelled : End::NotOpened;
    if (!stream(all ? ReaderLink::kBroadcastAddress : reader, records)) {
        link_.ShowNotice(kDataError);
        return End::DataError;
    }
    link_.sleep(kAckWaitMs);
    if (all)
        closeAll(count);
    else
        closeOne(reader);
    return End::Closed;
}

bool CustomerDownload::openAll(int count) {
    if (link_.pollReaders("D0", count, [this](int) { return link_.ReadWriteAck("D0") == AckDone; }))
        return true;
    // The readers that did open must not stay in download mode.
    for (int i = 1; i <= count; ++i) link_.SendFrame("D2", i);
    return false;
}

bool CustomerDownload::openOne(int reader) {
    link_.SendFrame("D0", reader);
    link_.AwaitAnswer(kAckWaitMs);
    return link_.ReportWriteAck("D0") == 1;
}

bool CustomerDownload::stream(int address, const QList<QByteArray>& records) {
    int sent = 0;
    for (const QByteArray& record : records) {
        if (stopRequested && stopRequested()) break;
        Q_ASSERT(record.size() == kRecordBytes);
        link_.SendDataFrame("D1", record, address);
        link_.PauseAfterRequest(kRecordAckWaitMs);
        if (link_.ReadWriteAck("D1") == kNegativeAck) return false;
        ++sent;
        if (recordSent) recordSent(sent);
    }
    link_.AwaitAnswer(kLastRecordAckWaitMs);
    return link_.ReadWriteAck("D1") != kNegativeAck;
}

void CustomerDownload::closeAll(int count) {
    for (int i = 1; i <= count; ++i) {
        link_.SendFrame("D2", i);
        link_.AwaitAnswer(kAckWaitMs);
        if (link_.ReadWriteAck("D2") == kMemoryFullAck) link_.ShowNotice(kMemoryFull);
    }
}

void CustomerDownload::closeOne(int reader) {
    link_.SendFrame("D2", reader);
    link_.AwaitAnswer(kAckWaitMs);
    link_.ReportWriteAck("D2");
}
