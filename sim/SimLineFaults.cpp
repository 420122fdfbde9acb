#include "SimLineFaults.h"

namespace sim {
namespace {

// Not STX or ETX, so that they only ever look like noise between frames.
const Bytes kStrayBytes = {0x00, 0xFF, 0x7F};

bool due(int every, int count) {
    return every > 0 && count % every == 0;
}

} // namespace

bool LineFaultPlan::loseRequest(std::string& note) {
    if (!due(faults_.loseRequestEvery, ++counts_.requests)) return false;
    ++counts_.requestsLost;
    appendNote(note, "line: request lost");
    return true;
}

void LineFaultPlan::spoilAnswer(Transmission& tx, std::string& note) {
    const int n = ++counts_.answers;
    if (due(faults_.loseAnswerEvery, n)) {
        // Lost on the way, so nothing else the line would have done to it matters.
        tx.lost = true;
        ++counts_.answersLost;
        appendNote(note, "line: answer lost");
        return;
    }
    if (due(faults_.lateAnswerEvery, n)) {
        tx.delayMs += faults_.lateMs;
        ++counts_.answersLate;
        appendNote(note, "line: " + std::to_string(faults_.lateMs) + " ms late");
    }
    if (due(faults_.flipBitEvery, n) && !tx.bytes.empty()) {
        const std::size_t at = std::uniform_int_distribution<std::size_t>(0, tx.bytes.size() - 1)(random_);
        const int bit = std::uniform_int_distribution<int>(0, 7)(random_);
        tx.bytes[at] ^= std::uint8_t(1u << bit);
        ++counts_.bitsFlipped;
        appendNote(note, "line: bit " + std::to_string(bit) + " of byte " + std::to_string(at) + " flipped");
    }
    if (due(faults_.strayBytesEvery, n)) {
        tx.bytes.insert(tx.bytes.begin(), kStrayBytes.begin(), kStrayBytes.end());
        ++counts_.strayBytes;
        appendNote(note, "line: stray bytes " + toHex(kStrayBytes) + " first");
    }
}

} // namespace sim
