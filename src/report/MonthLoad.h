// Everything a month's sheet is made of, read from the work folder (the current directory):
// the rules, the employee list and the punches of the upload files.
#pragma once

#include "Employees.h"
#include "Punches.h"
#include "ReportRules.h"
#include "TimeSheet.h"

#include <atomic>

struct MonthData {
    int year = 0;
    int month = 0;
    EmployeeList employees;
    PunchReading reading; // the punches that can belong to the month's work days
    TimeSheet sheet;
};

// Reads and computes the month; raises FileError when a file that is there cannot be read.
// With `cancel` set the reading stops early (reading.cancelled) and the sheet stays empty.
MonthData loadMonth(int year, int month, const ReportRules& rules, const std::atomic<bool>* cancel = nullptr);
// The same punches and list under other rules.
void applyRules(MonthData& data, const ReportRules& rules);
