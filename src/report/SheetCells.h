// What stands in each column of the three sheets — 일별, 월별 and 기록 — for the workbook, the
// CSV file, the dialog's tables and the printed page alike.
#pragma once

#include "TimeSheet.h"

#include <QDate>
#include <QString>
#include <QStringList>

extern const QString kDaySheetName;   // 일별
extern const QString kMonthSheetName; // 월별
extern const QString kPunchSheetName; // 기록

// The header texts of row 1, in column order.
extern const QStringList kDayColumns; // 날짜 사원번호 이름 부서 출근 퇴근 외출 근무 지각 조퇴 연장 비고
extern const QStringList
    kMonthColumns; // 사원번호 이름 부서 근무일수 지각 지각시간 조퇴 조퇴시간 누락 외출 근무 연장
extern const QStringList kPunchColumns; // 날짜 시각 사원번호 이름 모드 리더 순번

enum DayColumn {
    kDayDate,
    kDayNumber,
    kDayName,
    kDayDepartment,
    kDayArrival,
    kDayLeaving,
    kDayOuting,
    kDayWorked,
    kDayLate,
    kDayEarly,
    kDayOvertime,
    kDayNotes
};
enum MonthColumn {
    kMonthNumber,
    kMonthName,
    kMonthDepartment,
    kMonthDays,
    kMonthLateCount,
    kMonthLate,
    kMonthEarlyCount,
    kMonthEarly,
    kMonthMissing,
    kMonthOuting,
    kMonthWorked,
    kMonthOvertime
};

struct SheetCell {
    enum Kind {
        Empty,
        Text,
        Date,
        Time,        // a time of the work day, hh:mm; from 24:00 on the next day's
        TimeSeconds, // a punch's time of day, hh:mm:ss
        Duration,    // [h]:mm
        Count,
    };
    Kind kind = Empty;
    QString text;    // Text
    QDate date;      // Date
    int seconds = 0; // Time, TimeSeconds, Duration
    int count = 0;   // Count

    // The cell as text: "2024-03-04", "08:51", "익일 01:30", "08:51:07", "176:30", "3".
    QString display() const;
    // A number that sorts the column's cells as their values do.
    double sortValue() const;
    // A time, a duration or a count: set flush right, as figures are.
    bool figure() const { return kind == Time || kind == TimeSeconds || kind == Duration || kind == Count; }
};

SheetCell dayCell(const TimeSheet& sheet, const DayRow& row, int column);
SheetCell monthCell(const TimeSheet& sheet, const MonthRow& row, int column);
SheetCell punchCell(const TimeSheet& sheet, const SheetPunch& punch, int column);

// "출근 누락, 귀사 누락"
QString notesText(unsigned notes);
