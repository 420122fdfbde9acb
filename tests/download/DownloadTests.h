// The groups of tst_download, each a QtTest class of its own, and what they share.
#pragma once

#include "ReaderSim.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QString>

int runFileLineTests(int argc, char** argv);
int runCustomerDownloadTests(int argc, char** argv);
int runCustomerRecordTests(int argc, char** argv);
int runMealDownloadTests(int argc, char** argv);
int runFixedAmountTests(int argc, char** argv);

inline QByteArray bytesOf(const sim::Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// A dialog made for one test; freed at the end unless it closed (and freed itself) before.
template <class Dialog> class OpenDialog {
public:
    template <class... Args>
    explicit OpenDialog(Args&&... args) : dialog_(new Dialog(std::forward<Args>(args)...)) {}
    ~OpenDialog() { delete dialog_.data(); }
    Dialog* operator->() const { return dialog_.data(); }
    Dialog* get() const { return dialog_.data(); }
    // True when the dialog has closed and freed itself.
    bool gone() const {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return dialog_.isNull();
    }

private:
    QPointer<Dialog> dialog_;
};
