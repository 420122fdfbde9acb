#include "SimReader.h"

#include <algorithm>
#include <ctime>

namespace sim {
namespace {

// Data bytes each request carries; a request with another count is not answered.
int dataLength(const std::string& code) {
    static const std::map<std::string, int> lengths = {
        {"A0", 0}, {"B0", 0}, {"B1", 8}, {"B3", 48}, {"C0", 0}, {"C1", 0},  {"C2", 0}, {"C3", 0},
        {"C4", 0}, {"C5", 0}, {"D0", 0}, {"D1", 9},  {"D2", 0}, {"D3", 0},  {"D4", 5}, {"D5", 5},
        {"D6", 3}, {"D7", 5}, {"D8", 0}, {"E0", 0},  {"E1", 0}, {"E2", 49}, {"N0", 0},
    };
    const auto it = lengths.find(code);
    return it == lengths.end() ? -1 : it->second;
}

template <std::size_t N> std::array<std::uint8_t, N> toArray(const Bytes& bytes) {
    std::array<std::uint8_t, N> out{};
    std::copy_n(bytes.begin(), std::min(N, bytes.size()), out.begin());
    return out;
}

template <std::size_t N> Bytes toBytes(const std::array<std::uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}

EmpNo empNoOf(const Customer& c) {
    return toArray<5>(Bytes(c.begin(), c.begin() + 5));
}

} // namespace

void appendNote(std::string& note, const std::string& more) {
    if (!note.empty()) note += ", ";
    note += more;
}

std::string kindName(LineEvent::Kind kind) {
    switch (kind) {
    case LineEvent::Kind::Frame:
        return "frame";
    case LineEvent::Kind::Broadcast:
        return "broadcast";
    case LineEvent::Kind::NoReader:
        return "no reader";
    case LineEvent::Kind::BadChecksum:
        return "bad checksum";
    case LineEvent::Kind::Malformed:
        return "malformed";
    case LineEvent::Kind::Garbage:
        return "garbage";
    case LineEvent::Kind::Incomplete:
        return "incomplete";
    case LineEvent::Kind::RawRecord:
        return "raw record";
    }
    return {};
}

Reader::Reader(int id) : id_(id) {}

void Reader::setClockNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    const Bytes year = toBcd(std::uint64_t(tm.tm_year + 1900), 4);
    clock_ = {year[0],
              year[1],
              bcdByte(tm.tm_mon + 1),
              bcdByte(tm.tm_mday),
              bcdByte(tm.tm_wday),
              bcdByte(tm.tm_hour),
              bcdByte(tm.tm_min),
              bcdByte(tm.tm_sec)};
}

void Reader::addRecords(int count) {
    for (int i = 0; i < count; ++i) addRecord(Punch::generated(id_, nextSeq_));
}

RecordBytes Reader::addRecord(const Punch& punch) {
    records_.push_back(makeRecord(nextSeq_++ % 1000000, punch));
    return records_.back();
}

RecordBytes Reader::punch(const Punch& punch) {
    online_.push_back(makeRecord(nextSeq_++ % 1000000, punch));
    return online_.back();
}

ReaderMemory Reader::memory() const {
    return {clock_,         modeTable_,  customers_, capacity_,    nextSeq_,
            records_,       uploaded_,   cursor_,    offered_,     online_,
            onlineOffered_, lastOnline_, last_,      batchCopies_, deleteRenumbers_};
}

void Reader::restore(const ReaderMemory& m) {
    clock_ = m.clock;
    modeTable_ = m.modeTable;
    customers_ = m.customers;
    capacity_ = m.capacity;
    nextSeq_ = m.nextSeq;
    records_ = m.records;
    uploaded_ = m.uploaded;
    cursor_ = m.cursor;
    offered_ = m.offered;
    online_ = m.online;
    onlineOffered_ = m.onlineOffered;
    lastOnline_ = m.lastOnline;
    last_ = m.last;
    batchCopies_ = m.batchCopies;
    deleteRenumbers_ = m.deleteRenumbers;
}

