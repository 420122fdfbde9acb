#include "FPanGn.h"

#include "ReaderLink.h"
#include "RecordCount.h"

namespace {
ReaderTableDialog::Shape countShape() {
    ReaderTableDialog::Shape shape;
    shape.objectName = QStringLiteral("PanGn");
    shape.caption = QStringLiteral("수집자료 건수 확인");
    shape.runCaption = QStringLiteral("실행[&S]");
    shape.grid.widths = {65, 116};
    shape.grid.headers = {QStringLiteral("  I D"), QStringLiteral(" Reader건수")};
    shape.grid.idPrefix = QStringLiteral("  ");
    shape.keepsEarlierRows = true;
    shape.walk = {false, true, true};
    return shape;
}
} // namespace

TPanGn::TPanGn(ReaderLink& link, QWidget* parent)
    : ReaderTableDialog(
          link, countShape(),
          [](ReaderLink& l, int reader) { return recordCountText(askRecordCount(l, reader)); }, parent) {}
