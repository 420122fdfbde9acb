// TOnline, "수집자료 올려받기 (ON-LINE)": polls one reader or all configured readers in an
// endless cycle and appends every new punch record to the day's on-line file as it comes.
// Closing the dialog closes the serial port and opens it again.
#pragma once

#include "UploadDialog.h"

#include <QColor>

class LineSession;
namespace online {
class OnlineSession;
}
class QLabel;
class TCustomComm;
struct TPunchRecord;
struct Verdict;

class TOnline : public UploadDialog {
    Q_OBJECT
public:
    TOnline(ReaderLink& link, TCustomComm& comm, QWidget* parent = nullptr);

    QLabel *Label2, *Label4;
    QLabel* CAPONLINE;
    QLabel* Cap1;

    void FormCreate();
    void Timer1Timer() override;
    void Button1Click() override;
    void FormClose();
    void RunOnline(int id, bool all);

    // The indicator's text colour: white while a run polls, red (invisible on red) otherwise.
    QColor indicatorColour() const { return indicatorColour_; }

    void done(int result) override;

private:
    void setIndicatorColour(const QColor& colour);
    void runCycles(online::OnlineSession& session, int first, int last);
    // taken: the records this run took.
    void showRecord(int reader, const TPunchRecord& record, const Verdict& verdict, int taken);
    void showLine(bool up, LineSession& line);
    // Waits, the window alive, until ms have passed or the operator stops the run.
    void pauseRun(int ms);

    TCustomComm& comm_;
    int blinkCounter_ = 0;
    bool blinkShown_ = false;
    QColor indicatorColour_;
    bool lineDown_ = false;
};
