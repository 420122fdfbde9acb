#include "FGaekDel.h"

#include "CustomerRecords.h"

namespace {
// The grid's own width for the id column.
constexpr int kDefaultColumnWidth = 64;

ReaderTableDialog::Shape deleteShape() {
    ReaderTableDialog::Shape shape;
    shape.caption = QStringLiteral("고객자료 전체삭제");
    shape.runCaption = QStringLiteral("삭제[&S]");
    shape.runInRed = true;
    shape.grid.widths = {kDefaultColumnWidth, 222};
    shape.grid.headers = {QStringLiteral("  I D"), QStringLiteral("      삭 제 결 과")};
    shape.grid.idPrefix = QStringLiteral("  ");
    shape.warning = QStringLiteral("고객자료 전체가 삭제됩니다. 계속하시겠습니까?");
    shape.walk = {true, true, true};
    return shape;
}
} // namespace

TGaekDel::TGaekDel(ReaderLink& link, QWidget* parent)
    : ReaderTableDialog(
          link, deleteShape(), [](ReaderLink& l, int reader) { return deleteCustomersText(l, reader); },
          parent) {}
