#include "FPanDel.h"

#include "Formats.h"
#include "Prompts.h"
#include "ReaderLink.h"
#include "RecordCount.h"

#include <QDateTime>

namespace {
const QString kNotErasedSilent = QStringLiteral("    응답이 없어 삭제하지 않았습니다");
const QString kNotErasedBad = QStringLiteral("    수신에러로 삭제하지 않았습니다");
const QString kNotErasedStopped = QStringLiteral("    중단되어 삭제하지 않았습니다");
const QString kReceiptCaption = QStringLiteral("확인");
const QString kReceiptHeader = QStringLiteral("저장한 뒤 삭제한 수집자료:");

ReaderTableDialog::Shape recordsDeleteShape() {
    ReaderTableDialog::Shape shape = ReaderTableDialog::deleteShape(
        QStringLiteral("수집자료 전체삭제"), QStringLiteral("수집자료 전체가 삭제됩니다. 계속하시겠습니까?"));
    shape.objectName = QStringLiteral("PanDel");
    return shape;
}

// "01번리더  보유 000123건  이번 저장 000005건 (순번 000101~000105)"
QString receiptText(const eraser::Receipt& r) {
    return eraser::receiptLine(r)
        .section(QStringLiteral("  "), 1)
        .replace(QStringLiteral("번리더 삭제"), QStringLiteral("번리더"));
}
} // namespace

TPanDel::TPanDel(ReaderLink& link, QWidget* parent)
    : ReaderTableDialog(
          link, recordsDeleteShape(),
          [this](ReaderLink& l, int reader) {
              eraser::EraseJob job(l, eraser::EraseJob::Hooks{[this] { return stopRequested(); },
                                                              [] { return QDateTime::currentDateTime(); },
                                                              {}});
              const eraser::Receipt receipt = job.erase(reader);
              if (receipt.erased()) erased_.push_back(receipt);
              return resultText(receipt);
          },
          parent) {}

QString TPanDel::resultText(const eraser::Receipt& receipt) {
    switch (receipt.end) {
    case eraser::End::Erased:
        return deleteResultText(AckDone);
    case eraser::End::NoAck:
        return deleteResultText(AckNone);
    case eraser::End::BadAck:
        return deleteResultText(AckBad);
    case eraser::End::Silent:
        return kNotErasedSilent;
    case eraser::End::Unreadable:
        return kNotErasedBad;
    case eraser::End::Stopped:
        return kNotErasedStopped;
    }
    return {};
}

// The clerk sees what each erased reader held and what this run stored before it erased.
void TPanDel::runEnded() {
    if (erased_.empty()) return;
    QStringList lines{kReceiptHeader};
    for (const eraser::Receipt& r : erased_) lines << receiptText(r);
    erased_.clear();
    prompts().message(lines.join(QLatin1Char('\n')), kReceiptCaption, Prompts::Icon::Information);
}
