// The customer-data delete: after a warning, every chosen reader erases its whole customer
// table ("D3").
#pragma once

#include "ReaderTableDialog.h"

class TGaekDel : public ReaderTableDialog {
    Q_OBJECT
public:
    explicit TGaekDel(ReaderLink& link, QWidget* parent = nullptr);
};
