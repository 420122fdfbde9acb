// The collected-data count: asks the chosen readers how many punch records they hold ("C4").
#pragma once

#include "ReaderTableDialog.h"

class TPanGn : public ReaderTableDialog {
    Q_OBJECT
public:
    explicit TPanGn(ReaderLink& link, QWidget* parent = nullptr);
};
