#include "SimFault.h"

#include <algorithm>

namespace sim {

Fault Fault::split(int pieceBytes, int pauseMs) {
    Fault f = with(Kind::Split, pieceBytes);
    f.pauseMs = pauseMs;
    return f;
}

Fault Fault::answerCode(std::string code) {
    Fault f = of(Kind::AnswerCode);
    f.code = std::move(code);
    return f;
}

Fault Fault::garbage(Bytes bytes) {
    Fault f = of(Kind::Garbage);
    f.bytes = std::move(bytes);
    return f;
}

Fault Fault::flipBit(int byteIndex, std::uint8_t mask) {
    Fault f = with(Kind::FlipBit, byteIndex);
    f.mask = mask;
    return f;
}

Fault Fault::on(std::string requestCode) const {
    Fault f = *this;
    f.command = std::move(requestCode);
    return f;
}

Fault Fault::times(int answers) const {
    Fault f = *this;
    f.remaining = answers;
    return f;
}

Fault Fault::then(Fault next) const {
    Fault f = *this;
    f.followUps.push_back(std::move(next));
    return f;
}

std::string Fault::describe() const {
    switch (kind) {
    case Kind::Silent:
        return "request lost";
    case Kind::BadChecksum:
        return "bad checksum";
    case Kind::WrongAddress:
        return "answered as reader " + std::to_string(value);
    case Kind::Truncate:
        return "cut after " + std::to_string(value) + " bytes";
    case Kind::Split:
        return "split every " + std::to_string(value) + " bytes, " + std::to_string(pauseMs) + " ms apart";
    case Kind::Late:
        return std::to_string(value) + " ms late";
    case Kind::AnswerCode:
        return "answer code " + code;
    case Kind::Garbage:
        return "garbage " + toHex(bytes) + " first";
    case Kind::Reoffer:
        return "offered the last record again";
    case Kind::LoseAnswer:
        return "answer lost";
    case Kind::FlipBit:
        return "byte " + std::to_string(value) + " XOR " + toHex({mask});
    }
    return {};
}

std::optional<Fault> FaultList::use(Fault::Kind kind, const std::string& request,
                                    const std::string& answeredCommand) {
    const auto it = std::find_if(faults_.begin(), faults_.end(), [&](const Fault& f) {
        return f.kind == kind && f.remaining != 0 && f.appliesTo(request, answeredCommand);
    });
    if (it == faults_.end()) return std::nullopt;
    Fault used = *it;
    if (it->remaining > 0 && --it->remaining == 0) {
        std::vector<Fault> next = std::move(it->followUps);
        faults_.erase(it);
        for (Fault& f : next) faults_.push_back(std::move(f));
    }
    return used;
}

} // namespace sim
