// TOnline, "수집자료 올려받기 (ON-LINE)": polls one reader or all configured readers in an
// endless cycle and appends every new punch record to the day's on-line file as it comes.
// Closing the dialog closes the serial port and opens it again.
#pragma once

#include "ReaderDialog.h"

#include <QColor>

class UploadClock;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class ReaderMarks;
class RecordList;
class TCustomComm;
class UploadFile;
struct TPunchRecord;

namespace online {
class SequenceTracker;
}

class TOnline : public ReaderDialog {
    Q_OBJECT
public:
    TOnline(ReaderLink& link, TCustomComm& comm, QWidget* parent = nullptr);

    RecordList* list;
    QPlainTextEdit* Rich;
    ReaderMarks* marks;
    UploadClock* clock;
    QLabel *Label2, *Label4;
    QLabel* CAPONLINE;
    QLabel* Cap1;
    QPushButton *Button1, *Button2;
    QTimer* Timer1;

    void FormCreate();
    void Timer1Timer();
    void Button1Click();
    void Button2Click();
    void FormClose();
    void ClearReaderPanels();
    void DrainInput();
    void RunOnline(int id, bool all);

    // The indicator's text colour: white while a run polls, red (invisible on red) otherwise.
    QColor indicatorColour() const { return indicatorColour_; }

    void done(int result) override;

private:
    void setIndicatorColour(const QColor& colour);
    void takeRecord(UploadFile& file, online::SequenceTracker& seqs, int reader, const TPunchRecord& record,
                    int readers);

    TCustomComm& comm_;
    bool stop_ = false;
    int blinkCounter_ = 0;
    bool blinkShown_ = false;
    QColor indicatorColour_;
    int recordCounter_ = 0;
};
