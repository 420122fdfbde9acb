// The reader selection panel that most reader dialogs carry: one reader (개별ID, chosen with the
// scroll bar) or all configured readers (전체ID). The choice lives in the link's SelectedReader.
// The scroll bar is a Tab stop named "Reader ID" after its caption.
#pragma once

#include <QWidget>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QScrollBar;
class ReaderLink;

// The blue reader-id caption ("01", "ALL") of the panel, also on dialogs without one.
QLabel* makeIdCaption(QWidget* parent, const QString& text);

class ReaderPanel : public QWidget {
    Q_OBJECT
public:
    // Takes SelectedReader from the scroll bar, which starts at 1.
    ReaderPanel(ReaderLink& link, QWidget* parent);

    QGroupBox* RadioGroup1;
    QButtonGroup* items;
    QScrollBar* TSBAR;
    QLabel* Label1;
    QLabel* capid;

    void RadioGroup1Click(int index);
    void TSBARChange(int position);
    void showReader(int id);
    void showAll();

private:
    ReaderLink& link_;
};
