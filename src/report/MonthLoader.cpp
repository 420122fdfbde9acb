#include "MonthLoader.h"

#include <exception>

MonthLoader::~MonthLoader() {
    stop();
}

void MonthLoader::stop() {
    cancel_ = true;
    if (thread_.joinable()) thread_.join();
    cancel_ = false;
    busy_ = false;
}

void MonthLoader::start(int year, int month, const ReportRules& rules, Done done) {
    stop();
    busy_ = true;
    const int generation = ++generation_;
    thread_ = std::thread([this, generation, year, month, rules, done = std::move(done)] {
        auto data = std::make_shared<MonthData>();
        QString error;
        // Nothing may escape the thread: an error travels to the dialog as its message.
        try {
            *data = loadMonth(year, month, rules, &cancel_);
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
        }
        if (data->reading.cancelled) return;
        // Delivered through this object's event queue: dropped if it is gone by then, or if
        // another month was asked for meanwhile.
        QMetaObject::invokeMethod(
            this,
            [this, generation, data, error, done] {
                if (generation != generation_) return;
                busy_ = false;
                done(data, error);
            },
            Qt::QueuedConnection);
    });
}
