// The collected-data delete: after one confirmation, tells the chosen readers to erase all the
// punch records they hold ("C3").
#pragma once

#include "ReaderTableDialog.h"

class TPanDel : public ReaderTableDialog {
    Q_OBJECT
public:
    explicit TPanDel(ReaderLink& link, QWidget* parent = nullptr);
};
