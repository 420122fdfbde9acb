#include "ReportOptions.h"

#include <QRegularExpression>

const char* const kReportUsage =
    "usage: qrx-report [--workdir DIR] --month YYYY-MM|previous [--xlsx FILE] [--csv FILE]\n"
    "Writes the time sheet of a month from the punch records in DIR/DATA2 (default\n"
    "$QRX_WORKDIR, else ~/qrx), with the names of DIR/DATA1/EMPLOYEES.CSV and the rules\n"
    "of DIR/REPORT.INI, as the time sheet in qrx shows it.\n"
    "  --month YYYY-MM   the month; \"previous\" is the month before this one\n"
    "  --xlsx FILE       the Excel workbook: a sheet by day, one by month and one of\n"
    "                    every punch\n"
    "  --csv FILE        the daily sheet as CSV (UTF-8 with a byte-order mark)\n"
    "  --help, --version\n"
    "\"{month}\" in FILE becomes YYYY-MM. A file is written whole or not at all. Lines that\n"
    "are not records and bad rows of the employee list are reported on standard error.\n";

QString parseReportOptions(const QStringList& args, const QString& defaultWorkDir, const QDate& today,
                           ReportOptions& options) {
    options.workDir = defaultWorkDir;
    QString month;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (arg == QLatin1String("--help")) {
            options.help = true;
        } else if (arg == QLatin1String("--version")) {
            options.version = true;
        } else if (arg == QLatin1String("--workdir") || arg == QLatin1String("--month") ||
                   arg == QLatin1String("--xlsx") || arg == QLatin1String("--csv")) {
            if (i + 1 >= args.size() || args.at(i + 1).isEmpty())
                return arg + QStringLiteral(" needs a value");
            const QString value = args.at(++i);
            if (arg == QLatin1String("--workdir"))
                options.workDir = value;
            else if (arg == QLatin1String("--month"))
                month = value;
            else
                (arg == QLatin1String("--xlsx") ? options.xlsx : options.csv) = value;
        } else {
            return QStringLiteral("unknown option: ") + arg;
        }
    }
    if (options.help || options.version) return {};
    if (month.isEmpty()) return QStringLiteral("--month is missing");
    if (month == QLatin1String("previous")) {
        const QDate previous = today.addMonths(-1);
        options.year = previous.year();
        options.month = previous.month();
    } else {
        static const QRegularExpression form(QStringLiteral("^([0-9]{4})-(0[1-9]|1[0-2])$"));
        const QRegularExpressionMatch match = form.match(month);
        if (!match.hasMatch() || match.captured(1).toInt() < 1900)
            return QStringLiteral("--month takes YYYY-MM (2024-03) or previous, not ") + month;
        options.year = match.captured(1).toInt();
        options.month = match.captured(2).toInt();
    }
    if (options.xlsx.isEmpty() && options.csv.isEmpty())
        return QStringLiteral("nothing to write: give --xlsx or --csv");
    const QString yyyyMm =
        QStringLiteral("%1-%2").arg(options.year).arg(options.month, 2, 10, QLatin1Char('0'));
    options.xlsx.replace(QStringLiteral("{month}"), yyyyMm);
    options.csv.replace(QStringLiteral("{month}"), yyyyMm);
    return {};
}
