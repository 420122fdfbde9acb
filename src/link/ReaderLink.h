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
#include "LineTiming.h"
#include "OwedGate.h"
#include "OwedLedger.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <stdexcept>

// What the window hands to the link: its event pump, a plain sleep and the clock.
struct LinkEnv {
    // Lets the UI handle pending events. With waitForMore it blocks until at least one event
    // (a timer tick, input) has been handled; without, it returns at once when there are none.
    std::function<void(bool waitForMore)> processEvents;
    // Sleeps without handling any event, in microseconds.
    std::function<void(std::int64_t us)> sleepUs;
    // A monotonic clock in microseconds; empty means the system's steady clock.
    std::function<std::int64_t()> nowUs;
};

// The running application's: Qt's event loop, a thread sleep and the steady clock.
LinkEnv qtLinkEnv();

// What the link may do with the port it talks through, for the owner of the port to provide.
struct PortControl {
    std::function<bool()> isOpen;
    // Opens the port with its settings; raises the port's error when it cannot.
    std::function<void()> open;
    // Closes the port after the line was lost, and shows that it is closed.
    std::function<void()> closeLost;
};

// The outcome of ReadReply: a status and, for Good, the decoded data bytes.
// Every answer counts only whole and checked: Good needs the length value asked for and a right
// checksum; the answer codes (Nak, NoMore, NothingNew, NotHeld) need a whole short frame from the
// reader with a right checksum. A flipped bit that makes a record answer read "C7" is a bad
// answer, never "nothing new".
struct Reply {
    static constexpr char NoAnswer = '0';
    static constexpr char Good = '1';
    static constexpr char BadFrame = '2'; // checksum or command error (exactly L + 5 bytes)
    static constexpr char Nak = '3';      // "N0"
    static constexpr char BadLength = '4';
    static constexpr char NoStx = '5';
    static constexpr char WrongReader = '6';
    static constexpr char NoMore = 'A';     // "C6"
    static constexpr char NothingNew = 'B'; // "C7"
    static constexpr char NotHeld = 'C';    // "N1"
    // Not sent: the reader may still hold a record that is not stored (see OwedGate), and waits
    // for an upload to collect it.
    static constexpr char Held = 'H';

    char status = NoAnswer;
    QByteArray data;
    // The command code of the answer when it is one whole frame from the reader asked, by its
    // own length value and with a right checksum, whatever command was expected; else empty.
    QByteArray code;
    quint8 byte(int i) const { return quint8(data.at(i)); }
};

// The results of ReadWriteAck.
enum AckResult : int {
    AckNone = 0,       // nothing came
    AckDone = 1,       // the command echoed, whole and checked, by the reader asked
    AckBad = 2,        // anything else
    AckNak = 3,        // "N0"
    AckDuplicate = 4,  // "N2"
    AckNoSuchDel = 5,  // "N3"
    AckNoSuchEdit = 6, // "N4"
    AckMemoryFull = 7, // "D9"
    AckHeld = 8,       // not sent (see Reply::Held)
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
    // What each reader may still hold unstored, and the gate every request passes.
    OwedLedger ledger;
    OwedGate gate{ledger};
    std::uint32_t Checksum = 0;
    std::int32_t TickCount = 0;
    int SelectedReader = 1; // 0 means all readers
    int ReaderCount = 1;    // configured readers, 1..12

    // Frame codec.
    void AddChecksum(quint8 b) { Checksum += b; }
    void SendChecksum();
    QByteArray ChecksumChars() const;
    void SendFrame(const char* command, int reader);
    // L is the length value (data bytes + 3, at least 4); data holds L - 3 bytes. Every request
    // passes the gate first: one it holds back is not sent, and its answer reads Held.
    void SendDataFrame(const char* command, int L, const quint8* data, int reader);
    void SendDataFrame(const char* command, const QByteArray& data, int reader);
    // Bytes outside the frame format (the fixed-amount records and the port tests), on the
    // line's clock like every frame.
    void WriteRaw(const QByteArray& bytes) { writeBytes(bytes); }

