// TBatch, "수집자료 올려받기 (일괄작업)": fetches in one pass every punch record that one reader
// or all configured readers hold, lists each and writes it to the day's batch file.
#pragma once

#include "UploadDialog.h"

class PieGauge;
class QLabel;
struct TPunchRecord;

class TBatch : public UploadDialog {
    Q_OBJECT
public:
    explicit TBatch(ReaderLink& link, QWidget* parent = nullptr);

    QLabel *Label2, *Label3, *Label4;
    QLabel *Cap1, *Cap2;
    PieGauge* Gauge1;

    void FormCreate();
    void Timer1Timer() override;
    void Button1Click() override;
    void UploadBatch(int id, bool all);

private:
    // The readers to read and the number of records to fetch; false when the job ends here.
    bool countAll(int readers);
    bool countOne(int id);
    void showRecord(int reader, const TPunchRecord& record, int taken);
};
