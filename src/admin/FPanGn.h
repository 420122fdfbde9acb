// The collected-data count: asks the chosen readers how many punch records they hold ("C4").
#pragma once

#include "ReaderDialog.h"

class QPushButton;
class QTableWidget;

class TPanGn : public ReaderDialog {
    Q_OBJECT
public:
    explicit TPanGn(ReaderLink& link, QWidget* parent = nullptr);

    QTableWidget* Grid;
    QPushButton* Button1;
    QPushButton* Button2;

    void FormCreate();
    void Button1Click();
    void Button2Click();

private:
    void countAll();
};