    // Digit helpers.
    static QString ByteToDigits(quint8 b);
    static quint8 ToBcd(quint8 v);
    static std::array<quint8, 2> YearToBcd(quint16 year);
    static bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }

    // Transaction. Every wait after a request counts from the moment the request has left the
    // port (a write returns before the bytes are on the wire), is at least the time the exchange
    // gives and ends only when the whole answer frame is in (its length value says how long it
    // is), when its first byte has not come in time, or when the line has gone quiet inside it.
    // A request leaves no sooner than 3.5 characters' time after the last byte heard: a reader
    // turns its line around after it has answered and misses a request that comes sooner.
    void ClearInput();
    // Ends at the (n + 1)-th tick of the main timer, then lets the answer complete, handling
    // window events; true when input is waiting then.
    bool WaitTicks(int n);
    // Handles window events until the answer's first byte is in (giving up after 205 ms, or
    // what the line needs if longer) and until the answer is whole. ms only lets the rest of an
    // answer arrive: a whole frame ends the wait at once, one that is not whole is given ms
    // after its first byte before the quiet line ends it. True when input arrived.
    bool AwaitInput(int ms);
    // A plain wait (no window events) of ms after the request has left, then until the answer
    // is whole or cannot be coming any more.
    void AwaitAnswer(int ms);
    // A plain wait of ms after the request has left, whatever comes: for requests whose answer
    // is only looked at if it is already there.
    void PauseAfterRequest(int ms);
    // Waits, handling window events, until no input has come for the line's inter-byte time:
    // the rest of a cut or garbled answer that may still be arriving, so that the next
    // request's ClearInput drops it rather than the next answer being read behind it.
    void AwaitQuietLine();
    LineTiming& timing() { return timing_; }
    const LineTiming& timing() const { return timing_; }
    Reply ReadReply(int L, const char* command, int reader);
    // The acknowledgement of the last request: AckDone when the reader it went to echoed the
    // command in a whole short frame with a good checksum.
    int ReadWriteAck(const char* command);
    // ReadWriteAck, showing the text of every result but 1; returns 1 on success, else 0.
    int ReportWriteAck(const char* command);
    void ShowNotice(const QString& text);
    // Sends command to readers 1..count (at most 12) in turn, each answer awaited 100 ms and
    // judged by answered(reader); when some failed, asks whether to go on ("에러발생"). True when
    // every reader answered or the user chose to go on.
    bool pollReaders(const char* command, int count, const std::function<bool(int reader)>& answered);
    // Polls readers 1..ReaderCount with "A0"; when some fail asks whether to go on.
    // True when the user chose to stop.
    bool CheckReaders();

    // The text ReportWriteAck shows for an acknowledgement result (empty for AckDone).
    static QString writeAckText(int result);
    // What a dialog shows for a reader whose request was held back (Reply::Held, AckHeld): it
    // waits for an upload to collect what it may still hold.
    static QString heldText();

    void setPortControl(PortControl control) { port_ = std::move(control); }
    // Keeps the ledger in the file at path (see OwedLedger::attach).
    void attachLedger(const QString& path, bool history) { ledger.attach(path, history); }
    // Whole frames with a right checksum heard from any reader so far: a reader silent while
    // others answer is silent by itself, not by a cut line.
    int framesHeard() const { return framesHeard_; }
    // The main timer, whose firings WaitTicks counts: it is run only while WaitTicks waits, so
    // that an idle program is not woken by it.
    void setTickSource(std::function<void(bool run)> source) { tickSource_ = std::move(source); }
    // Runs a job on the line. A port left closed (a lost line, a failed open) is opened first,
    // so that the job after an adapter was pulled and plugged in again just works. The ledger is
    // taken up again from its file first (another program may have used the line), and forced
    // to the disk after the job when it leaves a reader owed. When the line
    // is lost during the job (hang-up, adapter pulled) the port is closed and the job ends with
    // a LineLost error that says so in Korean. Other errors pass through.
    void runOnLine(const std::function<void()>& job);

    void processEvents(bool waitForMore = false) { env_.processEvents(waitForMore); }
    void sleep(int ms) { env_.sleepUs(std::int64_t(ms) * 1000); }

private:
    PortControl port_;
    int framesHeard_ = 0;
    int lastReader_ = 0; // the reader the last request went (or was to go) to
    bool held_ = false;  // the gate held the last request back
    std::function<void(bool run)> tickSource_;
    std::int64_t now() const;
    void writeBytes(const QByteArray& bytes);
    // Moves what the port holds into the receive buffer (at most kReplyBufferSize bytes; the
    // rest is read and dropped); true when something came.
    bool pull();
    // Bytes waiting: the receive buffer's and the port's; -1 when the port is closed.
    int pending();
    bool answerComplete() const;
    // The receive path: waits until the earliest moment, then until the answer is whole, the
    // line has gone quiet inside it, or (nothing come) the first-byte deadline has passed.
    // An answer that is not whole is given settleUs after its first byte besides.
    bool receive(std::int64_t earliestUs, std::int64_t firstByteByUs, std::int64_t settleUs, bool pumpEvents);
    void pause(std::int64_t untilUs, bool pumpEvents);
    // Waits at most a step, and not past untilUs: returns early when input arrives where the
    // port can tell.
    void idle(std::int64_t untilUs);
    // Takes the receive buffer and everything pending into buffer (capacity bytes), dropping
    // the rest; the number of bytes taken.
    int takeInput(quint8* buffer, int capacity);
    LinkEnv env_;
    LineTiming timing_;
    QByteArray rx_;
    std::int64_t lineFreeUs_ = 0;  // when the last byte written will have left the port
    std::int64_t lastInputUs_ = 0; // when the receive buffer last grew (a quiet line's reference)
    // When the last byte came in; long ago before any did.
    std::int64_t heardUs_ = std::numeric_limits<std::int64_t>::min() / 2;
};

// The error that ends a job when the line went away: the clerk's text, the port's own beside it.
class LineLost : public std::runtime_error {
public:
    explicit LineLost(const std::string& portError);
    const std::string& portError() const { return portError_; }

private:
    std::string portError_;
};

// The error when another program holds the port — the unattended collector, as a rule: the
// clerk's text naming the port, the port's own beside it.
class LineBusy : public std::runtime_error {
public:
    LineBusy(const std::string& portName, const std::string& portError);
};

class TCustomComm;
// Opens the port; a port that another program holds raises LineBusy, other failures the port's
// own error.
void openLine(TCustomComm& comm);

// "현재  3번 7번리더에서 에러가 검출되었습니다, 그래도 진행하겠습니까?" for failed readers 3 and 7.
QString readerErrorQuestion(const bool* failed, int count);
