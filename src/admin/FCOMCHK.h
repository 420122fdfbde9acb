// The communication status check: polls readers 1..ReaderCount with "A0" and shows, per reader,
// whether it answers and works normally. It has no reader selection panel.
#pragma once

#include "ReaderDialog.h"

class QLabel;
class QPushButton;
class QTableWidget;

class TComCheck : public ReaderDialog {
    Q_OBJECT
public:
    explicit TComCheck(ReaderLink& link, QWidget* parent = nullptr);

    QTableWidget* Grid;
    QLabel* Panel2; // "리더갯수"
    QLabel* Panel1; // the configured reader count, "03대"
    QPushButton* Button1;
    QPushButton* Button2;

    void FormCreate();
    void Button1Click();
    void Button2Click();

private:
    void checkAll();
};
