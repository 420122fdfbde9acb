// The collector's log: one line per event on standard error, where journald takes it. Run by
// hand, each line begins with the local time; under journald, which stamps lines itself, not.
#pragma once

#include <QString>

#include <functional>

class CollectLog {
public:
    // Lines go to sink; without one, to standard error.
    explicit CollectLog(std::function<void(const QString& line)> sink = {});
    void operator()(const QString& text) const;

private:
    std::function<void(const QString&)> sink_;
    bool stamped_;
};
