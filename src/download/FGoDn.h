// The fixed-amount download: each line of the fixed-amount file goes to the line as a raw
// record; and two port tests that write fixed patterns.
#pragma once

#include "ReaderDialog.h"

class ProgressCounters;
class QLabel;

class TGODN : public ReaderDialog {
    Q_OBJECT
public:
    explicit TGODN(ReaderLink& link, QWidget* parent = nullptr);

    QLabel* Panel1;
    QLabel* Label1;
    QLabel* capid; // the current line's device id
    ProgressCounters* counters;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;

    void Button1Click();
    void Button2Click();
    // The port tests block the window for their whole run (19 s and 22.5 s).
    void Button3Click();
    void Button4Click();

private:
    void FormCreate();
    void download();
};
