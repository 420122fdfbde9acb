// The reader clock check: reads the chosen readers' clocks with "B0" beside a live display of
// the computer's clock.
#pragma once

#include "ReaderDialog.h"

class ClockPanels;
class QPushButton;
class QTableWidget;

class TForm_Th : public ReaderDialog {
    Q_OBJECT
public:
    explicit TForm_Th(ReaderLink& link, QWidget* parent = nullptr);

    QTableWidget* Grid;
    ClockPanels* clock; // Panel1, Panel2, Timer1
    QPushButton* Button1;
    QPushButton* Button2;

    void FormCreate();
    void Timer1Timer();
    void Button1Click();
    void Button2Click();

private:
    void checkClocks();
};
