#include "SimProcess.h"

#include <QDir>

#include <windows.h>

namespace simhost {
QString shell() {
    return QStringLiteral("Z:/bin/sh");
}

// Wine's own call for it; a Windows without Wine has neither it nor the simulator.
QString unixPath(const QString& hostPath) {
    using ToUnix = char* (*)(const wchar_t*);
    // Through void (*)(), the function pointer type any other may be cast through.
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return {};
    const QString native = QDir::toNativeSeparators(QDir(hostPath).absolutePath());
    char* path = toUnix(reinterpret_cast<const wchar_t*>(native.utf16()));
    if (!path) return {};
    const QString out = QString::fromLocal8Bit(path);
    HeapFree(GetProcessHeap(), 0, path);
    return out;
}

// Wine's drive Z: is the Unix root.
QString hostPathOfUnix(const QString& unixPath) {
    return QStringLiteral("Z:") + unixPath;
}

QString simProgram() {
    return qEnvironmentVariable("QRX_LINUX_READER_SIM");
}

bool underWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

QString linkFolder() {
    const QString prefix = qEnvironmentVariable("WINEPREFIX");
    return prefix.isEmpty() ? QString() : prefix + QStringLiteral("/dosdevices");
}

QString linkName() {
    return QStringLiteral("com2");
}
} // namespace simhost
