// qrx-report-bench: how long the time sheet of a month takes from cold, and how much memory.
//
// Writes a year of punches: N people (default 500), four punches each working day (출근 about
// 09:00, 외출 at noon, 귀사 before one, 퇴근 after six) on twelve readers, every punch in the
// day's on-line file and again in the evening's batch file — every batch copy kept, about a
// million file lines for 500 people — and an employee list of everyone. Then, for each month
// asked, a fresh process reads the month and builds its sheet ("sheet"), and another also writes
// the workbook and the CSV file ("files"), as qrx-report does; each prints its time and its peak
// memory. When this process may, it drops the system's file cache before each (as root on a
// machine that lets it); the table says whether it did.
//
// Run from a directory on the disk the program would read from:
//     ./bench/qrx-report-bench [--people N] [--months 1,6,12] [--max-seconds S] [--max-mb M]
//
// The exit code is 1 when a month's sheet takes longer than S seconds (default 2) or more than
// M megabytes (default 150), or does not hold every punch of the month once.
#include "MonthCsv.h"
#include "MonthLoad.h"
#include "MonthWorkbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {
constexpr int kYear = 2024;
constexpr int kReaders = 12;

long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QString fileLine(int reader, int seq, const QDate& day, int minute, int second, int mode, int person) {
    return QStringLiteral("%1-%2 %3 %4 %5 %6 %7 %8 %9 %10")
        .arg(reader, 2, 10, QLatin1Char('0'))
        .arg(seq % 1000000, 6, 10, QLatin1Char('0'))
        .arg(day.year())
        .arg(day.month(), 2, 10, QLatin1Char('0'))
        .arg(day.day(), 2, 10, QLatin1Char('0'))
        .arg(minute / 60, 2, 10, QLatin1Char('0'))
        .arg(minute % 60, 2, 10, QLatin1Char('0'))
        .arg(second, 2, 10, QLatin1Char('0'))
        .arg(mode)
        .arg(person + 1000, 10, 10, QLatin1Char('0'));
}

void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// The year's files; returns the number of file lines and the punches of each month.
qint64 writeYear(const QString& folder, int people, std::vector<int>& monthPunches) {
    QDir().mkpath(folder + QStringLiteral("/DATA1"));
    QDir().mkpath(folder + QStringLiteral("/DATA2"));
    QByteArray list = "사원번호,이름,부서\r\n";
    for (int p = 0; p < people; ++p)
        list += QStringLiteral("%1,사원%2,부서%3\r\n").arg(p + 1000).arg(p).arg(p % 20).toUtf8();
    write(folder + QStringLiteral("/DATA1/EMPLOYEES.CSV"), list);

    QRandomGenerator random(20240301);
    std::vector<int> seq(kReaders + 1, 0);
    monthPunches.assign(13, 0);
    qint64 lines = 0;
    for (QDate day(kYear, 1, 1); day.year() == kYear; day = day.addDays(1)) {
        if (day.dayOfWeek() > 5) continue;
        QByteArray file;
        for (int p = 0; p < people; ++p) {
            const int reader = 1 + p % kReaders;
            const int at[4] = {8 * 60 + 40 + int(random.bounded(35)), 12 * 60 + int(random.bounded(5)),
                               12 * 60 + 50 + int(random.bounded(9)), 18 * 60 + int(random.bounded(60))};
            const int modes[4] = {1, 3, 4, 2};
            for (int k = 0; k < 4; ++k)
                file += fileLine(reader, ++seq[std::size_t(reader)], day, at[k], int(random.bounded(60)),
                                 modes[k], p)
                            .toLatin1() +
                        "\r\n";
        }
        const QString stamp = day.toString(QStringLiteral("yyyyMMdd"));
        write(folder + QStringLiteral("/DATA2/A%1.TXT").arg(stamp), file);
        write(folder + QStringLiteral("/DATA2/B%1.TXT").arg(stamp), file);
        lines += 2 * 4 * people;
        monthPunches[std::size_t(day.month())] += 4 * people;
    }
    return lines;
}

