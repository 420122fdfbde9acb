#include "SimProcess.h"

#include <QDir>

namespace simhost {
QString shell() {
    return QStringLiteral("/bin/sh");
}

QString unixPath(const QString& hostPath) {
    return QDir(hostPath).absolutePath();
}

QString hostPathOfUnix(const QString& unixPath) {
    return unixPath;
}

QString simProgram() {
    return QStringLiteral(QRX_READER_SIM_PATH);
}

bool underWine() {
    return false;
}

// resolveDeviceName takes COM2 from the working directory.
QString linkFolder() {
    return QDir::currentPath();
}

QString linkName() {
    return QStringLiteral("COM2");
}
} // namespace simhost
