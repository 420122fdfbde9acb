// What qrx-collect is told on its command line.
#pragma once

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

// A time of day for a daily job, in minutes after midnight.
struct DailyTime {
    int minutes = 0;
    QString text() const; // "HH:MM"
    // Whether this time of day came in (previous, now], on either's date.
    bool passedBetween(const QDateTime& previous, const QDateTime& now) const;
};

struct CollectOptions {
    QString workDir;                   // where QRX.CFG, DATA1 and DATA2 are
    std::optional<DailyTime> batchAt;  // the batch upload of all readers, every day then
    std::optional<DailyTime> clocksAt; // every reader's clock set from the computer's
    std::vector<DailyTime> eraseAt;    // every reader erased, what no file holds collected first
    bool status = false;               // print what the running collector last wrote
    bool help = false;
    bool version = false;
};

// "HH:MM", 00:00 to 23:59.
std::optional<DailyTime> parseDailyTime(const QString& text);

// Reads the arguments (without the program name); returns an error text, empty when they were
// good. Without --workdir the collector works in defaultWorkDir.
QString parseCollectOptions(const QStringList& args, const QString& defaultWorkDir, CollectOptions& options);

extern const char* const kCollectUsage;
