// One simulated reader: what it holds, how it answers each command and the log of every frame
// it received. A Reader does no I/O and takes no lock: the line (SimLine) hands it requests on
// its service thread and tests reach it only through SimLine::withReader, under the line's lock.
#pragma once

#include "SimCodec.h"
#include "SimFault.h"
#include "SimPunch.h"

#include <array>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sim {

using ClockBlock = std::array<std::uint8_t, 8>; // century, year, month, day, weekday, h, m, s (BCD)
using ModeTable = std::array<std::uint8_t, 48>; // 8 bands of 6 bytes
using EmpNo = std::array<std::uint8_t, 5>;      // 10 BCD digits
using Customer = std::array<std::uint8_t, 9>;   // employee number, flags, 3 balance bytes
using MealLine = std::array<std::uint8_t, 49>;
using FixedAmount = std::array<std::uint8_t, 96>;

// One entry of a frame log: a frame, a raw record or bytes that were neither.
struct LineEvent {
    enum class Kind {
        Frame,       // to one present reader
        Broadcast,   // to address 153: every present reader takes it, none answers
        NoReader,    // to an id with no reader present
        BadChecksum, // not acted upon
        Malformed,   // no ETX where the length value puts it
        Garbage,     // bytes outside any frame
        Incomplete,  // a frame start whose rest never came
        RawRecord,   // a fixed-amount record (data = its 96 bytes)
    };
    Kind kind = Kind::Frame;
    int id = 0;       // the addressed reader; 0 when the bytes name none
    std::string code; // decoded command
    Bytes data;       // decoded data bytes
    Bytes raw;        // as the host wrote them
    Bytes answer;     // what the reader put on the line (faults included, and kept when the
                      // answer got lost on the way); empty when nothing
    std::string note; // why nothing was answered, or which faults were applied
};

std::string kindName(LineEvent::Kind kind);
// Adds one more item to a note: "bad checksum, 150 ms late".
void appendNote(std::string& note, const std::string& more);

// What a reader sends back for one request, before the line paces it.
struct Transmission {
    Bytes bytes;
    int delayMs = 0;            // before the first byte
    std::size_t pieceBytes = 0; // 0: in one go
    int pauseMs = 0;            // between pieces
    bool lost = false;          // goes wrong on the way: the host never gets it
};

// Where "C0" starts a batch upload. Readers differ here, and the host must come out right with
// either kind. Either way a batch hands out, after the stored records, every on-line punch that
// no "C5" has confirmed yet, the one a "C5" handed out last included: "C0" takes back whatever
// is in flight, whichever upload it went out in.
enum class BatchCopies {
    Unconfirmed, // at the first record not yet confirmed: each batch hands out what is new
    Whole,       // at the first record stored: each batch is a whole copy, until "C3" deletes them
};

// What a reader keeps in its own memory, and so keeps while the line is down or the
// simulator restarts (SimState writes it to a file and reads it back).
struct ReaderMemory {
    // The last answer and the request it answered, for "N0" to repeat.
    struct Answer {
        std::string request;
        Frame frame;
    };

    ClockBlock clock{};
    ModeTable modeTable{};
    std::map<EmpNo, Customer> customers;
    std::size_t capacity = 0;
    std::uint32_t nextSeq = 1;
    std::vector<RecordBytes> records;
    std::size_t uploaded = 0;
    std::size_t cursor = 0;
    bool offered = false;
    std::deque<RecordBytes> online;
    bool onlineOffered = false;
    std::optional<RecordBytes> lastOnline;
    std::optional<Answer> last;
    BatchCopies batchCopies = BatchCopies::Unconfirmed;
    bool deleteRenumbers = false;
};

class Reader {
public:
    static constexpr std::size_t kDefaultCapacity = 5000;

    explicit Reader(int id);
    int id() const { return id_; }

    bool present() const { return present_; }
    void setPresent(bool on) { present_ = on; }
    // The data byte of the "A0" answer; 'C' in normal operation.
    std::uint8_t status() const { return status_; }
    void setStatus(std::uint8_t status) { status_ = status; }
    // The clock does not run: it holds what was last set ("B1" or setClock).
    const ClockBlock& clock() const { return clock_; }
    void setClock(const ClockBlock& block) { clock_ = block; }
    void setClockNow();
    const ModeTable& modeTable() const { return modeTable_; }
    void setModeTable(const ModeTable& table) { modeTable_ = table; }

    // Stored punch records, uploaded with C0/C1. Sequence numbers count up by one per record,
    // shared with on-line punches.
    void addRecords(int count);
    RecordBytes addRecord(const Punch& punch);
    void addRecordBytes(const RecordBytes& record) { records_.push_back(record); }
    // The next generated, added or punched record skips `count` sequence numbers.
    void skipSequence(std::uint32_t count) { nextSeq_ += count; }
    std::uint32_t nextSequence() const { return nextSeq_; }
    // The next record is numbered 000001 again, as after a replacement or a memory loss; the
    // records already stored keep their numbers.
    void restartNumbering() { nextSeq_ = 1; }
    const std::vector<RecordBytes>& records() const { return records_; }
    // Records already uploaded (the first uploadedCount() of records()): confirmed by a "C1".
    std::size_t uploadedCount() const { return uploaded_; }
    // The record "C1" hands out next, or has handed out and waits to see confirmed.
    std::size_t uploadCursor() const { return cursor_; }
    std::size_t pendingCount() const { return records_.size() - uploaded_; }

