// Where every record a reader hands over goes first, in both uploads: the day's file, a whole
// line forced to the disk before anything else happens to the record — before it is listed,
// before any judgement of it that can raise, and before the next request that lets the reader
// forget it.
#pragma once

#include "PunchRecord.h"
#include "UploadFiles.h"

#include <QSet>

#include <array>
#include <memory>
#include <optional>
#include <vector>

// What a record taken means for the job.
struct Verdict {
    int seq = 0;       // the record's sequence number
    int expected = -1; // when >= 0, the sequence number that should have come (a gap)
};

// The sequence numbers of the records taken from each reader in a job, for the gap notice.
class SequenceTracker {
public:
    // Takes the record as the reader's last and judges it. The first record of a reader in the
    // job is never a gap, nor is a record numbered 000000 or 000001: the numbers wrap after
    // 999999, and a reader whose records were deleted, or that was replaced, numbers afresh.
    // Raises a conversion error for sequence digits that are not decimal.
    Verdict take(int reader, const TPunchRecord& record);
    // The reader's next record counts as its first.
    void restart(int reader) {
        if (reader >= 1 && reader < int(last_.size())) last_[std::size_t(reader)] = Last();
    }

private:
    struct Last {
        int seq = 0;
        bool taken = false;
    };
    std::array<Last, 13> last_{}; // index = reader id; ids above 12 are not followed
};

// The file line of the last record stored from each reader: in this job, else in the newest
// record files of either kind (the tail of each, so that reading stays short however large they
// grow). A reader that hands out a record once more after the program or the line went down
// hands out one of these.
class LastStored {
public:
    // Reads the newest files of a kind ('A', 'B') in the output folder: a repeat is written
    // again into a file of the other kind, which keeps its own copy of every record.
    void readNewestFiles(char kind);
    // Whether the record's line is the reader's last stored one.
    bool holds(int reader, const TPunchRecord& record) const;
    void stored(int reader, const QString& line);

private:
    void readTail(const QString& path);
    struct Reader {
        QString job;                // the last line stored in this job
        std::vector<QString> files; // the last line of the reader in each newest file
    };
    std::array<Reader, 13> readers_{};
};

class RecordSink {
public:
    // Opens the job's file (see UploadFile), now or, when deferred, at the first record (a
    // reader settled on behalf of another job may well hand out none); raises FileError.
    RecordSink(const QString& windowsPath, UploadFile::Mode mode, bool deferred = false);
    // Closes the file and goes on in another (a new day's), remembering what was taken.
    // Raises FileError.
    void moveTo(const QString& windowsPath, UploadFile::Mode mode);
    QString path() const;

    // Writes the record's file line and forces it to the disk; raises FileError (the file keeps
    // whole lines only). A batch file's line is not written twice (see keepsOnce_).
    void store(int reader, const TPunchRecord& record);
    // Judges a record stored: raises a conversion error for sequence digits that are not decimal.
    Verdict judge(int reader, const TPunchRecord& record) { return tracker_.take(reader, record); }
    void restartSequence(int reader) { tracker_.restart(reader); }
    // Whether the record is the last one stored from the reader, here or in an earlier file.
    bool storedLast(int reader, const TPunchRecord& record) const { return last_.holds(reader, record); }
    // Records written in this job (without those the file held already).
    int taken() const { return taken_; }
    void close();

private:
    void open();
    QString windowsPath_;
    UploadFile::Mode mode_;
    std::unique_ptr<UploadFile> file_;
    // A batch file keeps each line once: a reader that hands out every record it holds in each
    // batch repeats them all when a pass goes on in the file.
    bool keepsOnce_ = false;
    QSet<QString> inFile_; // the lines of such a file
    SequenceTracker tracker_;
    LastStored last_;
    int taken_ = 0;
};
