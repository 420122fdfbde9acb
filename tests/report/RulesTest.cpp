// The rules of the time sheet on the days that are hard to get right: a night shift over
// midnight and over the day change, missing punches, outings without a return, the month's
// first and last work day, and the month's totals.
#include "MonthCsv.h"
#include "ReportTests.h"
#include "SheetCells.h"
#include "TestGroups.h"
#include "TimeSheet.h"

#include <QtTest>

namespace {
// 김철수 works a night shift of his own; 홍길동 the site's hours.
const QByteArray kList = "사원번호,이름,부서,출근시각,퇴근시각\r\n"
                         "1234,홍길동,영업부,,\r\n"
                         "5678,김철수,생산부,22:00,06:00\r\n";

TimeSheet sheetOf(const QStringList& punches, const ReportRules& rules = {}) {
    return buildTimeSheet(2024, 3, punchesOf(punches), parseEmployeeList(kList), rules);
}

// The daily sheet as the CSV file writes it, without the header.
QStringList dayLines(const TimeSheet& sheet) {
    QStringList lines = QString::fromUtf8(monthCsv(sheet).mid(3)).split(QStringLiteral("\r\n"));
    lines.removeFirst();
    lines.removeLast();
    return lines;
}

QStringList monthTexts(const TimeSheet& sheet, int person) {
    QStringList texts;
    for (int c = 0; c < kMonthColumns.size(); ++c)
        texts << monthCell(sheet, sheet.summary[std::size_t(person)], c).display();
    return texts;
}
} // namespace

class RulesTest : public QObject {
    Q_OBJECT

private slots:
    void days_data() {
        QTest::addColumn<QStringList>("punches");
        QTest::addColumn<int>("grace");
        QTest::addColumn<QStringList>("rows");
        const QString hong = QStringLiteral("0000001234,홍길동,영업부,");
        const QString kim = QStringLiteral("0000005678,김철수,생산부,");
        QTest::newRow("a day with an outing: worked is the span less the time out")
            << QStringList{"03-04 08:51 1 1234", "03-04 12:02 3 1234", "03-04 12:58 4 1234",
                           "03-04 18:32 2 1234"}
            << 0 << QStringList{"2024-03-04," + hong + "08:51,18:32,0:56,8:45,,,0:32,"};
        QTest::newRow("night over midnight: the punch before the day change stays on the row")
            << QStringList{"03-04 22:00 1 1234", "03-05 03:10 2 1234"} << 0
            << QStringList{"2024-03-04," + hong + "22:00,익일 03:10,,5:10,13:00,,9:10,"};
        QTest::newRow("night over the day change, on the site's hours: two rows, each missing a punch")
            << QStringList{"03-04 22:00 1 1234", "03-05 06:10 2 1234"} << 0
            << QStringList{"2024-03-04," + hong + "22:00,,,,13:00,,,퇴근 누락",
                           "2024-03-05," + hong + ",06:10,,,,11:50,,출근 누락"};
        QTest::newRow("night over the day change, on a night shift of one's own: one row")
            << QStringList{"03-04 22:03 1 5678", "03-05 06:10 2 5678"} << 0
            << QStringList{"2024-03-04," + kim + "22:03,익일 06:10,,8:07,0:03,,0:10,"};
        QTest::newRow("missing 퇴근") << QStringList{"03-05 09:12 1 1234"} << 0
                                      << QStringList{"2024-03-05," + hong + "09:12,,,,0:12,,,퇴근 누락"};
        QTest::newRow("missing 출근: no late, no time worked")
            << QStringList{"03-05 17:00 2 1234"} << 0
            << QStringList{"2024-03-05," + hong + ",17:00,,,,1:00,,출근 누락"};
        QTest::newRow("an outing without its return is not counted, and noted")
            << QStringList{"03-06 08:55 1 1234", "03-06 14:00 3 1234", "03-06 17:30 2 1234"} << 0
            << QStringList{"2024-03-06," + hong + "08:55,17:30,,8:35,,0:30,,귀사 누락"};
        QTest::newRow("외출 pressed twice, two outings, a 귀사 without 외출")
            << QStringList{"03-06 09:00 1 1234", "03-06 10:00 3 1234", "03-06 10:01 3 1234",
                           "03-06 10:30 4 1234", "03-06 11:00 4 1234", "03-06 15:00 3 1234",
                           "03-06 15:15 4 1234", "03-06 18:00 2 1234"}
            << 0 << QStringList{"2024-03-06," + hong + "09:00,18:00,0:45,8:15,,,,"};
        QTest::newRow("the first 출근 and the last 퇴근; other modes do not count")
            << QStringList{"03-07 09:05 1 1234", "03-07 08:58 1 1234", "03-07 18:05 2 1234",
                           "03-07 18:20 2 1234", "03-07 12:00 0 1234", "03-07 12:01 7 1234"}
            << 0 << QStringList{"2024-03-07," + hong + "08:58,18:20,,9:22,,,0:20,"};
        QTest::newRow("a 퇴근 before the 출근 is a mistake: the leaving is missing")
            << QStringList{"03-07 08:00 2 1234", "03-07 09:00 1 1234"} << 0
            << QStringList{"2024-03-07," + hong + "09:00,,,,,,,퇴근 누락"};
        QTest::newRow("only an outing: both ends missing")
            << QStringList{"03-07 13:00 3 1234", "03-07 13:30 4 1234"} << 0
            << QStringList{"2024-03-07," + hong + ",,0:30,,,,,\"출근 누락, 퇴근 누락\""};
        QTest::newRow("within the grace: not late; a minute past it: late by that minute")
            << QStringList{"03-08 09:10 1 1234", "03-08 18:00 2 1234", "03-11 09:11 1 1234",
                           "03-11 18:00 2 1234"}
            << 10
            << QStringList{"2024-03-08," + hong + "09:10,18:00,,8:50,,,,",
                           "2024-03-11," + hong + "09:11,18:00,,8:49,0:01,,,"};
        QTest::newRow("a number not on the list: kept, without a name")
            << QStringList{"03-08 09:00 1 9999", "03-08 18:00 2 9999"} << 0
            << QStringList{"2024-03-08,0000009999,,,09:00,18:00,,9:00,,,,"};
        QTest::newRow(
            "the month's edges: before the day change on the 1st is February's; on April 1st March's")
            << QStringList{"03-01 02:00 2 1234", "03-31 18:00 1 1234", "04-01 03:00 2 1234"} << 0
            << QStringList{"2024-03-31," + hong + "18:00,익일 03:00,,9:00,9:00,,9:00,"};
    }
    void days() {
        QFETCH(QStringList, punches);
        QFETCH(int, grace);
        QFETCH(QStringList, rows);
        ReportRules rules;
        rules.grace = grace;
        QCOMPARE(dayLines(sheetOf(punches, rules)), rows);
    }

