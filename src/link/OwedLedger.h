// What each reader may still hold that the host has not stored. A reader moves past a record
// only when a confirming request ("C1", "C5") reaches it after it handed the record out, and a
// confirming request is what asks for the next record: so from the moment such a request has
// left until its answer is judged and stored, the reader is owed. While it is, it gets nothing
// but "N0" (which makes it repeat its last answer) from any job of any program, until an answer
// proves what its last answer was. Any other request would make that other answer its last, and
// the next confirming request would confirm the record unseen.
//
// The ledger also keeps, per reader, the last record stored from it that it may hand out once
// more (its confirmation not yet seen), so that such a repeat is written once, in whatever
// program or job it comes.
//
// Kept in a small file in the working folder, so that qrx after the collector, the collector
// after qrx, and either after being killed start from it. It changes at every exchange, so a
// change is a plain write, which survives a killed program. After a power cut the last plain
// writes may be gone: the file says whether it was forced to the disk after its last change,
// and one left unforced by an earlier run of the computer is not trusted — every reader then
// counts as owed.
#pragma once

#include <QByteArray>
#include <QString>

#include <array>

class OwedLedger {
public:
    static constexpr int kReaders = 12;
    static const char* const kFileName;

    // Kept in memory only, until attached: nothing owed.
    OwedLedger() = default;

    // Keeps the ledger in the file at path from now on and takes up what the file holds. A file
    // that is missing means nothing is owed when nothing was ever collected here (history false),
    // else, like a damaged file or one a power cut may have set back, that every reader is owed.
    // Raises FileError when the file cannot be written.
    void attach(const QString& path, bool history);
    // Takes up the file again: another program may have worked on the line since.
    void reload();
    const QString& path() const { return path_; }

    bool owed(int reader) const { return valid(reader) && entries_[index(reader)].owed; }
    bool anyOwed() const;
    // The upload whose request made the reader owed: 'A' on line, 'B' batch.
    char kind(int reader) const { return valid(reader) ? entries_[index(reader)].kind : 'A'; }
    // The 16 bytes of the last record stored from the reader that it may hand out once more;
    // empty when there is none.
    QByteArray pending(int reader) const {
        return valid(reader) ? entries_[index(reader)].pending : QByteArray();
    }

    // A request that can hand out a record (kind 'A' or 'B') is about to leave. Raises FileError.
    void markOwed(int reader, char kind);
    // The reader's last answer is known and whatever it handed out is stored; pending as above.
    // Raises FileError.
    void settle(int reader, const QByteArray& pending);

    // Forces the ledger onto the disk (when a job leaves a reader owed, and when a program ends),
    // so that it is trusted after a power cut too. A file another program has written since this
    // one last did is that program's to force: it is left as it is. Raises FileError.
    void checkpoint();

    // A batch pass of the reader ended with "C6" after it handed out records, and "C4" then
    // counted count records: a reader that hands out every record it holds in each batch keeps
    // counting them all, so while its count stays the same, that pass's file holds all it has.
    // Kept in memory only: a new program makes a new pass.
    void noteCompletePass(int reader, int handedOut, int countAfter);
    // Whether a complete pass's file holds every record the reader holds now, by its count.
    bool passHolds(int reader, int count) const;

private:
    struct Entry {
        bool owed = false;
        char kind = 'A';
        QByteArray pending;
        bool operator==(const Entry& o) const {
            return owed == o.owed && kind == o.kind && pending == o.pending;
        }
    };
    using Entries = std::array<Entry, kReaders>;
    static bool valid(int reader) { return reader >= 1 && reader <= kReaders; }
    static std::size_t index(int reader) { return std::size_t(reader - 1); }
    void change(int reader, const Entry& entry);
    QByteArray text(bool synced) const;
    // Writes the whole file, forced to the disk when sync; raises FileError.
    void write(bool synced, bool sync);
    void load();
    // One reader's line of the file into entry; false when it is not whole.
    static bool parseEntry(const QByteArray& line, int reader, Entry& entry);

    QString path_;
    bool history_ = false;
    Entries entries_{};
    std::array<int, kReaders> passCounts_{}; // see noteCompletePass; 0 when none
    QByteArray lastWritten_;
    bool diskSynced_ = false; // the file on the disk says it was forced there after its last change
};
