#include "MealDownload.h"

#include "ReaderLink.h"

namespace {
const QString kSilentReader = QStringLiteral("번 리더가 응답이 없습니다. 다음리더로 넘어갑니다");
const QString kBadReaderData = QStringLiteral("번 리더에 데이터 에러. 다음리더로 넘어갑니다");

constexpr int kAnnounceAttempts = 4;
constexpr int kAnnounceWaitMs = 100;
constexpr int kLineRepetitions = 5; // after the first attempt
constexpr int kLineWaitMs = 60;
constexpr int kAfterLineMs = 1;
} // namespace

void MealDownload::run(const QList<MealLine>& lines) {
    int handled = 0;
    int current = 0;
    bool skipping = false;
    QByteArray skippedId;
    for (const MealLine& line : lines) {
        if (stopRequested && stopRequested()) break;
        ++handled;
        if (lineTaken) lineTaken(handled);
        if (skipping) {
            if (line.idText == skippedId) continue;
            skipping = false;
        }
        if (readerShown) readerShown(line.idText);
        if (line.reader != current) {
            current = line.reader;
            announce(current);
        }
        const int result = send(line);
        if (result == AckDone) {
            link_.sleep(kAfterLineMs);
            continue;
        }
        link_.ShowNotice(QString::fromLatin1(line.idText) + (result == 0 ? kSilentReader : kBadReaderData));
        skipping = true;
        skippedId = line.idText;
    }
}

// A reader that never acknowledges the announcement still gets its lines: the lines' own
// acknowledgements decide.
void MealDownload::announce(int reader) {
    for (int attempt = 0; attempt < kAnnounceAttempts; ++attempt) {
        link_.SendFrame("E1", reader);
        link_.AwaitAnswer(kAnnounceWaitMs);
        if (link_.ReadWriteAck("E1") == AckDone) return;
    }
}

int MealDownload::send(const MealLine& line) {
    int result = 0;
    for (int attempt = 0; attempt <= kLineRepetitions; ++attempt) {
        link_.SendDataFrame("E2", line.data, line.reader);
        link_.AwaitAnswer(kLineWaitMs);
        result = link_.ReadWriteAck("E2");
        if (result == AckDone) break;
    }
    return result;
}
