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
    const auto toUnix = reinterpret_cast<ToUnix>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
    if (!toUnix) return {};
    const QString native = QDir::toNativeSeparators(QDir(hostPath).absolutePath());
    char* unix = toUnix(reinterpret_cast<const wchar_t*>(native.utf16()));
    if (!unix) return {};
    const QString out = QString::fromLocal8Bit(unix);
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

// Wine's drive Z: is the Unix root.
QString hostPathOfUnix(const QString& unixPath) {
    return QStringLiteral("Z:") + unixPath;
}

QString simProgram() {
    return qEnvironmentVariable("QRX_LINUX_READER_SIM");
}

QString linkFolder() {
    const QString prefix = qEnvironmentVariable("WINEPREFIX");
    return prefix.isEmpty() ? QString() : prefix + QStringLiteral("/dosdevices");
}

QString linkName() {
    return QStringLiteral("com2");
}
} // namespace simhost
