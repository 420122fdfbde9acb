#include "OwedGate.h"

#include <QLoggingCategory>

#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcLink)

namespace {
constexpr int kBroadcastAddress = 153;

bool is(const char* command, const char* code) {
    return command[0] == code[0] && command[1] == code[1];
}
} // namespace

int OwedGate::firstOwed(int first, int last) const {
    for (int reader = first; reader <= last; ++reader)
        if (ledger_.owed(reader)) return reader;
    return 0;
}

bool OwedGate::admit(const char* command, int reader, int readerCount) {
    if (is(command, "N0") || is(command, "C0")) return true;
    const bool broadcast = reader == kBroadcastAddress;
    const int first = broadcast ? 1 : reader;
    const int last = broadcast ? std::min(readerCount, OwedLedger::kReaders) : reader;
    if (!firstOwed(first, last)) return true;
    if (settler_)
        for (int r = first; r <= last; ++r)
            if (ledger_.owed(r)) settler_(r);
    if (const int still = firstOwed(first, last)) {
        qCInfo(lcLink) << "reader" << still << "may still hold a record that is not stored:" << command
                       << "held back until it is collected";
        return false;
    }
    return true;
}

void OwedGate::sent(const char* command, int reader) {
    if (is(command, "C1") || is(command, "C5")) ledger_.markOwed(reader, is(command, "C1") ? 'B' : 'A');
}

void OwedGate::acknowledged(const char* command, int reader) {
    // An erased reader holds nothing: no earlier pass's file holds what it collects next.
    if (is(command, "C3")) ledger_.noteCompletePass(reader, 0, 0);
    // The record stored last stays known: handed out again after "C0", it is a repeat.
    if (!is(command, "C0") || !ledger_.owed(reader)) return;
    qCInfo(lcLink) << "reader" << reader << "took C0: whatever it had in flight comes again";
    ledger_.settle(reader, ledger_.pending(reader));
}
