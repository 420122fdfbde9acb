// The meal time and amount download: each line of the meal file goes to the reader it names.
#pragma once

#include "ReaderDialog.h"

class ProgressCounters;
class QLabel;

class TSikDn : public ReaderDialog {
    Q_OBJECT
public:
    explicit TSikDn(ReaderLink& link, QWidget* parent = nullptr);

    QLabel* Label1;
    QLabel* capid; // "ALL" between runs, the current line's reader during one
    ProgressCounters* counters;
    QPushButton* Button1;
    QPushButton* Button2;

    void Button1Click();
    // Stops a running download before its next line, then closes the dialog.
    void Button2Click();

private:
    void FormCreate();
    void download();
};
