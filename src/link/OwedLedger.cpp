#include "OwedLedger.h"

#include "DurableFiles.h"
#include "FileError.h"

#include <QFile>
#include <QFileInfo>

const char* const OwedLedger::kFileName = "qrx-owed.state";

namespace {
// Every line has its fixed width, so that a change rewrites the file in place with one write:
// a killed program leaves the old file or the new, never a mixture.
constexpr char kHeader[] = "qrx owed records 1";
constexpr int kBootWidth = 40;
constexpr int kPendingChars = 32;
const QByteArray kNoPending(kPendingChars, '-');
} // namespace

bool OwedLedger::anyOwed() const {
    for (const Entry& entry : entries_)
        if (entry.owed) return true;
    return false;
}

void OwedLedger::attach(const QString& path, bool history) {
    path_ = path;
    history_ = history;
    load();
}

void OwedLedger::reload() {
    if (!path_.isEmpty()) load();
}

// "01 owed A 00000125000001234511202403150859 30" is a line of the file, less the blank inside
// the record: reader, state, kind, the pending record in hex or dashes.
QByteArray OwedLedger::text(bool synced) const {
    QByteArray out = QByteArray(kHeader) + '\n';
    out += "boot " + bootId().toLatin1().leftJustified(kBootWidth, ' ', true) + '\n';
    out += QByteArray("synced ") + (synced ? '1' : '0') + '\n';
    for (int reader = 1; reader <= kReaders; ++reader) {
        const Entry& entry = entries_[index(reader)];
        out += QByteArray::number(reader).rightJustified(2, '0');
        out += entry.owed ? " owed " : " -    ";
        out += entry.kind;
        out += ' ';
        out += entry.pending.isEmpty() ? kNoPending
                                       : entry.pending.toHex().leftJustified(kPendingChars, '0', true);
        out += '\n';
    }
    return out + "end\n";
}

void OwedLedger::write(bool synced, bool sync) {
    if (path_.isEmpty()) return;
    QFile file(path_);
    const bool created = !file.exists();
    const QByteArray bytes = text(synced);
    if (!file.open(QIODevice::ReadWrite) || file.write(bytes) != bytes.size() || !file.flush() ||
        (file.size() > bytes.size() && !file.resize(bytes.size())))
        throw FileError(path_ + QStringLiteral(": ") + file.errorString());
    if (sync)
        if (const int error = syncFile(file)) throwFileError(path_, error);
    file.close();
    lastWritten_ = bytes;
    if (created)
        if (const int error = syncFolder(QFileInfo(path_).absolutePath())) throwFileError(path_, error);
    diskSynced_ = synced && sync;
}

bool OwedLedger::parseEntry(const QByteArray& line, int reader, Entry& entry) {
    const QByteArray pending = line.mid(10);
    if (line.size() != 10 + kPendingChars || line.left(2).toInt() != reader ||
        !(line.mid(2, 6) == " owed " || line.mid(2, 6) == " -    ") || !(line[8] == 'A' || line[8] == 'B'))
        return false;
    entry.owed = line.mid(2, 6) == " owed ";
    entry.kind = line[8];
    if (pending != kNoPending) entry.pending = QByteArray::fromHex(pending);
    return pending == kNoPending || entry.pending.size() == kPendingChars / 2;
}

void OwedLedger::load() {
    Entries entries{};
    QFile file(path_);
    const bool exists = file.exists();
    bool trusted = false;
    bool synced = false;
    if (!exists) {
        trusted = !history_;
    } else if (file.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = file.readAll().split('\n');
        // header, boot, synced, 12 readers, end, and the empty piece after the last line end
        bool whole = lines.size() == kReaders + 5 && lines[0] == kHeader && lines[kReaders + 3] == "end" &&
                     lines[1].startsWith("boot ") && lines[2].startsWith("synced ");
        for (int reader = 1; whole && reader <= kReaders; ++reader)
            whole = parseEntry(lines[reader + 2], reader, entries[index(reader)]);
        synced = whole && lines[2] == "synced 1";
        // Plain writes of this run of the computer are all there; those of an earlier run only if
        // the last of them was forced to the disk. A run that cannot be told cannot be trusted.
        const QByteArray boot = bootId().toLatin1();
        trusted = whole && (synced || (!boot.isEmpty() && lines[1].mid(5).trimmed() == boot));
        if (!whole) entries = Entries{};
        file.close();
    }
    if (!trusted)
        for (Entry& entry : entries) entry.owed = true;
    entries_ = entries;
    diskSynced_ = synced;
    // What is believed now is forced to the disk at once: a new file, or every reader owed.
    if (!trusted || !exists) write(true, true);
}

void OwedLedger::change(int reader, const Entry& entry) {
    if (!valid(reader) || entries_[index(reader)] == entry) return;
    entries_[index(reader)] = entry;
    // The first change after the file was forced to the disk is forced too, so that the disk never
    // holds a file that says it is whole and up to date when it is not.
    write(false, diskSynced_);
}

void OwedLedger::markOwed(int reader, char kind) {
    if (!valid(reader)) return;
    Entry entry = entries_[index(reader)];
    entry.owed = true;
    entry.kind = kind;
    change(reader, entry);
}

void OwedLedger::settle(int reader, const QByteArray& pending) {
    if (!valid(reader)) return;
    Entry entry = entries_[index(reader)];
    entry.owed = false;
    entry.pending = pending;
    change(reader, entry);
}

void OwedLedger::checkpoint() {
    if (diskSynced_ || path_.isEmpty()) return;
    QFile file(path_);
    if (file.open(QIODevice::ReadOnly) && file.readAll() != lastWritten_) return;
    file.close();
    write(true, true);
}

void OwedLedger::noteCompletePass(int reader, int handedOut, int countAfter) {
    if (valid(reader)) passCounts_[index(reader)] = handedOut > 0 && countAfter == handedOut ? countAfter : 0;
}

bool OwedLedger::passHolds(int reader, int count) const {
    return count == 0 || (valid(reader) && passCounts_[index(reader)] == count);
}
