#include "RecordSink.h"

#include "ReaderLink.h"

#include <QFile>

#include <algorithm>

bool SequenceTracker::repeats(int reader, const TPunchRecord& record) const {
    if (reader < 1 || reader >= int(last_.size())) return false;
    const Last& last = last_[std::size_t(reader)];
    return (last.bytes && *last.bytes == record.Seq) ||
           std::find(last.earlier.begin(), last.earlier.end(), record.Seq) != last.earlier.end();
}

Verdict SequenceTracker::take(int reader, const TPunchRecord& record) {
    Verdict verdict;
    if (reader < 1 || reader >= int(last_.size())) {
        verdict.seq = RecordSeq(record);
        return verdict;
    }
    Last& last = last_[std::size_t(reader)];
    const bool first = !last.taken;
    last.bytes = record.Seq;
    last.earlier.clear();
    last.taken = true;
    verdict.seq = RecordSeq(record);
    if (!first && verdict.seq != last.seq + 1) verdict.expected = last.seq + 1;
    last.seq = verdict.seq;
    return verdict;
}

int SequenceTracker::sum(int count) const {
    int total = 0;
    for (int i = 1; i <= count && i < int(last_.size()); ++i) total += last_[std::size_t(i)].seq;
    return total;
}

void SequenceTracker::remember(int reader, const std::array<std::uint8_t, 3>& seq) {
    if (reader >= 1 && reader < int(last_.size())) last_[std::size_t(reader)].earlier.push_back(seq);
}

// A file line begins "II-SSSSSS": the reader id and the six sequence digits as they came (a
// half-byte above 9 stands as the character that follows '9').
void RecordSink::rememberLastRecords(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return;
    std::array<std::optional<std::array<std::uint8_t, 3>>, 13> last{};
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (line.size() < 9 || line.at(2) != '-' || !ReaderLink::IsDigitChar(line.at(0)) ||
            !ReaderLink::IsDigitChar(line.at(1)))
            continue;
        std::array<std::uint8_t, 3> seq{};
        for (int i = 0; i < 3; ++i)
            seq[std::size_t(i)] =
                std::uint8_t(((line.at(3 + 2 * i) - '0') << 4) | ((line.at(4 + 2 * i) - '0') & 0x0F));
        const int reader = line.left(2).toInt();
        if (reader >= 1 && reader < int(last.size())) last[std::size_t(reader)] = seq;
    }
    for (int reader = 1; reader < int(last.size()); ++reader)
        if (const auto& seq = last[std::size_t(reader)]) tracker_.remember(reader, *seq);
}

// A record handed out just before midnight went into the day before's file, so the two newest
// on-line files are read.
void RecordSink::rememberLatestRecords() {
    for (const QString& path : newestUploadFiles('A', 2)) rememberLastRecords(path);
    for (const QString& path : newestUploadFiles('B', 1)) rememberLastRecords(path);
}

void RecordSink::moveTo(const QString& windowsPath, UploadFile::Mode mode) {
    auto next = std::make_unique<UploadFile>(windowsPath, mode);
    file_->close();
    file_ = std::move(next);
}

std::optional<Verdict> RecordSink::take(int reader, const TPunchRecord& record) {
    if (tracker_.repeats(reader, record)) return std::nullopt;
    file_->writeLine(FormatFileLine(reader, record));
    return tracker_.take(reader, record);
}
