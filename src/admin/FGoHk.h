// The automatic attendance-mode table: loads the schedule file into the chosen readers with
// "B3" and shows the table a reader answers with.
#pragma once

#include "ReaderDialog.h"

class QPushButton;
class QTableWidget;

class TGoHk : public ReaderDialog {
    Q_OBJECT
public:
    explicit TGoHk(ReaderLink& link, QWidget* parent = nullptr);

    QTableWidget* Grid;
    QPushButton* Button1;
    QPushButton* Button2;

    void FormCreate();
    void Button1Click();
    void Button2Click();

private:
    void loadAll();
    void loadReader(int reader);
    void showTable(const QByteArray& table);
    void blankTable();
};
