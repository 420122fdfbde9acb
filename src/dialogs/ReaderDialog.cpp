#include "ReaderDialog.h"

#include "AdminLayout.h"
#include "Prompts.h"
#include "ReaderLink.h"
#include "ReaderPanel.h"
#include "TabOrder.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>

ReaderDialog::ReaderDialog(ReaderLink& link, const QString& caption, QWidget* parent)
    : QDialog(parent), link(link) {
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
}

ReaderPanel* ReaderDialog::addReaderPanel() {
    panel = new ReaderPanel(link, this);
    return panel;
}

QPushButton* ReaderDialog::makeButton(const QString& name, const QString& caption) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

void ReaderDialog::fixSize(int width, int height) {
    setFixedSize(width, height);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width / 2, height / 2));
    }
}

void ReaderDialog::layOutGrid(QWidget* top, QTableWidget* grid, QWidget* side, QPushButton* run,
                              QPushButton* close) {
    useAligningFont(grid);
    layOutAdminDialog(this, top, grid, side, run, close);
    fixSize(sizeHint().width(), sizeHint().height());
}

void ReaderDialog::runJob(const std::function<void()>& job) {
    if (running_) return;
    running_ = true;
    runGuarded([&] { link.runOnLine(job); });
    running_ = false;
    if (closePending_) {
        closePending_ = false;
        QDialog::reject();
    }
}

// A dialog shown without exec() would accept the close at once and be freed under its job.
void ReaderDialog::closeEvent(QCloseEvent* event) {
    if (running_) {
        closePending_ = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

// The dialogs build their layouts in their own constructors, so the base can order the tabs only
// once the dialog is complete.
void ReaderDialog::showEvent(QShowEvent* event) {
    if (!tabsOrdered_) {
        orderTabsByLayout(this);
        tabsOrdered_ = true;
    }
    QDialog::showEvent(event);
}

void ReaderDialog::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    auto* button = qobject_cast<QPushButton*>(focusWidget());
    if (enter && button && button->isEnabled()) {
        button->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ReaderDialog::stopAndClose() {
    stopRequested_ = true;
    close();
}

void ReaderDialog::reject() {
    stopRequested_ = true;
    if (running_) {
        closePending_ = true;
        return;
    }
    QDialog::reject();
}

void ReaderDialog::forEachSelectedReader(const Walk& walk, const std::function<void(int reader)>& job) {
    if (link.SelectedReader != 0) {
        job(link.SelectedReader);
        return;
    }
    // However the walk ends, an error included, the dialog is left in all-readers mode as the
    // panel shows it: the next run must not serve only the reader the walk stopped at.
    struct Restore {
        ReaderDialog& dialog;
        bool completed = false;
        ~Restore() {
            dialog.link.SelectedReader = 0;
            if (!completed && dialog.panel) dialog.panel->showAll();
        }
    } restore{*this};
    const int count = link.ReaderCount;
    for (int reader = 1; reader <= count; ++reader) {
        link.SelectedReader = reader;
        if (walk.pumpBeforeEach) link.processEvents();
        if (walk.showEachInCapid && panel) panel->showReader(reader);
        job(reader);
    }
    restore.completed = true;
    link.SelectedReader = 0;
    if (walk.showAllAfter && panel) panel->showAll();
}