void Reader::loseMemory(MemoryLoss loss) {
    last_.reset();
    offered_ = onlineOffered_ = false;
    if (loss == MemoryLoss::Records) {
        records_.clear();
        online_.clear();
        uploaded_ = 0;
        lastOnline_.reset();
        restartNumbering();
    }
    cursor_ = batchStart();
}

void Reader::storeCustomer(const Customer& customer) {
    customers_[empNoOf(customer)] = customer;
}

std::optional<Transmission> Reader::take(const Frame& request, bool broadcast, std::string& note) {
    // "N0" asks for the last answer again, so faults meant for that answer's command apply.
    const std::string answered = request.code == "N0" && last_ ? last_->request : request.code;
    if (const auto fault = faults_.use(Fault::Kind::Silent, request.code, answered)) {
        note = fault->describe();
        return std::nullopt;
    }
    const int expected = dataLength(request.code);
    if (expected < 0) {
        note = "unknown command";
        return std::nullopt;
    }
    if (request.data.size() != std::size_t(expected)) {
        note = "wrong data length";
        return std::nullopt;
    }
    std::optional<Frame> frame;
    if (request.code == "N0") {
        if (!last_) {
            note = "nothing to repeat";
            return std::nullopt;
        }
        frame = last_->frame;
    } else {
        frame = answer(request, broadcast);
        if (frame && !broadcast) last_ = ReaderMemory::Answer{request.code, *frame};
    }
    if (broadcast || !frame) return std::nullopt;
    return spoil(*frame, request.code, answered, note);
}

Transmission Reader::spoil(Frame frame, const std::string& request, const std::string& answered,
                           std::string& note) {
    using Kind = Fault::Kind;
    Transmission tx;
    if (const auto f = faults_.use(Kind::LoseAnswer, request, answered)) {
        // Whatever else was to spoil this answer is kept for the next: the host never saw this one.
        tx.bytes = encodeFrame(frame);
        tx.lost = true;
        appendNote(note, f->describe());
        return tx;
    }
    if (const auto f = faults_.use(Kind::AnswerCode, request, answered)) {
        frame = reply(f->code);
        appendNote(note, f->describe());
    }
    if (const auto f = faults_.use(Kind::WrongAddress, request, answered)) {
        frame.id = f->value;
        appendNote(note, f->describe());
    }
    tx.bytes = encodeFrame(frame);
    if (const auto f = faults_.use(Kind::FlipBit, request, answered)) {
        if (f->value >= 0 && std::size_t(f->value) < tx.bytes.size())
            tx.bytes[std::size_t(f->value)] ^= f->mask;
        appendNote(note, f->describe());
    }
    if (const auto f = faults_.use(Kind::BadChecksum, request, answered)) {
        std::uint8_t& low = tx.bytes.back();
        low = std::uint8_t(kOffset + ((low - kOffset + 1) & 0x0F));
        appendNote(note, f->describe());
    }
    if (const auto f = faults_.use(Kind::Truncate, request, answered)) {
        tx.bytes.resize(std::min(tx.bytes.size(), std::size_t(std::max(f->value, 0))));
        appendNote(note, f->describe());
    }
    if (const auto f = faults_.use(Kind::Garbage, request, answered)) {
        tx.bytes.insert(tx.bytes.begin(), f->bytes.begin(), f->bytes.end());
        appendNote(note, f->describe());
    }
    if (const auto f = faults_.use(Kind::Late, request, answered)) {
        tx.delayMs = f->value;
        appendNote(note, f->describe());
    }
    if (const auto f = faults_.use(Kind::Split, request, answered)) {
        tx.pieceBytes = std::size_t(std::max(f->value, 1));
        tx.pauseMs = f->pauseMs;
        appendNote(note, f->describe());
    }
    return tx;
}

