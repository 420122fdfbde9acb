// The time sheet of a month: per person and work day the first arrival, the last leaving, time
// out, time worked, late arrival, early leaving and overtime; per person the month's totals.
// Every time is in minutes after the midnight that starts the work day: a punch after midnight
// that still belongs to the work day counts from 1440 on.
#pragma once

#include "Employees.h"
#include "Punches.h"
#include "ReportRules.h"

#include <QDate>
#include <QString>

#include <vector>

// Punches that are missing on a day, as flags.
enum DayNote : unsigned {
    kNoArrival = 1, // 출근 누락
    kNoLeaving = 2, // 퇴근 누락
    kNoReturn = 4,  // 귀사 누락: an outing without its return
};

struct SheetPerson {
    QString number; // ten digits
    QString name;   // empty for a number that is not in the employee list
    QString department;
    bool listed = false;
};

struct SheetPunch {
    Punch punch;
    QDate workDay;
    int minute = 0; // in the work day
    int person = 0; // index in TimeSheet::people
};

struct DayRow {
    QDate day; // the work day
    int person = 0;
    int arrival = -1; // -1: none
    int leaving = -1;
    int outing = 0;
    int worked = -1; // -1: not both ends
    int late = 0;
    int early = 0;
    int overtime = 0;
    unsigned notes = 0;
    int firstPunch = 0; // the day's punches in TimeSheet::punches
    int punchCount = 0;
};

struct MonthRow {
    int person = 0;
    int days = 0; // days with an arrival or a leaving
    int lateCount = 0;
    int lateMinutes = 0;
    int earlyCount = 0;
    int earlyMinutes = 0;
    int missing = 0; // missing punches
    int outing = 0;
    int worked = 0;
    int overtime = 0;
};

struct TimeSheet {
    int year = 0;
    int month = 0;
    ReportRules rules;
    std::vector<SheetPerson> people; // the list's order, then unlisted numbers in order
    std::vector<SheetPunch> punches; // by person, work day and time
    std::vector<DayRow> days;        // by work day, then in the order of people
    std::vector<MonthRow> summary;   // one per person, in the order of people
    std::vector<int> punchesByTime;  // indices into punches, by date and time
};

// The dates a punch of the month's work days can carry: its first day to the day after its last.
QDate firstPunchDate(int year, int month);
QDate lastPunchDate(int year, int month);

// Where a person's work day changes: the site's hour, unless it falls inside the person's own
// shift (a night shift of 22:00 to 06:00), then the middle of the time off between two shifts
// (14:00), never before midnight, so that the shift stays on one row.
int dayChangeFor(const ReportRules& rules, int shiftStart, int shiftEnd);

// The sheet of the month from punches (any dates; those of other work days are left out), the
// employee list and the rules. Everyone on the list has a month row, punches or not.
TimeSheet buildTimeSheet(int year, int month, const std::vector<Punch>& punches,
                         const EmployeeList& employees, const ReportRules& rules);
