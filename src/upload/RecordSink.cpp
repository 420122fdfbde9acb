#include "RecordSink.h"

#include "HostPaths.h"
#include "ReaderLink.h"

#include <QFile>

#include <algorithm>

namespace {
// Files of each kind read for the last records, and how much of the end of each.
constexpr int kNewestFiles = 3;
constexpr qint64 kTailBytes = 64 * 1024;
constexpr int kFirstSeq = 1;
constexpr int kSeqModulus = 1000000;
} // namespace

Verdict SequenceTracker::take(int reader, const TPunchRecord& record) {
    Verdict verdict;
    verdict.seq = RecordSeq(record);
    if (reader < 1 || reader >= int(last_.size())) return verdict;
    Last& last = last_[std::size_t(reader)];
    const bool afresh = verdict.seq <= kFirstSeq;
    if (last.taken && !afresh && verdict.seq != (last.seq + 1) % kSeqModulus)
        verdict.expected = (last.seq + 1) % kSeqModulus;
    last.seq = verdict.seq;
    last.taken = true;
    return verdict;
}

void LastStored::readNewestFiles(char kind) {
    for (const QString& path : newestUploadFiles(kind, kNewestFiles)) readTail(path);
}

// A file line begins "II-": the reader id; the whole line stands for the record.
void LastStored::readTail(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return;
    const qint64 from = std::max<qint64>(0, file.size() - kTailBytes);
    file.seek(from);
    QList<QByteArray> lines = file.readAll().split('\n');
    if (from > 0 && !lines.isEmpty()) lines.removeFirst(); // the piece of a line the tail begins in
    std::array<QString, 13> last;
    for (QByteArray line : lines) {
        if (line.endsWith('\r')) line.chop(1);
        if (line.size() < 9 || line.at(2) != '-' || !ReaderLink::IsDigitChar(line.at(0)) ||
            !ReaderLink::IsDigitChar(line.at(1)))
            continue;
        const int reader = line.left(2).toInt();
        if (reader >= 1 && reader < int(last.size())) last[std::size_t(reader)] = QString::fromLatin1(line);
    }
    for (std::size_t reader = 1; reader < last.size(); ++reader)
        if (!last[reader].isEmpty()) readers_[reader].files.push_back(last[reader]);
}

bool LastStored::holds(int reader, const TPunchRecord& record) const {
    if (reader < 1 || reader >= int(readers_.size())) return false;
    const Reader& r = readers_[std::size_t(reader)];
    const QString line = FormatFileLine(reader, record);
    if (!r.job.isEmpty()) return line == r.job;
    return std::find(r.files.begin(), r.files.end(), line) != r.files.end();
}

void LastStored::stored(int reader, const QString& line) {
    if (reader >= 1 && reader < int(readers_.size())) readers_[std::size_t(reader)].job = line;
}

namespace {
// ".\DATA2\B20040315.TXT" is a batch file: the first letter of the name.
char kindOf(const QString& windowsPath) {
    return windowsPath.section(QLatin1Char('\\'), -1).at(0).toLatin1();
}
} // namespace

RecordSink::RecordSink(const QString& windowsPath, UploadFile::Mode mode, bool deferred)
    : windowsPath_(windowsPath), mode_(mode) {
    last_.readNewestFiles(kindOf(windowsPath));
    if (!deferred) open();
}

void RecordSink::open() {
    file_ = std::make_unique<UploadFile>(windowsPath_, mode_);
    inFile_.clear();
    keepsOnce_ = kindOf(windowsPath_) == 'B';
    if (mode_ != UploadFile::Mode::Append || !keepsOnce_) return;
    QFile file(file_->path());
    if (!file.open(QIODevice::ReadOnly)) return;
    for (QByteArray line : file.readAll().split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        if (!line.isEmpty()) inFile_.insert(QString::fromLatin1(line));
    }
}

QString RecordSink::path() const {
    return file_ ? file_->path() : hostPath(windowsPath_);
}

void RecordSink::moveTo(const QString& windowsPath, UploadFile::Mode mode) {
    if (file_) file_->close();
    windowsPath_ = windowsPath;
    mode_ = mode;
    open();
}

void RecordSink::store(int reader, const TPunchRecord& record) {
    if (!file_) open();
    const QString line = FormatFileLine(reader, record);
    if (!keepsOnce_ || !inFile_.contains(line)) {
        file_->writeLine(line);
        if (keepsOnce_) inFile_.insert(line);
        ++taken_;
    }
    last_.stored(reader, line);
}

void RecordSink::close() {
    if (file_) file_->close();
}
