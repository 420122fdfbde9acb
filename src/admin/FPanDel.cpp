#include "FPanDel.h"

#include "ReaderLink.h"
#include "RecordCount.h"

namespace {
ReaderTableDialog::Shape recordsDeleteShape() {
    ReaderTableDialog::Shape shape = ReaderTableDialog::deleteShape(
        QStringLiteral("수집자료 전체삭제"), QStringLiteral("수집자료 전체가 삭제됩니다. 계속하시겠습니까?"));
    shape.objectName = QStringLiteral("PanDel");
    return shape;
}
} // namespace

TPanDel::TPanDel(ReaderLink& link, QWidget* parent)
    : ReaderTableDialog(
          link, recordsDeleteShape(),
          [](ReaderLink& l, int reader) { return deleteResultText(deleteRecords(l, reader)); }, parent) {}
