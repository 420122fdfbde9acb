#include "EraseJob.h"

#include "FileError.h"
#include "Formats.h"
#include "RecordSink.h"
#include "UploadFiles.h"

#include <QFileInfo>

namespace eraser {

QString receiptFile() {
    return kOutputDir + QStringLiteral("\\ERASED.TXT");
}

namespace {
constexpr int kEraseWaitMs = 200;

std::optional<int> countOf(const Reply& reply) {
    if (reply.status != Reply::Good) return std::nullopt;
    const QString digits = batch::countDigits(reply);
    for (const QChar c : digits)
        if (!c.isDigit()) return std::nullopt;
    return digits.toInt();
}
} // namespace

EraseJob::EraseJob(ReaderLink& link, Hooks hooks) : link_(link), hooks_(std::move(hooks)) {}

End EraseJob::collect(Receipt& receipt) {
    const QDate day = receipt.at.date();
    RecordSink file(UploadFileName('B', day.year(), day.month(), day.day()), UploadFile::Mode::Append, true);
    batch::BatchJob job(link_, file,
                        batch::BatchJob::Hooks{hooks_.stopRequested,
                                               {},
                                               [&](int reader, const TPunchRecord& record, int taken) {
                                                   if (taken > receipt.stored) {
                                                       receipt.stored = taken;
                                                       receipt.lastSeq = seqDigits(record);
                                                       if (receipt.firstSeq.isEmpty())
                                                           receipt.firstSeq = receipt.lastSeq;
                                                   }
                                                   if (hooks_.took) hooks_.took(reader, record);
                                               },
                                               {}});
    const batch::ReaderEnd end = job.uploadReader(receipt.reader);
    file.close();
    receipt.file = QFileInfo(file.path()).fileName();
    if (end == batch::ReaderEnd::Finished) return End::Erased;
    if (end == batch::ReaderEnd::Failed) job.abandon(receipt.reader);
    return end == batch::ReaderEnd::Stopped  ? End::Stopped
           : end == batch::ReaderEnd::Failed ? End::Unreadable
                                             : End::Silent;
}

Receipt EraseJob::erase(int reader) {
    // Nothing is erased that could not be stored, nor without its receipt.
    if (!outputDirExists()) throw FileError(QStringLiteral("자료를 출력할 디렉토리가 없습니다"));
    Receipt receipt;
    receipt.at = hooks_.now();
    receipt.reader = reader;
    if (hooks_.stopRequested && hooks_.stopRequested()) {
        receipt.end = End::Stopped;
        return receipt;
    }
    const std::optional<int> held = countOf(batch::requestCount(link_, reader, batch::kCountWaitMs));
    receipt.held = held.value_or(-1);
    const bool stored = held && !link_.ledger.owed(reader) && link_.ledger.passHolds(reader, *held);
    if (!stored) {
        receipt.end = collect(receipt);
        if (receipt.end != End::Erased) return receipt;
    }
    // The very next request after the count or the pass.
    link_.SendFrame("C3", reader);
    link_.AwaitAnswer(kEraseWaitMs);
    const int ack = link_.ReadWriteAck("C3");
    receipt.end = ack == AckDone ? End::Erased : ack == AckNone ? End::NoAck : End::BadAck;
    if (ack == AckHeld) receipt.end = End::Unreadable;
    if (receipt.sent()) appendReceipt(receipt);
    return receipt;
}

QString receiptLine(const Receipt& r) {
    const QString what = r.end == End::Erased  ? QStringLiteral("삭제")
                         : r.end == End::NoAck ? QStringLiteral("삭제요청 응답없음")
                                               : QStringLiteral("삭제요청 수신에러");
    QString line = r.at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral("  ") +
                   twoDigits(r.reader) + QStringLiteral("번리더 ") + what + QStringLiteral("  보유 ") +
                   (r.held >= 0 ? sixDigits(r.held) + QStringLiteral("건") : QStringLiteral("(건수 모름)")) +
                   QStringLiteral("  이번 저장 ") + sixDigits(r.stored) + QStringLiteral("건");
    if (r.stored > 0) line += QStringLiteral(" (순번 %1~%2)").arg(r.firstSeq, r.lastSeq);
    if (!r.file.isEmpty())
        line += QStringLiteral("  ") + r.file;
    else
        line += QStringLiteral("  (모두 저장되어 있음)");
    return line;
}

void appendReceipt(const Receipt& receipt) {
    UploadFile file(receiptFile(), UploadFile::Mode::Append);
    file.writeUtf8Line(receiptLine(receipt));
    file.close();
}

} // namespace eraser
