#include "FGaekDel.h"

#include "CustomerRecords.h"

TGaekDel::TGaekDel(ReaderLink& link, QWidget* parent)
    : ReaderTableDialog(
          link,
          deleteShape(QStringLiteral("고객자료 전체삭제"),
                      QStringLiteral("고객자료 전체가 삭제됩니다. 계속하시겠습니까?")),
          [](ReaderLink& l, int reader) { return deleteCustomersText(l, reader); }, parent) {}
