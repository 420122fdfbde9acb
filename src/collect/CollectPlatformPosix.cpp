#include "CollectPlatform.h"

#include <cerrno>
#include <csignal>

namespace {
volatile std::sig_atomic_t stopSignal = 0;

void takeStopSignal(int signal) {
    stopSignal = signal;
}
} // namespace

bool processRuns(qint64 pid) {
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

void installStopHandlers() {
    struct sigaction action {};
    action.sa_handler = takeStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

bool stopRequested() {
    return stopSignal != 0;
}

// systemd runs the collector as it runs from the console; it has no options of its own.
ServiceCommand takeServiceCommand(QStringList&) {
    return ServiceCommand::None;
}

int changeService(ServiceCommand, const QString&, const QStringList&) {
    return 2;
}

int runService(const std::function<int()>& collect, const CollectLog&) {
    return collect();
}

CollectLog serviceLog(const QString&) {
    return CollectLog();
}

const char* const kServiceUsage = "";
