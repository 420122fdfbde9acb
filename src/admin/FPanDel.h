// The collected-data delete: after one confirmation, tells the chosen readers to erase all the
// punch records they hold ("C3").
#pragma once

#include "ReaderDialog.h"

class QPushButton;
class QTableWidget;

class TPanDel : public ReaderDialog {
    Q_OBJECT
public:
    explicit TPanDel(ReaderLink& link, QWidget* parent = nullptr);

    QTableWidget* Grid;
    QPushButton* Button1;
    QPushButton* Button2;

    void FormCreate();
    void Button1Click();
    void Button2Click();

private:
    void deleteAll();
};
