// The groups of tst_admin; each runs as a QtTest class of its own.
#pragma once

#include "ReaderGrid.h"
#include "ReaderPanel.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QPointer>
#include <QScrollBar>
#include <QTableWidget>

#include <vector>

int runProtocolTests(int argc, char** argv);
int runDialogTests(int argc, char** argv);
int runSharedTests(int argc, char** argv);

// A dialog made for one test: deleted at the end of the test unless it has freed itself.
template <class T> class Owned {
public:
    explicit Owned(T* dialog) : dialog_(dialog) {}
    ~Owned() { delete dialog_.data(); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    T* operator->() const { return dialog_.data(); }
    T* get() const { return dialog_.data(); }
    // True once the dialog has been freed (its deferred deletion handled).
    bool freed() const {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return dialog_.isNull();
    }

private:
    QPointer<T> dialog_;
};

// Column `column` of rows first..last.
inline QStringList gridColumn(const QTableWidget* grid, int column, int first = 1, int last = 12) {
    QStringList out;
    for (int r = first; r <= last; ++r) out << cellText(grid, r, column);
    return out;
}

inline void chooseAllReaders(ReaderPanel* panel) {
    panel->items->button(1)->click();
}

inline void chooseReader(ReaderPanel* panel, int reader) {
    panel->items->button(0)->click();
    panel->TSBAR->setValue(reader);
}

inline QByteArray toBytes(const std::vector<std::uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
}
