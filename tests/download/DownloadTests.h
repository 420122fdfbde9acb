// The groups of tst_download, each a QtTest class of its own, and what they share.
#pragma once

#include "ReaderSim.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEvent>
#include <QList>
#include <QPointer>

int runCustomerTests(int argc, char** argv);
int runFileDownloadTests(int argc, char** argv);

inline QByteArray bytesOf(const sim::Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

inline QByteArray linesFile(const QList<QByteArray>& lines) {
    QByteArray file;
    for (const QByteArray& l : lines) file += l + "\r\n";
    return file;
}

// Customer line i: employee number, flags 10, balance 001000 + i, then columns not sent.
inline QByteArray customerLine(int i) {
    return QByteArray::number(1000000000 + i) + "10" + QByteArray::number(1000 + i).rightJustified(6, '0') +
           "ABCDEFGHIJKL";
}

inline QByteArray customerFile(int lines) {
    QList<QByteArray> all;
    for (int i = 1; i <= lines; ++i) all << customerLine(i);
    return linesFile(all);
}

// A meal line for reader `id` whose 98 digits start with the line's number n.
inline QByteArray mealLine(const char* id, int n) {
    return QByteArray(id) + QByteArray::number(n).rightJustified(4, '0') + QByteArray(94, '7') + "tail";
}

// A dialog made for one test; freed at the end unless it closed (and freed itself) before.
template <class Dialog> class OpenDialog {
public:
    template <class... Args>
    explicit OpenDialog(Args&&... args) : dialog_(new Dialog(std::forward<Args>(args)...)) {}
    explicit OpenDialog(Dialog* adopted) : dialog_(adopted) {}
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
