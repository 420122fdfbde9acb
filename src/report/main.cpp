// qrx-report: the time sheet of a month as Excel and CSV files, without a window, for a
// scheduled monthly export.
#include "FileError.h"
#include "HostPaths.h"
#include "MonthCsv.h"
#include "MonthLoad.h"
#include "MonthWorkbook.h"
#include "ReportOptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace {
const char* const kRowProblems[] = {
    "the number is missing",
    "the number is not all digits",
    "the number has more than ten digits",
    "a shift time is not HH:MM",
    "the number stands on an earlier row already",
};

void warn(const QString& text) {
    std::fprintf(stderr, "qrx-report: %s\n", qPrintable(text));
}

void reportProblems(const MonthData& data) {
    for (const BadLines& bad : data.reading.badLines)
        warn(QStringLiteral("%1: %2 line(s) that are not punch records, the first at line %3")
                 .arg(bad.file)
                 .arg(bad.count)
                 .arg(bad.firstLine));
    if (!data.employees.found)
        warn(QStringLiteral("no employee list %1: numbers without names").arg(kEmployeeFile));
    if (data.employees.unreadable)
        warn(QStringLiteral("%1 is neither UTF-8 nor CP949 text").arg(kEmployeeFile));
    for (const BadRow& row : data.employees.badRows)
        warn(QStringLiteral("%1 line %2 skipped: %3")
                 .arg(kEmployeeFile)
                 .arg(row.line)
                 .arg(QString::fromUtf8(kRowProblems[int(row.problem)])));
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ReportOptions options;
    const QString error =
        parseReportOptions(app.arguments().mid(1), defaultWorkDir(), QDate::currentDate(), options);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "qrx-report: %s\n%s", qPrintable(error), kReportUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kReportUsage, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("qrx-report %s\n", QRX_VERSION);
        return 0;
    }
    // The files are named from where the command was started, the punches from the work folder.
    const QString xlsx = options.xlsx.isEmpty() ? QString() : QFileInfo(options.xlsx).absoluteFilePath();
    const QString csv = options.csv.isEmpty() ? QString() : QFileInfo(options.csv).absoluteFilePath();
    if (!QFileInfo(options.workDir).isDir() || !QDir::setCurrent(options.workDir)) {
        warn(QStringLiteral("cannot work in %1: no such folder").arg(options.workDir));
        return 1;
    }
    try {
        const ReportRules rules = readRules(hostPath(kRulesFile));
        const MonthData data = loadMonth(options.year, options.month, rules);
        if (!data.reading.folderFound) {
            warn(QStringLiteral("no DATA2 folder in %1: no punch records to read").arg(options.workDir));
            return 1;
        }
        reportProblems(data);
        if (!xlsx.isEmpty()) writeMonthWorkbook(data.sheet, xlsx);
        if (!csv.isEmpty()) writeMonthCsv(data.sheet, csv);
        std::printf("qrx-report: %04d-%02d: %d people, %d days, %d punches from %d files\n", data.year,
                    data.month, int(data.sheet.summary.size()), int(data.sheet.days.size()),
                    int(data.sheet.punches.size()), data.reading.filesRead);
    } catch (const FileError& e) {
        warn(QString::fromUtf8(e.what()));
        return 1;
    }
    return 0;
}
