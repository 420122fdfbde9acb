#include "ClockSnapshot.h"

#include "Formats.h"

#include <QDateTime>

ClockSnapshot ClockSnapshot::now() {
    return of(QDateTime::currentDateTime());
}

ClockSnapshot ClockSnapshot::of(const QDateTime& t) {
    ClockSnapshot s;
    s.year = t.date().year();
    s.month = t.date().month();
    s.day = t.date().day();
    s.dayOfWeek = t.date().dayOfWeek() % 7;
    s.hour = t.time().hour();
    s.minute = t.time().minute();
    s.second = t.time().second();
    return s;
}

QString ClockSnapshot::dateText() const {
    return twoDigits(year) + QStringLiteral("년 ") + twoDigits(month) + QStringLiteral("월 ") +
           twoDigits(day) + QStringLiteral("일");
}

QString ClockSnapshot::timeText() const {
    return twoDigits(hour) + QStringLiteral("시 ") + twoDigits(minute) + QStringLiteral("분 ") +
           twoDigits(second) + QStringLiteral("초 ");
}
