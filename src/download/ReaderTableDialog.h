// The shape of the small per-reader dialogs: the reader selection panel, a result grid with one
// row per reader, a run button and 종료. A run (after an optional warning) drops stale input,
// blanks the result column and writes one text per reader into its row.
#pragma once

#include "ReaderDialog.h"
#include "ReaderGrid.h"

#include <functional>

class ReaderTableDialog : public ReaderDialog {
    Q_OBJECT
public:
    struct Shape {
        QString caption;
        QString runCaption;
        bool runInRed = false;
        GridLayout grid;
        QString warning; // asked (caption "삭제경고") before a run; none when empty
        Walk walk;
    };
    // The exchange with one reader; returns the text of its row.
    using Exchange = std::function<QString(ReaderLink& link, int reader)>;

    ReaderTableDialog(ReaderLink& link, const Shape& shape, Exchange exchange, QWidget* parent);

    QTableWidget* Grid;
    QPushButton* Button1;
    QPushButton* Button2;

    void Button1Click();
    void Button2Click();

private:
    void run();

    Shape shape_;
    Exchange exchange_;
};
