// The download-data count: how many customer records each chosen reader holds ("D8").
#pragma once

#include "ReaderTableDialog.h"

class TGaekGn : public ReaderTableDialog {
    Q_OBJECT
public:
    explicit TGaekGn(ReaderLink& link, QWidget* parent = nullptr);
};
