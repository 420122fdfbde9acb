// What qrx and the collector both keep around the jobs on the line: the ledger of owed records
// in the work folder with the settler that stores what an owed reader repeats, the port opened
// again after the line was lost (looked for every moment while the adapter is out, backing off
// when it is there and will not open), and the gap notice of the on-line upload.
#pragma once

#include "LineRetry.h"
#include "ReaderLink.h"

#include <QDate>
#include <QString>

#include <exception>
#include <functional>

class LineSession {
public:
    // today: the date whose files a settled reader's records go into.
    LineSession(ReaderLink& link, std::function<QDate()> today);

    // Keeps the ledger in folder (beside QRX.CFG): a missing ledger where upload files exist
    // means every reader may owe records. Raises FileError when it cannot be written.
    void attachLedger(const QString& folder);

    // The line was lost, or the port opened again, at nowMs (any clock in milliseconds).
    void lost(qint64 nowMs) { retry_.lost(nowMs); }
    void opened(qint64 nowMs) { retry_.opened(nowMs); }
    // How long to wait before the port is tried again after error: a moment while the device
    // is missing, else the growing back-off.
    int waitBeforeRetry(const std::exception& error);
    // The same right after the line was lost.
    int waitAfterLoss() { return retry_.nextWaitMs(); }

    // "03번리더 000006카운트 누락": the record expected from reader was not the next that came.
    static QString gapNotice(int reader, int expected);

private:
    ReaderLink& link_;
    std::function<QDate()> today_;
    LineRetry retry_;
};