    // Where "C0" starts (Unconfirmed unless set). "C4" counts what the next batch hands out:
    // with Whole every record stored, and the on-line punches not yet confirmed either way.
    BatchCopies batchCopies() const { return batchCopies_; }
    void setBatchCopies(BatchCopies copies) { batchCopies_ = copies; }
    // Whether "C3" also starts the numbering again at 000001 (unless set, it goes on).
    bool deleteRenumbers() const { return deleteRenumbers_; }
    void setDeleteRenumbers(bool on) { deleteRenumbers_ = on; }

    // What a power cut takes.
    enum class MemoryLoss {
        // The last answer ("N0" then gets none) and whatever was handed out and not yet
        // confirmed, which is handed out again; the stored records stay, as in a reader whose
        // records are kept by a battery.
        LastAnswer,
        // The stored records and on-line punches as well, and the numbering starts again at
        // 000001: a reader whose memory was wiped. Customers, tables and clock stay.
        Records,
    };
    void loseMemory(MemoryLoss loss = MemoryLoss::LastAnswer);

    // On-line punches, offered one at a time to "C5".
    RecordBytes punch(const Punch& punch);
    RecordBytes punchNow(std::uint64_t empNo, std::uint8_t mode = 1) {
        return punch(Punch::now(empNo, mode));
    }
    const std::deque<RecordBytes>& onlineQueue() const { return online_; }

    // Customers, keyed by employee number.
    const std::map<EmpNo, Customer>& customers() const { return customers_; }
    void storeCustomer(const Customer& customer);
    std::size_t capacity() const { return capacity_; }
    void setCapacity(std::size_t capacity) { capacity_ = capacity; }

    const std::vector<MealLine>& mealLines() const { return mealLines_; }
    int mealAnnouncements() const { return mealAnnouncements_; }
    int mealResets() const { return mealResets_; }
    const std::vector<FixedAmount>& fixedAmounts() const { return fixedAmounts_; }
    void takeFixedAmount(const FixedAmount& record) { fixedAmounts_.push_back(record); }

    void addFault(Fault fault) { faults_.add(std::move(fault)); }
    void clearFaults() { faults_.clear(); }
    const std::vector<Fault>& faults() const { return faults_.faults(); }

    const std::vector<LineEvent>& log() const { return log_; }
    void logEvent(const LineEvent& event) { log_.push_back(event); }
    void clearLog() { log_.clear(); }

    ReaderMemory memory() const;
    // Takes up where `memory` was taken; the fault list, logs and meal data stay as they are.
    void restore(const ReaderMemory& memory);

    // Takes one request (a broadcast when `broadcast`) and says what goes back, if anything;
    // `note` tells why nothing does, or which faults were applied.
    std::optional<Transmission> take(const Frame& request, bool broadcast, std::string& note);

private:
    std::optional<Frame> answer(const Frame& request, bool broadcast);
    std::optional<Frame> answerUpload(const Frame& request);
    std::optional<Frame> answerCustomer(const Frame& request, bool broadcast);
    Transmission spoil(Frame frame, const std::string& request, const std::string& answered,
                       std::string& note);
    Frame reply(const std::string& code, Bytes data = {}) const { return Frame{id_, code, std::move(data)}; }
    // The record "C0" starts at.
    std::size_t batchStart() const { return batchCopies_ == BatchCopies::Whole ? 0 : uploaded_; }

    int id_;
    bool present_ = true;
    std::uint8_t status_ = 'C';
    ClockBlock clock_{0x20, 0x04, 0x03, 0x15, 0x01, 0x08, 0x00, 0x00};
    ModeTable modeTable_{};

    std::uint32_t nextSeq_ = 1;
    std::vector<RecordBytes> records_;
    std::size_t uploaded_ = 0; // records before this index count as uploaded
    std::size_t cursor_ = 0;   // the record "C1" hands out next
    bool offered_ = false;     // records_[cursor_] went out and waits for the next "C1"
    BatchCopies batchCopies_ = BatchCopies::Unconfirmed;
    bool deleteRenumbers_ = false;

    std::deque<RecordBytes> online_;
    bool onlineOffered_ = false; // online_.front() went out and waits for the next "C5"
    std::optional<RecordBytes> lastOnline_;

    std::map<EmpNo, Customer> customers_;
    std::size_t capacity_ = kDefaultCapacity;
    bool overflow_ = false; // a "D1" since "D0" found the table full

    std::vector<MealLine> mealLines_;
    int mealAnnouncements_ = 0;
    int mealResets_ = 0;
    std::vector<FixedAmount> fixedAmounts_;

    std::optional<ReaderMemory::Answer> last_;
    FaultList faults_;
    std::vector<LineEvent> log_;
};

} // namespace sim