// Drops the system's file cache, where this process may.
bool dropCaches() {
    QFile drop(QStringLiteral("/proc/sys/vm/drop_caches"));
    ::sync();
    return drop.open(QIODevice::WriteOnly) && drop.write("3\n") == 2 && drop.flush();
}

// In the child: the month, timed; prints "milliseconds kilobytes punches days".
int measure(const QString& folder, int month, bool files) {
    QDir::setCurrent(folder);
    QElapsedTimer clock;
    clock.start();
    const MonthData data = loadMonth(kYear, month, ReportRules{});
    if (files) {
        writeMonthWorkbook(data.sheet, QStringLiteral("month.xlsx"));
        writeMonthCsv(data.sheet, QStringLiteral("month.csv"));
    }
    std::printf("%lld %ld %zu %zu\n", clock.elapsed(), peakKilobytes(), data.sheet.punches.size(),
                data.sheet.days.size());
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args.at(1) == QLatin1String("--measure"))
        return measure(args.at(2), args.at(3).toInt(), args.at(4) == QLatin1String("files"));

    int people = 500;
    QList<int> months{1, 6, 12};
    double maxSeconds = 2;
    double maxMegabytes = 150;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString& value = args.at(i + 1);
        if (args.at(i) == QLatin1String("--people")) {
            people = value.toInt();
        } else if (args.at(i) == QLatin1String("--months")) {
            months.clear();
            for (const QString& m : value.split(QLatin1Char(','))) months << m.toInt();
        } else if (args.at(i) == QLatin1String("--max-seconds")) {
            maxSeconds = value.toDouble();
        } else if (args.at(i) == QLatin1String("--max-mb")) {
            maxMegabytes = value.toDouble();
        }
    }

    // On the disk of the working directory, where the cache can be dropped (not /tmp's memory).
    QTemporaryDir dir(QDir::current().filePath(QStringLiteral("qrx-report-bench-XXXXXX")));
    QElapsedTimer clock;
    clock.start();
    std::vector<int> monthPunches;
    const qint64 lines = writeYear(dir.path(), people, monthPunches);
    std::printf("%d people, %lld file lines in %d files (%.1f s to write)\n", people, lines,
                int(QDir(dir.filePath(QStringLiteral("DATA2"))).count()) - 2, clock.elapsed() / 1000.0);
    std::printf("%-6s %-6s %-6s %9s %9s %9s %7s\n", "month", "what", "cold", "seconds", "MB", "punches",
                "rows");
    bool good = true;
    for (const int month : months) {
        for (const bool files : {false, true}) {
            const bool cold = dropCaches();
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--measure"), dir.path(), QString::number(month),
                         files ? QStringLiteral("files") : QStringLiteral("sheet")});
            child.waitForFinished(-1);
            const QStringList out =
                QString::fromLatin1(child.readAllStandardOutput()).split(QLatin1Char(' '));
            if (child.exitCode() != 0 || out.size() != 4) {
                std::printf("month %d: the measuring process failed\n", month);
                return 1;
            }
            const double seconds = out.at(0).toDouble() / 1000;
            const double megabytes = out.at(1).toDouble() / 1024;
            const int punches = out.at(2).toInt();
            std::printf("%-6d %-6s %-6s %9.2f %9.1f %9d %7s\n", month, files ? "files" : "sheet",
                        cold ? "yes" : "no", seconds, megabytes, punches, qPrintable(out.at(3).trimmed()));
            // The sheet's own limits; writing the files is reported beside them.
            if (!files && (seconds > maxSeconds || megabytes > maxMegabytes)) good = false;
            if (punches != monthPunches[std::size_t(month)]) {
                std::printf("month %d: %d punches in the sheet, %d made\n", month, punches,
                            monthPunches[std::size_t(month)]);
                good = false;
            }
        }
    }
    return good ? 0 : 1;
}
