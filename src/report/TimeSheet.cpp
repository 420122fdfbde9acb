#include "TimeSheet.h"

#include <QMap>

#include <algorithm>
#include <tuple>
#include <utility>

namespace {
constexpr int kDay = 24 * 60;

int modDay(int minutes) {
    return ((minutes % kDay) + kDay) % kDay;
}

// A person's shift in minutes of the work day, and where their work day changes.
struct Shift {
    int start = 0;
    int end = 0;
    int dayChange = 0;
};

Shift shiftOf(const ReportRules& rules, const Employee* person) {
    const bool own = person && (person->shiftStart >= 0 || person->shiftEnd >= 0);
    const int start = own && person->shiftStart >= 0 ? person->shiftStart : rules.start;
    const int end = own && person->shiftEnd >= 0 ? person->shiftEnd : rules.end;
    Shift shift;
    shift.dayChange = own ? dayChangeFor(rules, start, end) : rules.dayChange;
    shift.start = start < shift.dayChange ? start + kDay : start;
    const int length = modDay(end - start);
    shift.end = shift.start + (length == 0 ? kDay : length);
    return shift;
}

// The day's figures from its punches, which are in time order.
void judgeDay(DayRow& row, const SheetPunch* first, const SheetPunch* last, const Shift& shift,
              const ReportRules& rules) {
    int outSince = -1;
    for (const SheetPunch* p = first; p != last; ++p) {
        const int m = p->minute;
        switch (p->punch.modeCode()) {
        case 1:
            if (row.arrival < 0) row.arrival = m;
            break;
        case 3:
            // A second press of 외출 before the return keeps the first.
            if (outSince < 0) outSince = m;
            break;
        case 4:
            if (outSince >= 0) row.outing += m - std::exchange(outSince, -1);
            break;
        default:
            break;
        }
    }
    // The leaving is the last 퇴근 after the arrival: one before it was pressed by mistake.
    for (const SheetPunch* p = first; p != last; ++p)
        if (p->punch.modeCode() == 2 && p->minute > row.arrival) row.leaving = p->minute;
    if (outSince >= 0) row.notes |= kNoReturn;
    if (row.arrival < 0) row.notes |= kNoArrival;
    if (row.leaving < 0) row.notes |= kNoLeaving;
    if (row.arrival >= 0) row.late = std::max(0, row.arrival - (shift.start + rules.grace));
    if (row.leaving >= 0) {
        row.early = std::max(0, shift.end - row.leaving);
        row.overtime = std::max(0, row.leaving - shift.end);
    }
    if (row.arrival >= 0 && row.leaving >= 0)
        row.worked = std::max(0, row.leaving - row.arrival - row.outing);
}

int bitCount(unsigned notes) {
    int n = 0;
    for (; notes; notes &= notes - 1) ++n;
    return n;
}
} // namespace

QDate firstPunchDate(int year, int month) {
    return QDate(year, month, 1);
}

QDate lastPunchDate(int year, int month) {
    return QDate(year, month, 1).addMonths(1);
}

int dayChangeFor(const ReportRules& rules, int shiftStart, int shiftEnd) {
    const int length = modDay(shiftEnd - shiftStart);
    const int intoShift = modDay(rules.dayChange - shiftStart);
    if (intoShift == 0 || intoShift >= length) return rules.dayChange;
    return std::max(0, shiftStart - (kDay - length) / 2);
}

