// The meal download: the lines of the meal file go to the readers they name, each new reader
// announced with "E1", each line sent with "E2" and repeated up to five times; a reader that
// still fails is passed over until a line names another reader.
#pragma once

#include "DownloadFiles.h"

#include <functional>

class ReaderLink;

class MealDownload {
public:
    explicit MealDownload(ReaderLink& link) : link_(link) {}

    // After each line is taken, with the number of lines handled so far (passed-over lines
    // included); the window handles its messages there, which is how a stop request arrives.
    std::function<void(int handled)> lineTaken;
    // Before a line goes out, with the reader id as the file writes it.
    std::function<void(const QByteArray& idText)> readerShown;
    std::function<bool()> stopRequested;

    void run(const QList<MealLine>& lines);

private:
    void announce(int reader);
    // The last acknowledgement result: 1 when the reader took the line.
    int send(const MealLine& line);

    ReaderLink& link_;
};