    // The seconds do not count: 09:00:59 is on time; the 기록 sheet keeps them.
    void secondsAreDropped() {
        std::vector<Punch> punches;
        BadLines bad;
        readPunchLines("01-000001 2024 03 08 09 00 59 1 0000001234\r\n", QDate(2024, 3, 1), QDate(2024, 4, 1),
                       punches, bad);
        const TimeSheet sheet = buildTimeSheet(2024, 3, punches, parseEmployeeList(kList), {});
        QCOMPARE(sheet.days.at(0).late, 0);
        QCOMPARE(punchCell(sheet, sheet.punches.at(0), 1).display(), QStringLiteral("09:00:59"));
    }

    void dayChangeFollowsTheShift_data() {
        QTest::addColumn<QString>("shift");
        QTest::addColumn<int>("dayChange");
        QTest::newRow("day shift: the site's") << "09:00-18:00" << 5 * 60;
        QTest::newRow("night 22-06: the middle of the time off") << "22:00-06:00" << 14 * 60;
        QTest::newRow("early 04-13: never before midnight") << "04:00-13:00" << 0;
        QTest::newRow("evening 14-23: the site's") << "14:00-23:00" << 5 * 60;
        QTest::newRow("starting at the day change: the site's") << "05:00-14:00" << 5 * 60;
    }
    void dayChangeFollowsTheShift() {
        QFETCH(QString, shift);
        QFETCH(int, dayChange);
        const QStringList ends = shift.split(QLatin1Char('-'));
        QCOMPARE(dayChangeFor(ReportRules{}, clockMinutes(ends.at(0)), clockMinutes(ends.at(1))), dayChange);
    }

    // A later day change keeps a late night on the day it began, for everyone on the site.
    void theSitesDayChangeMovesTheRows() {
        ReportRules rules;
        rules.dayChange = 7 * 60;
        QCOMPARE(dayLines(sheetOf({"03-04 22:00 1 1234", "03-05 06:10 2 1234"}, rules)),
                 QStringList{"2024-03-04,0000001234,홍길동,영업부,22:00,익일 06:10,,8:10,13:00,,12:10,"});
    }

    void monthTotals() {
        const TimeSheet sheet = sheetOf({"03-04 08:51 1 1234", "03-04 12:02 3 1234", "03-04 12:58 4 1234",
                                         "03-04 18:32 2 1234", "03-05 09:12 1 1234", "03-06 08:55 1 1234",
                                         "03-06 14:00 3 1234", "03-06 17:30 2 1234", "03-07 13:00 3 1234"});
        // 사원번호 이름 부서 근무일수 지각 지각시간 조퇴 조퇴시간 누락 외출 근무 연장
        QCOMPARE(monthTexts(sheet, 0), (QStringList{"0000001234", "홍길동", "영업부", "3", "1", "0:12", "1",
                                                    "0:30", "5", "0:56", "17:20", "0:32"}));
        // Everyone on the list has a month row, punches or not.
        QCOMPARE(monthTexts(sheet, 1), (QStringList{"0000005678", "김철수", "생산부", "0", "0", "0:00", "0",
                                                    "0:00", "0", "0:00", "0:00", "0:00"}));
        QCOMPARE(sheet.summary.size(), std::size_t(2));
    }

    // The 기록 sheet: every punch of the month's work days once, by date and time.
    void punchesInTimeOrder() {
        const TimeSheet sheet = sheetOf({"03-05 09:12 1 1234", "03-04 22:03 1 5678", "03-05 06:10 2 5678",
                                         "03-04 08:51 1 1234", "03-01 02:00 2 1234"});
        QStringList order;
        for (const int i : sheet.punchesByTime) {
            const SheetPunch& p = sheet.punches[std::size_t(i)];
            order << punchCell(sheet, p, 0).display() + ' ' + punchCell(sheet, p, 1).display() + ' ' +
                         punchCell(sheet, p, 4).display();
        }
        QCOMPARE(order, (QStringList{"2024-03-04 08:51:00 출근", "2024-03-04 22:03:00 출근",
                                     "2024-03-05 06:10:00 퇴근", "2024-03-05 09:12:00 출근"}));
    }
};

int runRulesTests(int argc, char** argv) {
    RulesTest test;
    return runGroup(test, argc, argv);
}

#include "RulesTest.moc"
