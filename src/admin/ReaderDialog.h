// What every reader dialog shares: a fixed, centred, modal window that frees itself on close,
// run buttons whose jobs cannot overlap and whose errors end in the default error box, a close
// that waits for the running job, and the loop over the chosen readers.
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

    // Closing (종료, the title bar, Esc) while a job runs is put off until the job returns.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    // Runs a button's job: ignored while another job runs; an error ends the job and is shown.
    void runJob(const std::function<void()>& job);
    // Creates the reader selection panel (SelectedReader then follows its scroll bar).
    ReaderPanel* addReaderPanel();
    QPushButton* makeButton(const QString& name, const QString& caption);
    // Fixes the size and centres the dialog on the screen.
    void fixSize(int width, int height);

private:
    bool running_ = false;
    bool closePending_ = false;
};
