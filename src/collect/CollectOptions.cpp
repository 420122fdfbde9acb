#include "CollectOptions.h"

#include <QDir>
#include <QRegularExpression>
#include <QStringList>

const char* const kCollectUsage =
    "usage: qrx-collect [--workdir DIR] [--batch-at HH:MM] [--set-clocks-at HH:MM]\n"
    "                   [--erase-at HH:MM ...]\n"
    "       qrx-collect --status [--workdir DIR]\n"
    "Collects the punch records of the readers on the line continuously, without a\n"
    "window, into DIR/DATA2/A<date>.TXT, as the on-line upload does. DIR (default\n"
    "$QRX_WORKDIR, else ~/qrx) holds QRX.CFG, which names the port, its settings and\n"
    "the number of readers.\n"
    "  --batch-at HH:MM       every day at HH:MM, the batch upload of all readers into\n"
    "                         DATA2/B<date>.TXT\n"
    "  --set-clocks-at HH:MM  every day at HH:MM, every reader's clock set from this\n"
    "                         computer's\n"
    "  --erase-at HH:MM       every day at HH:MM (may be given several times), every\n"
    "                         reader erased: what no file holds is collected into\n"
    "                         DATA2/B<date>.TXT first, a reader that cannot be read to\n"
    "                         the end is left as it is; receipts in DATA2/ERASED.TXT\n"
    "  --status               what the running collector last noted: the port, and per\n"
    "                         reader the last answer, records today, last sequence number,\n"
    "                         its record count as last read and its last erase\n"
    "  --help, --version\n"
    "It logs one line per event to standard error and ends, after the exchange under\n"
    "way, on SIGTERM or SIGINT.\n";

QString DailyTime::text() const {
    return QStringLiteral("%1:%2")
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

bool DailyTime::passedBetween(const QDateTime& previous, const QDateTime& now) const {
    const QTime at(minutes / 60, minutes % 60);
    for (const QDate& day : {previous.date(), now.date()}) {
        const QDateTime moment(day, at);
        if (previous < moment && moment <= now) return true;
    }
    return false;
}

std::optional<DailyTime> parseDailyTime(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^([01][0-9]|2[0-3]):([0-5][0-9])$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) return std::nullopt;
    return DailyTime{match.captured(1).toInt() * 60 + match.captured(2).toInt()};
}

QString parseCollectOptions(const QStringList& args, const QString& defaultWorkDir, CollectOptions& options) {
    options.workDir = defaultWorkDir;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (arg == QLatin1String("--help")) {
            options.help = true;
        } else if (arg == QLatin1String("--version")) {
            options.version = true;
        } else if (arg == QLatin1String("--status")) {
            options.status = true;
        } else if (arg == QLatin1String("--workdir") || arg == QLatin1String("--batch-at") ||
                   arg == QLatin1String("--set-clocks-at") || arg == QLatin1String("--erase-at")) {
            if (i + 1 >= args.size()) return arg + QStringLiteral(" needs a value");
            const QString value = args.at(++i);
            if (arg == QLatin1String("--workdir")) {
                if (value.isEmpty()) return QStringLiteral("--workdir needs a folder");
                options.workDir = value;
                continue;
            }
            const std::optional<DailyTime> at = parseDailyTime(value);
            if (!at) return arg + QStringLiteral(" takes a time of day as HH:MM, not ") + value;
            if (arg == QLatin1String("--erase-at"))
                options.eraseAt.push_back(*at);
            else
                (arg == QLatin1String("--batch-at") ? options.batchAt : options.clocksAt) = at;
        } else {
            return QStringLiteral("unknown option: ") + arg;
        }
    }
    return {};
}
