// Reads a month in a thread of its own, so that the dialog answers while a large month loads.
#pragma once

#include "MonthLoad.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class MonthLoader : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(std::shared_ptr<MonthData> data, const QString& error)>;

    explicit MonthLoader(QObject* parent = nullptr) : QObject(parent) {}
    // Stops a reading under way and waits for its thread.
    ~MonthLoader() override;

    // Starts reading the month, after stopping any reading under way (whose result is dropped).
    // done runs on this object's thread once the month is read: with the data, or with the
    // message of the error that ended the reading.
    void start(int year, int month, const ReportRules& rules, Done done);
    bool busy() const { return busy_; }

private:
    void stop();
    std::thread thread_;
    std::atomic<bool> cancel_{false};
    bool busy_ = false;
    int generation_ = 0; // which start a delivered result belongs to
};
