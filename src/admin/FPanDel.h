// The collected-data delete: after one confirmation, collects what each chosen reader holds that
// no file has, then tells it to erase all its punch records ("C3"), and shows what was stored
// and erased.
#pragma once

#include "EraseJob.h"
#include "ReaderTableDialog.h"

#include <vector>

class TPanDel : public ReaderTableDialog {
    Q_OBJECT
public:
    explicit TPanDel(ReaderLink& link, QWidget* parent = nullptr);

    // The text of a reader's row after its erase.
    static QString resultText(const eraser::Receipt& receipt);

protected:
    void runEnded() override;

private:
    std::vector<eraser::Receipt> erased_; // of the run under way
};
