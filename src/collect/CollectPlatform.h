// What the collector needs from the system it runs on: CollectPlatformPosix.cpp for Linux
// (signals; its service is a systemd unit), CollectPlatformWin32.cpp for Windows (console control
// events and a Windows service of its own).
#pragma once

#include "CollectLog.h"

#include <QString>
#include <QStringList>

#include <functional>

// Whether a process with this id runs.
bool processRuns(qint64 pid);

// Makes the system's stop requests end a run from the console cleanly, after the exchange under
// way: SIGTERM and SIGINT on Linux; Ctrl+C, Ctrl+Break and closing the console window on Windows.
void installStopHandlers();
// Whether a stop has been asked for, from the console or by the service manager.
bool stopRequested();

// The service commands the platform adds to the collector's options (Windows: --install-service,
// --remove-service, and --service, which the service manager starts it with).
enum class ServiceCommand { None, Install, Remove, Run };
// Takes the platform's service option out of args; None when there is none.
ServiceCommand takeServiceCommand(QStringList& args);
// Install: registers the service, started with the system, that runs the collector with args in
// workDir; Remove: stops the service and deletes it. Returns the exit code.
int changeService(ServiceCommand command, const QString& workDir, const QStringList& args);
// Runs collect under the service manager, which is told that the service runs until collect
// returns; its stop (and the system's shutdown) makes stopRequested() true. Returns collect's
// exit code, or 1 when the process was not started by the service manager.
int runService(const std::function<int()>& collect, const CollectLog& log);
// The service's log: lines stamped with the local time in qrx-collect.log in workDir.
CollectLog serviceLog(const QString& workDir);
// The usage lines of the service options; empty where there are none.
extern const char* const kServiceUsage;
