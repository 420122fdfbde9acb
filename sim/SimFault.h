// Faults a simulated reader can be told to make. A fault applies to the answers of every
// request, or only of one command (`on`); for good, or for the next n answers (`times`,
// `once`). When a counted fault is used up, the faults given to `then` take its place, so
// "spoil the next answer to C1, then fall silent" reads
//
//     Fault::badChecksum().on("C1").once().then(Fault::silent())
//
// An "N0" request repeats an earlier answer and counts as a request for that answer's command:
// a fault on "C1" also spoils the repetition of a C1 answer.
#pragma once

#include "SimCodec.h"

#include <optional>
#include <string>
#include <vector>

namespace sim {

struct Fault {
    enum class Kind {
        Silent,       // the request is lost: the reader never sees it, its state stays as it was
        BadChecksum,  // the second checksum character is off by one
        WrongAddress, // the answer carries reader `value`'s id (with a right checksum)
        Truncate,     // only the first `value` bytes of the answer leave
        Split,        // the answer leaves in pieces of `value` bytes, `pauseMs` apart
        Late,         // the answer starts `value` ms late
        AnswerCode,   // a short frame with `code` ("N0", "N1", "D9", "C6", ...) instead of the answer
        Garbage,      // `bytes` go out right before the answer
        Reoffer,      // "C5" offers the record it offered last once more instead of a new one
        LoseAnswer,   // the reader acts on the request (its state moves on), the answer is lost
        FlipBit,      // byte `value` of the answer as encoded (STX is byte 0) is XORed with
                      // `mask`; the frame keeps its length and its checksum, which no longer fits
    };

    Kind kind = Kind::Silent;
    std::string command; // the request it applies to; empty for every request
    int remaining = -1;  // answers still to spoil; -1 for good
    int value = 0;
    int pauseMs = 0;
    std::uint8_t mask = 0;
    std::string code;
    Bytes bytes;
    std::vector<Fault> followUps;

    static Fault silent() { return of(Kind::Silent); }
    static Fault loseAnswer() { return of(Kind::LoseAnswer); }
    static Fault badChecksum() { return of(Kind::BadChecksum); }
    static Fault wrongAddress(int otherId) { return with(Kind::WrongAddress, otherId); }
    static Fault truncate(int keepBytes) { return with(Kind::Truncate, keepBytes); }
    static Fault split(int pieceBytes, int pauseMs);
    static Fault late(int delayMs) { return with(Kind::Late, delayMs); }
    static Fault answerCode(std::string code);
    static Fault garbage(Bytes bytes);
    static Fault reoffer() { return of(Kind::Reoffer); }
    // flipBit(3, 0x02) turns the command byte '5' of a "C5" answer into '7'.
    static Fault flipBit(int byteIndex, std::uint8_t mask);

    Fault on(std::string requestCode) const;
    Fault times(int answers) const;
    Fault once() const { return times(1); }
    Fault then(Fault next) const;

    bool appliesTo(const std::string& request, const std::string& answeredCommand) const {
        return command.empty() || command == request || command == answeredCommand;
    }
    // How the fault shows in a log line: "bad checksum", "answer code N1", ...
    std::string describe() const;

private:
    static Fault of(Kind kind) {
        Fault f;
        f.kind = kind;
        return f;
    }
    static Fault with(Kind kind, int value) {
        Fault f = of(kind);
        f.value = value;
        return f;
    }
};

// The faults of one reader, in the order they were added.
class FaultList {
public:
    void add(Fault fault) { faults_.push_back(std::move(fault)); }
    void clear() { faults_.clear(); }
    const std::vector<Fault>& faults() const { return faults_; }

    // The first fault of this kind that applies, counted as used (and replaced by its follow-ups
    // when used up); a copy, since using it may remove it. Nothing when none applies.
    std::optional<Fault> use(Fault::Kind kind, const std::string& request,
                             const std::string& answeredCommand);

private:
    std::vector<Fault> faults_;
};

} // namespace sim
