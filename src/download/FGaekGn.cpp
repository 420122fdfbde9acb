#include "FGaekGn.h"

#include "CustomerRecords.h"

namespace {
ReaderTableDialog::Shape countShape() {
    ReaderTableDialog::Shape shape;
    shape.caption = QStringLiteral("DOWNLOAD DATA 건수확인");
    shape.runCaption = QStringLiteral("실행[&S]");
    shape.grid.widths = {65, 232};
    shape.grid.headers = {QStringLiteral("  I D"), QStringLiteral("       검 색 건 수")};
    shape.grid.idPrefix = QStringLiteral("  ");
    shape.walk = {true, true, true};
    return shape;
}
} // namespace

TGaekGn::TGaekGn(ReaderLink& link, QWidget* parent)
    : ReaderTableDialog(
          link, countShape(), [](ReaderLink& l, int reader) { return customerCountText(l, reader); },
          parent) {}
