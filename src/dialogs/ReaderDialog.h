// What every reader dialog shares: a fixed, centred, modal window that frees itself on close,
// run buttons whose jobs cannot overlap and whose errors end in the default error box, a close
// that asks the running job to stop and waits for it, the loop over the chosen readers, and the
// keyboard: Tab follows the layout, Enter presses the focused button, Esc closes.
#pragma once

#include <QDialog>

#include <functional>

class QPushButton;
class QTableWidget;
class ReaderLink;
class ReaderPanel;

class ReaderDialog : public QDialog {
    Q_OBJECT
public:
    ReaderDialog(ReaderLink& link, const QString& caption, QWidget* parent = nullptr);

    ReaderLink& link;
    ReaderPanel* panel = nullptr; // on the dialogs that carry the reader selection panel

    bool jobRunning() const { return running_; }

    // How a dialog walks the readers in all-readers mode.
    struct Walk {
        bool pumpBeforeEach = false; // let pending window messages be handled before each reader
        bool showEachInCapid = false;
        bool showAllAfter = false;
    };
    // One reader: job(SelectedReader). All readers: job(1..ReaderCount) in order with
    // SelectedReader set to each, then SelectedReader back to 0. A reader's failure never
    // stops the walk; an exception does, leaving SelectedReader 0 and capid at "ALL".
    void forEachSelectedReader(const Walk& walk, const std::function<void(int reader)>& job);

    // Whether the operator has asked the running job to stop (it is asked between two steps).
    bool stopRequested() const { return stopRequested_; }

    // 종료 and Esc ask the running job to stop. Closing (종료, the title bar, Esc) while a job
    // runs is put off until the job returns.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Enter presses the button that has the focus. No button is a default button: Enter on any
    // other control runs nothing (the delete dialogs' run button erases readers).
    void keyPressEvent(QKeyEvent* event) override;
    // Runs a button's job: ignored while another job runs; an error ends the job and is shown.
    void runJob(const std::function<void()>& job);
    // Creates the reader selection panel (SelectedReader then follows its scroll bar).
    ReaderPanel* addReaderPanel();
    QPushButton* makeButton(const QString& name, const QString& caption);
    // Fixes the size and centres the dialog on the screen.
    void fixSize(int width, int height);
    // The grid dialogs: the grid in the aligning font, laid out with top (may be null), side and
    // the two buttons as the administration dialogs are, then the size fixed to what that needs.
    void layOutGrid(QWidget* top, QTableWidget* grid, QWidget* side, QPushButton* run, QPushButton* close);
    // Asks the running job to stop and closes the dialog (once the job has returned).
    void stopAndClose();

private:
    bool running_ = false;
    bool closePending_ = false;
    bool stopRequested_ = false;
    bool tabsOrdered_ = false;
};
