// What the collector last noted, for `qrx-collect --status`: the port and, per reader, when it
// last answered, the records taken today and the last sequence number. A small text file in the
// working directory, replaced whole (written aside, then renamed over it), so that whoever reads
// it never sees half of it.
#pragma once

#include <QDateTime>
#include <QString>

#include <array>

struct ReaderNote {
    QDateTime heard;       // the last answer of any kind; invalid: none since the start
    QDateTime silentSince; // valid while the reader is taken to be silent
    int recordsToday = 0;
    int lastSeq = -1; // none yet
    int count = -1;   // the records it held by its last count ("C4"); -1 none read yet
    QDateTime countAt;
    QString erase; // how its last erase went
};

class CollectState {
public:
    static const char* const kFileName;

    CollectState(const QString& workDir, int readers);
    void setPort(const QString& text) { port_ = text; }
    ReaderNote& reader(int id) { return readers_[std::size_t(id)]; }
    int readers() const { return count_; }
    // Writes the file (errors are returned as the system's description, empty on success).
    // The collector's last write says that it stopped.
    QString write(const QDateTime& now, bool running = true) const;

private:
    QString path_;
    int count_;
    QString port_;
    std::array<ReaderNote, 13> readers_{}; // index = reader id
};

// The report of `--status`: whether a collector runs (by the process that wrote the file) and
// what it last noted; an error text when the working directory holds no state file.
QString statusReport(const QString& workDir, bool& found);