std::optional<Frame> Reader::answer(const Frame& request, bool broadcast) {
    const std::string& code = request.code;
    if (code == "A0") return reply("A0", {status_});
    if (code == "B0") return reply("B0", toBytes(clock_));
    if (code == "B1") {
        clock_ = toArray<8>(request.data);
        return reply("B0", toBytes(clock_));
    }
    if (code == "B3") {
        modeTable_ = toArray<48>(request.data);
        return reply("B2", toBytes(modeTable_));
    }
    if (code[0] == 'C') return answerUpload(request);
    if (code[0] == 'D') return answerCustomer(request, broadcast);
    if (code == "E0") ++mealResets_;
    if (code == "E1") ++mealAnnouncements_;
    if (code == "E2") mealLines_.push_back(toArray<49>(request.data));
    return reply(code);
}

std::optional<Frame> Reader::answerUpload(const Frame& request) {
    const std::string& code = request.code;
    if (code == "C0") {
        cursor_ = batchStart();
        offered_ = false;
        return reply("C0");
    }
    if (code == "C1") {
        // Asking for the next record confirms the one handed out before: it is uploaded, and a
        // later "C0" (after the line broke off, say) starts behind it unless each batch is a
        // whole copy. An on-line punch handed out here is stored with the rest once confirmed.
        if (offered_) {
            if (cursor_ >= records_.size()) {
                records_.push_back(online_.front());
                online_.pop_front();
                onlineOffered_ = false;
            }
            uploaded_ = std::max(uploaded_, ++cursor_);
        }
        offered_ = cursor_ < records_.size() + online_.size();
        if (!offered_) return reply("C6");
        return reply("C1", toBytes(cursor_ < records_.size() ? records_[cursor_] : online_.front()));
    }
    if (code == "C2") {
        // The record still waiting for confirmation stays.
        offered_ = false;
        return std::nullopt;
    }
    if (code == "C3") {
        records_.clear();
        online_.clear();
        uploaded_ = cursor_ = 0;
        offered_ = onlineOffered_ = false;
        lastOnline_.reset();
        if (deleteRenumbers_) restartNumbering();
        return reply("C3");
    }
    if (code == "C4") return reply("C4", toBcd(records_.size() - batchStart() + online_.size(), 6));
    // "C5": the record offered before counts as delivered now.
    if (onlineOffered_) {
        lastOnline_ = online_.front();
        online_.pop_front();
        onlineOffered_ = false;
    }
    if (lastOnline_ && faults_.use(Fault::Kind::Reoffer, code, code))
        return reply("C5", toBytes(*lastOnline_));
    if (online_.empty()) return reply("C7");
    onlineOffered_ = true;
    return reply("C5", toBytes(online_.front()));
}

std::optional<Frame> Reader::answerCustomer(const Frame& request, bool broadcast) {
    const std::string& code = request.code;
    const EmpNo emp = toArray<5>(request.data);
    const bool held = customers_.count(emp) > 0;
    const bool full = customers_.size() >= capacity_;
    if (code == "D0") {
        overflow_ = false;
        return reply("D0");
    }
    if (code == "D1") {
        if (held || !full)
            storeCustomer(toArray<9>(request.data));
        else
            overflow_ = true;
        if (broadcast) return std::nullopt;
        return reply("D1");
    }
    if (code == "D2") {
        const bool overflowed = overflow_;
        overflow_ = false;
        return reply(overflowed ? "D9" : "D2");
    }
    if (code == "D3") {
        customers_.clear();
        return reply("D3");
    }
    if (code == "D4") {
        if (!held) return reply("N1");
        return reply("D4", toBytes(customers_.at(emp)));
    }
    if (code == "D5") {
        if (held || full) return reply("N2");
        storeCustomer(toArray<9>(request.data));
        return reply("D5");
    }
    if (code == "D6") {
        // Only the first six digits are sent: the first customer whose number starts so goes.
        const auto it = std::find_if(customers_.begin(), customers_.end(), [&](const auto& c) {
            return std::equal(request.data.begin(), request.data.end(), c.first.begin());
        });
        if (it == customers_.end()) return reply("N3");
        customers_.erase(it);
        return reply("D6");
    }
    if (code == "D7") return reply(held ? "D7" : "N4");
    return reply("D8", toBcd(customers_.size(), 6));
}

} // namespace sim
