// The customer download: "D0" opens it on the readers, one "D1" per record streams the records
// (once, to the broadcast address, when all readers are meant) and "D2" closes it.
#pragma once

#include <QByteArray>
#include <QList>

#include <functional>

class ReaderLink;

class CustomerDownload {
public:
    explicit CustomerDownload(ReaderLink& link) : link_(link) {}

    // After each record, with the number sent so far; the window handles its messages there,
    // which is how a stop request reaches the run.
    std::function<void(int sent)> recordSent;
    std::function<bool()> stopRequested;

    enum class End {
        Closed,    // the records went out and the readers were told to close the download
        NotOpened, // the one reader refused "D0" (its notice has been shown)
        Cancelled, // the operator cancelled after some readers refused "D0"; all got "D2"
        DataError, // a reader asked for a record again: the run is void, no "D2" is sent
    };
    // Sends the nine-byte records to `reader`, or to every configured reader when it is 0.
    // A stop request ends the stream early; the download is still closed.
    End run(int reader, const QList<QByteArray>& records);

private:
    bool openAll(int count);
    bool openOne(int reader);
    // False when a reader answered a record with "N0".
    bool stream(int address, const QList<QByteArray>& records);
    void closeAll(int count);
    void closeOne(int reader);

    ReaderLink& link_;
};
