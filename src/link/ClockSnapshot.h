// The computer's local date and time as the dialogs' clock timers and the collector sample it.
#pragma once

#include <QString>

class QDateTime;

struct ClockSnapshot {
    int year = 0, month = 0, day = 0;
    int dayOfWeek = 0; // 0 = Sunday .. 6 = Saturday
    int hour = 0, minute = 0, second = 0;

    static ClockSnapshot now();
    static ClockSnapshot of(const QDateTime& t);
    // "2007년 12월 08일" and "13시 45분 30초 " (each number "%0:2.2d").
    QString dateText() const;
    QString timeText() const;
};
