// The reader link: the frame codec, the one-exchange-at-a-time transaction with a reader and
// the fields that every dialog shares (selected reader, reader count, tick count, checksum).
// The main window owns one; the dialogs reach the readers only through it.
//
// Frames: STX, address (reader id + 0x20), two command characters, the length value
// L = data bytes + 3, the data, ETX, two checksum characters. Every byte from the address up to
// the last data byte travels with 0x20 added (mod 256); the checksum is the low byte of the sum
// of the bytes on the wire from the address through ETX, sent as 0x20 + high nibble and
// 0x20 + low nibble.
#pragma once

#include "CommLine.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>

// What the window hands to the link: its event pump and a plain sleep.
struct LinkEnv {
    // Lets the UI handle pending events. With waitForMore it blocks until at least one event
    // (a timer tick, input) has been handled; without, it returns at once when there are none.
    std::function<void(bool waitForMore)> processEvents;
    // Sleeps without handling any event.
    std::function<void(int ms)> sleep;
};

// The outcome of ReadReply: a status character and, for '1', the decoded data bytes.
//   '0' no answer        '5' no STX            '6' wrong reader      '1' good answer
//   '3' "N0"             'A' "C6"              'B' "C7"              'C' "N1"
//   '2' checksum or command error (exactly L + 5 bytes)              '4' length error
struct Reply {
    char status = '0';
    QByteArray data;
    quint8 byte(int i) const { return quint8(data.at(i)); }
};

class ReaderLink {
public:
    ReaderLink(CommLine& comm, LinkEnv env);

    // Receive buffers: an answer is read into 501 bytes, an acknowledgement into 100, stale
    // input is dropped through 104; whatever is pending beyond is read and dropped too.
    static constexpr int kReplyBufferSize = 501;
    static constexpr int kAckBufferSize = 100;
    static constexpr int kScratchSize = 104;
    static constexpr int kBroadcastAddress = 153;
    // The bytes of an answer frame with length value L.
    static constexpr int frameBytes(int L) { return L + 5; }

    CommLine& Comm;
    std::uint32_t Checksum = 0;
    std::int32_t TickCount = 0;
    int SelectedReader = 1; // 0 means all readers
    int ReaderCount = 1;    // configured readers, 1..12

    // Frame codec.
    void AddChecksum(quint8 b) { Checksum += b; }
    void SendChecksum();
    QByteArray ChecksumChars() const;
    void SendFrame(const char* command, int reader);
    // L is the length value (data bytes + 3, at least 4); data holds L - 3 bytes.
    void SendDataFrame(const char* command, int L, const quint8* data, int reader);
    void SendDataFrame(const char* command, const QByteArray& data, int reader);

    // Digit helpers.
    static QString ByteToDigits(quint8 b);
    static quint8 ToBcd(quint8 v);
    static std::array<quint8, 2> YearToBcd(quint16 year);
    static bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }

    // Transaction.
    void ClearInput();
    // Ends at the (n + 1)-th tick of the main timer; true when input is waiting then.
    bool WaitTicks(int n);
    // Polls for input for up to 41 rounds of 5 ms; once some arrived, waits ms more for the rest
    // of the answer. answerBytes (the whole answer frame), when given, makes that wait at least
    // what the rest of such an answer takes on the wire at the line speed: at 1200 bit/s a record
    // answer alone takes 200 ms, and reading it after 25 ms would only ever find a piece of it.
    bool AwaitInput(int ms, int answerBytes = 0);
    // The line speed in bit/s; 0 (unknown) leaves AwaitInput's waits as they are given.
    void setLineSpeed(int bitsPerSecond) { bitsPerSecond_ = bitsPerSecond; }
    Reply ReadReply(int L, const char* command, int reader);
    // Acknowledgement result 0..7; 1 means the command was echoed with a good checksum.
    int ReadWriteAck(const char* command);
    // ReadWriteAck, showing the text of every result but 1; returns 1 on success, else 0.
    int ReportWriteAck(const char* command);
    void ShowNotice(const QString& text);
    // Polls readers 1..ReaderCount with "A0"; when some fail asks whether to go on.
    // True when the user chose to stop.
    bool CheckReaders();

    // The text ReportWriteAck shows for an acknowledgement result (empty for 1).
    static QString writeAckText(int result);

    void processEvents(bool waitForMore = false) { env_.processEvents(waitForMore); }
    void sleep(int ms) { env_.sleep(ms); }

private:
    void writeBytes(const QByteArray& bytes);
    int readPending(quint8* buffer, int capacity);
    LinkEnv env_;
    int bitsPerSecond_ = 0;
};

// "현재  3번 7번리더에서 에러가 검출되었습니다, 그래도 진행하겠습니까?" for failed readers 3 and 7.
QString readerErrorQuestion(const bool* failed, int count);
