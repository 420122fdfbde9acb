// Where every record a reader hands over goes first, in both uploads: the day's file, a whole
// line forced to the disk before anything else happens to the record — before it is listed,
// before any judgement of it that can raise, and before the next request that lets the reader
// forget it. A reader asked to repeat its answer repeats the record it handed over last; such a
// repeat is recognised by its sequence bytes and written once.
#pragma once

#include "PunchRecord.h"
#include "UploadFiles.h"

#include <array>
#include <memory>
#include <optional>
#include <vector>

// What a record taken means for the job.
struct Verdict {
    int seq = 0;       // the record's sequence number
    int expected = -1; // when >= 0, the sequence number that should have come (a gap)
};

// The last record taken from each reader in this job.
class SequenceTracker {
public:
    // True when the record's sequence bytes equal those of the last record taken from the reader
    // in this job (a first record numbered 000000 is therefore new). Never raises.
    bool repeats(int reader, const TPunchRecord& record) const;
    // Takes the record as the reader's last and judges it; the first record of a reader is never
    // a gap. Raises a conversion error for sequence digits that are not decimal (the bytes are
    // taken first, so a repeat of that record is still recognised).
    Verdict take(int reader, const TPunchRecord& record);
    // Sum of the last sequence numbers of readers 1..count.
    int sum(int count) const;
    // Takes seq as the sequence bytes of a record the reader handed over before this job, without
    // taking a record: until the job takes one from the reader, a repeat of it is recognised,
    // while the job's judgement and sum begin afresh.
    void remember(int reader, const std::array<std::uint8_t, 3>& seq);

private:
    struct Last {
        std::optional<std::array<std::uint8_t, 3>> bytes;
        std::vector<std::array<std::uint8_t, 3>> earlier; // remembered from before the job
        int seq = 0;
        bool taken = false; // a record was taken in this job
    };
    std::array<Last, 13> last_{}; // index = reader id; ids above 12 are not followed
};

class RecordSink {
public:
    // Opens the job's file (see UploadFile); raises FileError.
    RecordSink(const QString& windowsPath, UploadFile::Mode mode)
        : file_(std::make_unique<UploadFile>(windowsPath, mode)) {}
    // Closes the file and goes on in another (a new day's), remembering what was taken: a repeat
    // of a reader's last record is still written once. Raises FileError.
    void moveTo(const QString& windowsPath, UploadFile::Mode mode);
    const QString& path() const { return file_->path(); }

    // Nothing for a repeat of the reader's last record (not written again). Otherwise writes the
    // record's file line, forces it to the disk, and then judges it. Raises FileError (the file
    // keeps whole lines only) before the judgement, and the judgement's conversion error after
    // the line is on the disk.
    std::optional<Verdict> take(int reader, const TPunchRecord& record);
    // Remembers each reader's last record in an earlier file of the job's kind (its host path).
    // A reader whose upload broke off (the line lost, the program ended) hands out the record it
    // was never told had arrived once more; that repeat is then not written twice. A file that
    // cannot be read remembers nothing.
    void rememberLastRecords(const QString& path);
    // Remembers each reader's last records in the newest on-line and batch files: a record that
    // a reader handed out before the program (or the line) went down, and hands out again when
    // asked to repeat, is written only when they do not hold it.
    void rememberLatestRecords();
    int sum(int readers) const { return tracker_.sum(readers); }
    void close() { file_->close(); }

private:
    std::unique_ptr<UploadFile> file_;
    SequenceTracker tracker_;
};
