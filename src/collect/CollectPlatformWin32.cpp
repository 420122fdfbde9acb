#include "CollectPlatform.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>

#include <windows.h>
#include <winsvc.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <utility>

namespace {
const wchar_t kServiceName[] = L"qrx-collect";
const wchar_t kDisplayName[] = L"qrx-collect (근태관리 수집)";
const wchar_t kDescription[] = L"Collects the punch records of the attendance readers around the clock.";
// How long the service manager is told a stop may take: the exchange under way ends first.
constexpr DWORD kStopHintMs = 10000;

std::atomic<bool> stopAsked{false};

const wchar_t* wide(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

// Ctrl+C and Ctrl+Break are answered at once: the run stops after the exchange under way. For the
// console window's close, the log-off and the shutdown the process ends when the handler returns,
// so the handler waits (Windows gives it five seconds) while the run comes to its clean end and
// the program exits.
BOOL WINAPI takeConsoleStop(DWORD event) {
    stopAsked = true;
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) Sleep(4500);
    return TRUE;
}

void report(const CollectLog& log, const QString& what) {
    log(what + QStringLiteral(": error ") + QString::number(GetLastError()));
}

// One service a process: the handle and status the manager knows it by.
SERVICE_STATUS_HANDLE statusHandle = nullptr;
SERVICE_STATUS status{};
HANDLE serviceStarted = nullptr;

void setState(DWORD state, int exitCode = 0) {
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.dwWin32ExitCode = exitCode == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    status.dwServiceSpecificExitCode = DWORD(exitCode);
    status.dwWaitHint = state == SERVICE_STOP_PENDING ? kStopHintMs : 0;
    SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI serviceControl(DWORD control, DWORD, void*, void*) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        stopAsked = true;
        setState(SERVICE_STOP_PENDING);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

// Runs on the dispatcher's thread. The collector itself runs on the main thread, where the
// application and the serial port's event hand-over live; this only tells the manager it runs.
void WINAPI serviceMain(DWORD, wchar_t**) {
    statusHandle = RegisterServiceCtrlHandlerExW(kServiceName, serviceControl, nullptr);
    if (statusHandle) setState(SERVICE_RUNNING);
    SetEvent(serviceStarted);
}

QString quoted(const QString& arg) {
    if (!arg.isEmpty() && !arg.contains(QLatin1Char(' ')) && !arg.contains(QLatin1Char('"'))) return arg;
    QString out = arg;
    out.replace(QLatin1String("\""), QLatin1String("\\\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

int installService(const QString& workDir, const QStringList& args) {
    const QString folder = QDir(workDir).absolutePath();
    QStringList line{quoted(QDir::toNativeSeparators(QCoreApplication::applicationFilePath())),
                     QStringLiteral("--service")};
    for (const QString& arg : args) line << quoted(arg);
    // Last, so that it wins over one the arguments name: the service starts in the system folder.
    line << QStringLiteral("--workdir") << quoted(QDir::toNativeSeparators(folder));
    const QString command = line.join(QLatin1Char(' '));

    const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
    if (!manager) {
        std::fprintf(stderr,
                     "qrx-collect: cannot reach the service manager (error %lu; run as administrator)\n",
                     GetLastError());
        return 1;
    }
    const SC_HANDLE service = CreateServiceW(
        manager, kServiceName, kDisplayName, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
        SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, wide(command), nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!service) {
        std::fprintf(stderr, "qrx-collect: cannot install the service (error %lu)\n", GetLastError());
        CloseServiceHandle(manager);
        return 1;
    }
    SERVICE_DESCRIPTIONW description{const_cast<wchar_t*>(kDescription)};
    ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &description);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    std::printf("qrx-collect: service installed, working in %s; it starts with Windows, or now with\n"
                "  sc start qrx-collect\n",
                qPrintable(QDir::toNativeSeparators(folder)));
    return 0;
}

int removeService() {
    const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) {
        std::fprintf(stderr,
                     "qrx-collect: cannot reach the service manager (error %lu; run as administrator)\n",
                     GetLastError());
        return 1;
    }
    const SC_HANDLE service =
        OpenServiceW(manager, kServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
    if (!service) {
        std::fprintf(stderr, "qrx-collect: no service to remove (error %lu)\n", GetLastError());
        CloseServiceHandle(manager);
        return 1;
    }
    SERVICE_STATUS now{};
    if (ControlService(service, SERVICE_CONTROL_STOP, &now)) {
        for (int i = 0; i < 60 && QueryServiceStatus(service, &now) && now.dwCurrentState != SERVICE_STOPPED;
             ++i)
            Sleep(250);
    }
    const bool removed = DeleteService(service);
    if (!removed)
        std::fprintf(stderr, "qrx-collect: cannot remove the service (error %lu)\n", GetLastError());
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    if (removed) std::printf("qrx-collect: service removed\n");
    return removed ? 0 : 1;
}
} // namespace

bool processRuns(qint64 pid) {
    if (pid <= 0) return false;
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

void installStopHandlers() {
    SetConsoleCtrlHandler(takeConsoleStop, TRUE);
}

bool stopRequested() {
    return stopAsked;
}

ServiceCommand takeServiceCommand(QStringList& args) {
    const std::pair<const char*, ServiceCommand> options[] = {{"--install-service", ServiceCommand::Install},
                                                              {"--remove-service", ServiceCommand::Remove},
                                                              {"--service", ServiceCommand::Run}};
    for (const auto& [name, command] : options) {
        if (args.removeAll(QLatin1String(name)) > 0) return command;
    }
    return ServiceCommand::None;
}

int changeService(ServiceCommand command, const QString& workDir, const QStringList& args) {
    return command == ServiceCommand::Install ? installService(workDir, args) : removeService();
}

int runService(const std::function<int()>& collect, const CollectLog& log) {
    serviceStarted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<DWORD> dispatchError{0};
    std::thread dispatcher([&dispatchError] {
        SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(kServiceName), serviceMain},
                                        {nullptr, nullptr}};
        if (!StartServiceCtrlDispatcherW(table)) {
            dispatchError = GetLastError();
            SetEvent(serviceStarted);
        }
    });
    WaitForSingleObject(serviceStarted, INFINITE);
    if (dispatchError != 0 || !statusHandle) {
        SetLastError(dispatchError);
        report(log, QStringLiteral("--service: not started by the service manager"));
        if (statusHandle) setState(SERVICE_STOPPED, 1);
        dispatcher.join();
        return 1;
    }
    log(QStringLiteral("service started"));
    const int code = collect();
    log(QStringLiteral("service stopped"));
    // With the last service stopped the dispatcher returns.
    setState(SERVICE_STOPPED, code);
    dispatcher.join();
    return code;
}

// The file is opened for each line, so that it can be read, moved or deleted while the service
// runs.
CollectLog serviceLog(const QString& workDir) {
    const QString path = QDir(workDir).filePath(QStringLiteral("qrx-collect.log"));
    return CollectLog([path](const QString& text) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return;
        file.write((QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + text +
                    QStringLiteral("\r\n"))
                       .toUtf8());
    });
}

const char* const kServiceUsage =
    "As a Windows service (as administrator):\n"
    "  qrx-collect --install-service [--workdir DIR] [--batch-at HH:MM] [--set-clocks-at HH:MM]\n"
    "                                [--erase-at HH:MM ...]\n"
    "      registers the service qrx-collect, started with Windows, that collects in DIR (default:\n"
    "      the current folder) and logs to DIR\\qrx-collect.log; sc start qrx-collect starts it now\n"
    "  qrx-collect --remove-service\n"
    "      stops the service and removes it\n";
