// The shape of the small per-reader dialogs (the counts and the deletes): the reader selection
// panel, a result grid with one row per reader, a run button and 종료. A run (after an optional
// warning) writes one text per reader into its row.
#pragma once

#include "ReaderDialog.h"
#include "ReaderGrid.h"

#include <functional>

class ReaderTableDialog : public ReaderDialog {
    Q_OBJECT
public:
    struct Shape {
        QString objectName;
        QString caption;
        QString runCaption;
        bool runInRed = false;
        GridLayout grid;
        QString warning; // asked (caption "삭제경고") before a run; none when empty
        // A run drops stale input byte by byte and blanks the result column first; when the rows
        // it does not reach keep what an earlier run wrote, it only clears the input.
        bool keepsEarlierRows = false;
        Walk walk;
    };
    // The exchange with one reader; returns the text of its row.
    using Exchange = std::function<QString(ReaderLink& link, int reader)>;

    // The delete dialogs' shape: a red 삭제 button, the result column "삭 제 결 과", the warning
    // asked before a run, and each reader shown in capid as the walk reaches it.
    static Shape deleteShape(const QString& caption, const QString& warning);

    ReaderTableDialog(ReaderLink& link, const Shape& shape, Exchange exchange, QWidget* parent);

    QTableWidget* Grid;
    QPushButton* Button1;
    QPushButton* Button2;

    void Button1Click();
    void Button2Click();

protected:
    // After a run (not after Cancel), also one an error ended.
    virtual void runEnded() {}

private:
    void run();

    Shape shape_;
    Exchange exchange_;
};
