// The customer record check: one employee number looked up in one reader or in all readers,
// with the maintenance commands for a single reader (add, delete, change, link test, meal-count
// reset), which the form binds to no control.
#pragma once

#include "ReaderDialog.h"

class QLabel;
class QLineEdit;

class TGaekHk : public ReaderDialog {
    Q_OBJECT
public:
    explicit TGaekHk(ReaderLink& link, QWidget* parent = nullptr);

    QLabel* Panel2;
    QLineEdit* Edit1;
    QTableWidget* Grid;
    QPushButton* Button1;
    QPushButton* Button2;

    void Button1Click();
    // Enter (character 13) in the entry runs the query.
    void Edit1KeyPress(char key);
    void Button2Click();
    void Button3Click(); // delete, by the first six digits
    void Button4Click(); // add
    void Button5Click(); // change
    void Button6Click(); // link test
    void Button7Click(); // meal-count reset

private:
    void FormCreate();
    void query();
    // The maintenance commands address one reader and write into its row; with all readers
    // chosen there is neither, so they refuse with a notice.
    bool oneReaderChosen();
    void addOrChange(bool add);
};
