// qrx-collect: collects the readers' punch records continuously, without a window.
#include "CollectOptions.h"
#include "CollectPlatform.h"
#include "Collector.h"
#include "ConfigFile.h"
#include "HostPaths.h"
#include "Prompts.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

namespace {

// The link's boxes have nobody to answer them here: their texts go to the log, and a question
// is answered "go on".
class LoggedPrompts : public Prompts {
public:
    explicit LoggedPrompts(const CollectLog& log) : log_(log) {}
    void message(const QString& text, const QString&, Icon) override { log_(text); }
    bool confirm(const QString& text, const QString&, Icon) override {
        log_(text);
        return true;
    }

private:
    const CollectLog& log_;
};

// The collector's clock: the computer's, or, when QRX_COLLECT_TIME names a local date and time
// (yyyy-MM-ddTHH:mm:ss), one that starts there and runs at the same pace — for trying the day's
// change and the scheduled jobs without waiting for them.
std::function<QDateTime()> collectorClock() {
    const QDateTime start = QDateTime::fromString(qEnvironmentVariable("QRX_COLLECT_TIME"), Qt::ISODate);
    if (!start.isValid()) return [] { return QDateTime::currentDateTime(); };
    const qint64 offsetMs = QDateTime::currentDateTime().msecsTo(start);
    return [offsetMs] { return QDateTime::currentDateTime().addMSecs(offsetMs); };
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const ServiceCommand service = takeServiceCommand(args);
    CollectOptions options;
    const QString error = parseCollectOptions(args, defaultWorkDir(), options);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "qrx-collect: %s\n%s%s", qPrintable(error), kCollectUsage, kServiceUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kCollectUsage, stdout);
        std::fputs(kServiceUsage, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("qrx-collect %s\n", QRX_VERSION);
        return 0;
    }
    if (options.status) {
        bool found = false;
        const QString report = statusReport(options.workDir, found);
        std::fputs(report.toUtf8().constData(), found ? stdout : stderr);
        if (!found) std::fputc('\n', stderr);
        return found ? 0 : 1;
    }

    if (service == ServiceCommand::Install || service == ServiceCommand::Remove)
        return changeService(service, options.workDir, args);

    const CollectLog log = service == ServiceCommand::Run ? serviceLog(options.workDir) : CollectLog();
    // Under the service manager all of it runs as the service, so that the manager learns of a
    // start that fails.
    const auto collect = [&options, &log]() -> int {
        if (!QDir::setCurrent(options.workDir)) {
            log(QStringLiteral("cannot work in %1: no such folder").arg(options.workDir));
            return 1;
        }
        LineSettings settings;
        try {
            settings = decodeConfig(readConfigFile(QStringLiteral("QRX.CFG")));
        } catch (const std::exception& e) {
            log(QStringLiteral("cannot read the line's settings (set them in qrx first): ") +
                QString::fromUtf8(e.what()));
            return 1;
        }
        if (settings.damaged) log(QStringLiteral("QRX.CFG is damaged: taking 1 reader"));

        LoggedPrompts boxes(log);
        installPrompts(&boxes);
        Collector collector(options, settings, CollectorEnv{collectorClock(), stopRequested, log});
        const int code = collector.run();
        installPrompts(nullptr);
        return code;
    };
    if (service == ServiceCommand::Run) return runService(collect, log);
    installStopHandlers();
    return collect();
}
