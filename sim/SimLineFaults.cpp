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
    if (due(faults_.strayBytesEvery, n)) {
        tx.bytes.insert(tx.bytes.begin(), kStrayBytes.begin(), kStrayBytes.end());
        ++counts_.strayBytes;
        appendNote(note, "line: stray bytes " + toHex(kStrayBytes) + " first");
    }
}

} // namespace sim
