// The customer data download: the customer file goes to one reader or, broadcast, to all.
#pragma once

#include "ReaderDialog.h"

class ProgressCounters;

class TGaekDn : public ReaderDialog {
    Q_OBJECT
public:
    explicit TGaekDn(ReaderLink& link, QWidget* parent = nullptr);

    ProgressCounters* counters;
    QPushButton* Button1;
    QPushButton* Button2;

    void Button1Click();
    // Stops a running download after the record in flight (the readers still get "D2"), then
    // closes the dialog.
    void Button2Click();

private:
    void download();
};
