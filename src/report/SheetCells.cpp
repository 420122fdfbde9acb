#include "SheetCells.h"

#include "ModeTable.h"

const QString kDaySheetName = QStringLiteral("일별");
const QString kMonthSheetName = QStringLiteral("월별");
const QString kPunchSheetName = QStringLiteral("기록");

const QStringList kDayColumns = {QStringLiteral("날짜"), QStringLiteral("사원번호"), QStringLiteral("이름"),
                                 QStringLiteral("부서"), QStringLiteral("출근"),     QStringLiteral("퇴근"),
                                 QStringLiteral("외출"), QStringLiteral("근무"),     QStringLiteral("지각"),
                                 QStringLiteral("조퇴"), QStringLiteral("연장"),     QStringLiteral("비고")};
const QStringList kMonthColumns = {
    QStringLiteral("사원번호"), QStringLiteral("이름"),     QStringLiteral("부서"),
    QStringLiteral("근무일수"), QStringLiteral("지각"),     QStringLiteral("지각시간"),
    QStringLiteral("조퇴"),     QStringLiteral("조퇴시간"), QStringLiteral("누락"),
    QStringLiteral("외출"),     QStringLiteral("근무"),     QStringLiteral("연장")};
const QStringList kPunchColumns = {QStringLiteral("날짜"), QStringLiteral("시각"), QStringLiteral("사원번호"),
                                   QStringLiteral("이름"), QStringLiteral("모드"), QStringLiteral("리더"),
                                   QStringLiteral("순번")};

namespace {
const QString kNoteWords[] = {QStringLiteral("출근 누락"), QStringLiteral("퇴근 누락"),
                              QStringLiteral("귀사 누락")};
const QString kNextDay = QStringLiteral("익일 ");
constexpr int kDaySeconds = 24 * 3600;

QString twoDigit(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

SheetCell cellOf(SheetCell::Kind kind) {
    SheetCell cell;
    cell.kind = kind;
    return cell;
}

// Text that is always there (an employee number), and text that may be empty.
SheetCell textCell(const QString& value) {
    SheetCell cell = cellOf(SheetCell::Text);
    cell.text = value;
    return cell;
}

SheetCell text(const QString& value) {
    return value.isEmpty() ? SheetCell{} : textCell(value);
}

SheetCell time(int minutes) {
    if (minutes < 0) return {};
    SheetCell cell = cellOf(SheetCell::Time);
    cell.seconds = minutes * 60;
    return cell;
}

// A duration; none for zero unless it is a figure of its own (time worked, a month's total).
SheetCell duration(int minutes, bool zeroShown) {
    if (minutes < 0 || (minutes == 0 && !zeroShown)) return {};
    SheetCell cell = cellOf(SheetCell::Duration);
    cell.seconds = minutes * 60;
    return cell;
}

SheetCell count(int n) {
    SheetCell cell = cellOf(SheetCell::Count);
    cell.count = n;
    return cell;
}

SheetCell date(const QDate& day) {
    SheetCell cell = cellOf(SheetCell::Date);
    cell.date = day;
    return cell;
}

SheetCell person(const SheetPerson& p, int column) {
    switch (column) {
    case 0:
        return textCell(p.number);
    case 1:
        return text(p.name);
    default:
        return text(p.department);
    }
}
} // namespace

QString notesText(unsigned notes) {
    QStringList words;
    for (int i = 0; i < 3; ++i)
        if (notes & (1u << i)) words << kNoteWords[i];
    return words.join(QStringLiteral(", "));
}

QString SheetCell::display() const {
    switch (kind) {
    case Empty:
        return {};
    case Text:
        return text;
    case Date:
        return date.toString(QStringLiteral("yyyy-MM-dd"));
    case Time: {
        const int s = seconds % kDaySeconds;
        return (seconds >= kDaySeconds ? kNextDay : QString()) + twoDigit(s / 3600) + QLatin1Char(':') +
               twoDigit(s / 60 % 60);
    }
    case TimeSeconds:
        return twoDigit(seconds / 3600) + QLatin1Char(':') + twoDigit(seconds / 60 % 60) + QLatin1Char(':') +
               twoDigit(seconds % 60);
    case Duration:
        return QString::number(seconds / 3600) + QLatin1Char(':') + twoDigit(seconds / 60 % 60);
    case Count:
        return QString::number(count);
    }
    return {};
}

double SheetCell::sortValue() const {
    switch (kind) {
    case Date:
        return double(date.toJulianDay());
    case Time:
    case TimeSeconds:
    case Duration:
        return seconds;
    case Count:
        return count;
    default:
        return -1;
    }
}

SheetCell dayCell(const TimeSheet& sheet, const DayRow& row, int column) {
    const SheetPerson& p = sheet.people[std::size_t(row.person)];
    switch (column) {
    case kDayDate:
        return date(row.day);
    case kDayNumber:
    case kDayName:
    case kDayDepartment:
        return person(p, column - kDayNumber);
    case kDayArrival:
        return time(row.arrival);
    case kDayLeaving:
        return time(row.leaving);
    case kDayOuting:
        return duration(row.outing, false);
    case kDayWorked:
        return duration(row.worked, true);
    case kDayLate:
        return duration(row.late, false);
    case kDayEarly:
        return duration(row.early, false);
    case kDayOvertime:
        return duration(row.overtime, false);
    default:
        return text(notesText(row.notes));
    }
}

SheetCell monthCell(const TimeSheet& sheet, const MonthRow& row, int column) {
    switch (column) {
    case kMonthNumber:
    case kMonthName:
    case kMonthDepartment:
        return person(sheet.people[std::size_t(row.person)], column);
    case kMonthDays:
        return count(row.days);
    case kMonthLateCount:
        return count(row.lateCount);
    case kMonthLate:
        return duration(row.lateMinutes, true);
    case kMonthEarlyCount:
        return count(row.earlyCount);
    case kMonthEarly:
        return duration(row.earlyMinutes, true);
    case kMonthMissing:
        return count(row.missing);
    case kMonthOuting:
        return duration(row.outing, true);
    case kMonthWorked:
        return duration(row.worked, true);
    default:
        return duration(row.overtime, true);
    }
}

SheetCell punchCell(const TimeSheet& sheet, const SheetPunch& p, int column) {
    switch (column) {
    case 0:
        return date(p.punch.date);
    case 1: {
        SheetCell cell = cellOf(SheetCell::TimeSeconds);
        cell.seconds = p.punch.minute * 60 + p.punch.second;
        return cell;
    }
    case 2:
    case 3:
        return person(sheet.people[std::size_t(p.person)], column - 2);
    case 4:
        return text(modeWord(quint8(p.punch.modeCode())));
    case 5:
        return text(p.punch.readerText());
    default:
        return text(p.punch.seqText());
    }
}
