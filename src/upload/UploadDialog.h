// What the batch and on-line upload dialogs build alike: the record list, the reader panel,
// the count panels, the run and close buttons, the reader marks and the clock panels, laid out
// the same way, and the close button that stops a running job.
#pragma once

#include "ReaderDialog.h"

#include <functional>

class QLabel;
class QVBoxLayout;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class ReaderMarks;
class RecordList;
class UploadClock;

class UploadDialog : public ReaderDialog {
    Q_OBJECT
public:
    UploadDialog(ReaderLink& link, const QString& caption, QWidget* parent = nullptr);

    RecordList* list;
    QPlainTextEdit* Rich;
    ReaderMarks* marks;
    UploadClock* clock;
    QPushButton *Button1, *Button2;
    QTimer* Timer1;

    virtual void Timer1Timer() = 0;
    virtual void Button1Click() = 0;
    void Button2Click();
    void ClearReaderPanels();

protected:
    // A count panel ("000000") in the large bold figures of the job's progress.
    QLabel* countPanel(const char* name);
    // Makes the two buttons and puts the list beside a column of the reader panel, what
    // `middle` adds and the buttons, with the marks and the clock below.
    void layOut(const std::function<void(QVBoxLayout* side)>& middle, int timerIntervalMs);
    // The error box for a job whose day's file has no folder to go to.
    void reportNoOutputFolder();

    int recordCounter_ = 0;
};