TimeSheet buildTimeSheet(int year, int month, const std::vector<Punch>& punches,
                         const EmployeeList& employees, const ReportRules& rules) {
    TimeSheet sheet;
    sheet.year = year;
    sheet.month = month;
    sheet.rules = rules;
    const QDate first(year, month, 1);
    const QDate last = first.addMonths(1).addDays(-1);

    QHash<QString, int> personOf;
    std::vector<Shift> shifts;
    for (const Employee& e : employees.people) {
        personOf.insert(e.number, int(sheet.people.size()));
        sheet.people.push_back(SheetPerson{e.number, e.name, e.department, true});
        shifts.push_back(shiftOf(rules, &e));
    }
    const Shift siteShift = shiftOf(rules, nullptr);

    // Each punch with its work day; numbers not on the list get a person of their own, in order.
    struct Placed {
        const Punch* punch;
        QString number;
        QDate workDay;
        int minute;
    };
    std::vector<Placed> placed;
    QMap<QString, int> unlisted;
    for (const Punch& punch : punches) {
        const QString number = punch.number();
        const auto listed = personOf.constFind(number);
        const Shift& shift = listed == personOf.constEnd() ? siteShift : shifts[std::size_t(*listed)];
        const bool before = punch.minute < shift.dayChange;
        const QDate workDay = before ? punch.date.addDays(-1) : punch.date;
        if (workDay < first || workDay > last) continue;
        placed.push_back(Placed{&punch, number, workDay, before ? punch.minute + kDay : punch.minute});
        if (listed == personOf.constEnd()) unlisted.insert(number, 0);
    }
    for (auto it = unlisted.begin(); it != unlisted.end(); ++it) {
        personOf.insert(it.key(), int(sheet.people.size()));
        sheet.people.push_back(SheetPerson{it.key(), {}, {}, false});
        shifts.push_back(siteShift);
    }

    sheet.punches.reserve(placed.size());
    for (const Placed& p : placed)
        sheet.punches.push_back(SheetPunch{*p.punch, p.workDay, p.minute, personOf.value(p.number)});
    const auto order = [](const SheetPunch& a, const SheetPunch& b) {
        return std::make_tuple(a.person, a.workDay, a.minute, a.punch.second, a.punch.reader,
                               a.punch.record.Seq) < std::make_tuple(b.person, b.workDay, b.minute,
                                                                     b.punch.second, b.punch.reader,
                                                                     b.punch.record.Seq);
    };
    std::sort(sheet.punches.begin(), sheet.punches.end(), order);

    for (std::size_t i = 0; i < sheet.punches.size();) {
        std::size_t j = i;
        while (j < sheet.punches.size() && sheet.punches[j].person == sheet.punches[i].person &&
               sheet.punches[j].workDay == sheet.punches[i].workDay)
            ++j;
        DayRow row;
        row.day = sheet.punches[i].workDay;
        row.person = sheet.punches[i].person;
        row.firstPunch = int(i);
        row.punchCount = int(j - i);
        judgeDay(row, &sheet.punches[i], &sheet.punches[0] + j, shifts[std::size_t(row.person)], rules);
        sheet.days.push_back(row);
        i = j;
    }

    sheet.summary.resize(sheet.people.size());
    for (std::size_t p = 0; p < sheet.people.size(); ++p) sheet.summary[p].person = int(p);
    for (const DayRow& row : sheet.days) {
        MonthRow& m = sheet.summary[std::size_t(row.person)];
        if (row.arrival >= 0 || row.leaving >= 0) ++m.days;
        m.lateCount += row.late > 0;
        m.lateMinutes += row.late;
        m.earlyCount += row.early > 0;
        m.earlyMinutes += row.early;
        m.missing += bitCount(row.notes);
        m.outing += row.outing;
        m.worked += std::max(0, row.worked);
        m.overtime += row.overtime;
    }
    std::stable_sort(sheet.days.begin(), sheet.days.end(), [](const DayRow& a, const DayRow& b) {
        return std::tie(a.day, a.person) < std::tie(b.day, b.person);
    });

    sheet.punchesByTime.resize(sheet.punches.size());
    for (std::size_t i = 0; i < sheet.punches.size(); ++i) sheet.punchesByTime[i] = int(i);
    std::stable_sort(sheet.punchesByTime.begin(), sheet.punchesByTime.end(), [&sheet](int a, int b) {
        const Punch& x = sheet.punches[std::size_t(a)].punch;
        const Punch& y = sheet.punches[std::size_t(b)].punch;
        return std::make_tuple(x.date, x.minute, x.second) < std::make_tuple(y.date, y.minute, y.second);
    });
    return sheet;
}
