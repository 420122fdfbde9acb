#include "MonthLoad.h"

#include "HostPaths.h"

MonthData loadMonth(int year, int month, const ReportRules& rules, const std::atomic<bool>* cancel) {
    MonthData data;
    data.year = year;
    data.month = month;
    data.employees = readEmployeeList(hostPath(kEmployeeFile));
    data.reading = readPunches(firstPunchDate(year, month), lastPunchDate(year, month), cancel);
    if (!data.reading.cancelled) applyRules(data, rules);
    return data;
}

void applyRules(MonthData& data, const ReportRules& rules) {
    data.sheet = buildTimeSheet(data.year, data.month, data.reading.punches, data.employees, rules);
}
