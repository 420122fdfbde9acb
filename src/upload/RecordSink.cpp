#include "RecordSink.h"

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
    const bool first = !last.bytes;
    last.bytes = record.Seq;
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

std::optional<Verdict> RecordSink::take(int reader, const TPunchRecord& record) {
    if (tracker_.repeats(reader, record)) return std::nullopt;
    file_.writeLine(FormatFileLine(reader, record));
    return tracker_.take(reader, record);
}
