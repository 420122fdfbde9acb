#include "ReportRules.h"

#include "AtomicSave.h"
#include "Employees.h"
#include "FileError.h"

#include <QFile>

const QString kRulesFile = QStringLiteral(".\\REPORT.INI");

namespace {
const char* const kStart = "start";
const char* const kEnd = "end";
const char* const kGrace = "grace";
const char* const kDayChange = "daychange";

void takeClock(const QString& value, int& minutes) {
    const int read = clockMinutes(value);
    if (read >= 0) minutes = read;
}
} // namespace

QString clockText(int minutes) {
    return QStringLiteral("%1:%2")
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

ReportRules readRules(const QString& path) {
    ReportRules rules;
    QFile file(path);
    if (!file.exists()) return rules;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw FileError(QStringLiteral("%1: %2").arg(path, file.errorString()));
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (line.startsWith(QLatin1Char(';')) || eq < 0) continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (key == QLatin1String(kStart)) {
            takeClock(value, rules.start);
        } else if (key == QLatin1String(kEnd)) {
            takeClock(value, rules.end);
        } else if (key == QLatin1String(kDayChange)) {
            takeClock(value, rules.dayChange);
        } else if (key == QLatin1String(kGrace)) {
            bool number = false;
            const int grace = value.toInt(&number);
            if (number && grace >= 0 && grace <= kMaxGraceMinutes) rules.grace = grace;
        }
    }
    return rules;
}

void saveRules(const QString& path, const ReportRules& rules) {
    const QString text = QStringLiteral("; qrx time sheet rules (HH:MM; grace in minutes)\r\n"
                                        "%1=%2\r\n%3=%4\r\n%5=%6\r\n%7=%8\r\n")
                             .arg(QLatin1String(kStart), clockText(rules.start), QLatin1String(kEnd),
                                  clockText(rules.end), QLatin1String(kGrace), QString::number(rules.grace),
                                  QLatin1String(kDayChange), clockText(rules.dayChange));
    saveAtomically(path, text.toUtf8());
}
