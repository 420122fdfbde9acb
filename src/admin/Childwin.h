// The reader clock set: sends the computer's date and time to the chosen readers with "B1" and
// lists, per reader, the time sent and the time the reader reports back.
#pragma once

#include "ReaderDialog.h"

class ClockPanels;
class QPushButton;
class QTableWidget;

class TMDIChild : public ReaderDialog {
    Q_OBJECT
public:
    // caption: the window caption the main window gives it ("리더 시간설정").
    TMDIChild(ReaderLink& link, const QString& caption, QWidget* parent = nullptr);

    QTableWidget* Grid;
    ClockPanels* clock; // Panel1, Panel2, Timer1
    QPushButton* Button1;
    QPushButton* Button2;

    void FormCreate();
    void Timer1Timer();
    void Button1Click();
    void Button2Click();

private:
    void setClocks();
    void setClock(int reader);
};
