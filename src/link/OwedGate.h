// The ledger's side of the link: which request may go to a reader that may still hold a record
// the host has not stored, and what settles it.
//
// "N0" always may go: it makes the reader repeat its last answer. "C0" always may: it confirms
// nothing, and the reader takes back whatever it has in flight and hands it out again with
// every other record no "C1" confirmed — so its whole acknowledgement settles the reader, and
// the batch pass that follows stores what it holds. Any other request to an owed reader is
// first left to the settler (which asks "N0" and stores what the reader repeats) and is held
// back when the reader is still owed after it. The settler itself sends nothing but "N0", and
// "C0"/"C1" only after a "C0" was acknowledged, so it never comes back into the gate.
#pragma once

#include "OwedLedger.h"

#include <functional>

class OwedGate {
public:
    explicit OwedGate(OwedLedger& ledger) : ledger_(ledger) {}

    void setSettler(std::function<void(int reader)> settler) { settler_ = std::move(settler); }
    // Whether command may go to reader now; for the broadcast address, to every reader up to
    // readerCount. A reader held owed is first left to the settler.
    bool admit(const char* command, int reader, int readerCount);
    // A request has left: "C1" and "C5" can hand out a record, so the reader is owed from now
    // on. Raises FileError.
    void sent(const char* command, int reader);
    // A whole, checked acknowledgement of command came from reader. Raises FileError.
    void acknowledged(const char* command, int reader);

private:
    // The first reader in first..last the ledger holds owed; 0 when none.
    int firstOwed(int first, int last) const;
    OwedLedger& ledger_;
    std::function<void(int reader)> settler_;
};
