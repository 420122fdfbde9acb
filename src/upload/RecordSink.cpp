#include "RecordSink.h"

#include "ReaderLink.h"

#include <QFile>

bool SequenceTracker::repeats(int reader, const TPunchRecord& record) const {
    if (reader < 1 || reader >= int(last_.size())) return false;
    const Last& last = last_[std::size_t(reader)];
    return last.bytes && *last.bytes == record.Seq;
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
    if (reader >= 1 && reader < int(last_.size())) last_[std::size_t(reader)].bytes = seq;
}

// A file line begins "II-SSSSSS": the reader id and the six sequence digits as they came (a
// half-byte above 9 stands as the character that follows '9').
void RecordSink::rememberLastRecords(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (line.size() < 9 || line.at(2) != '-' || !ReaderLink::IsDigitChar(line.at(0)) ||
            !ReaderLink::IsDigitChar(line.at(1)))
            continue;
        std::array<std::uint8_t, 3> seq{};
        for (int i = 0; i < 3; ++i)
            seq[std::size_t(i)] =
                std::uint8_t(((line.at(3 + 2 * i) - '0') << 4) | ((line.at(4 + 2 * i) - '0') & 0x0F));
        tracker_.remember(line.left(2).toInt(), seq);
    }
}

std::optional<Verdict> RecordSink::take(int reader, const TPunchRecord& record) {
    if (tracker_.repeats(reader, record)) return std::nullopt;
    file_.writeLine(FormatFileLine(reader, record));
    return tracker_.take(reader, record);
}
