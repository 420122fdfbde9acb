#include "HostPaths.h"

#include <QDir>

QString hostPath(const QString& windowsPath) {
    QString path = windowsPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (path.size() >= 2 && path.at(1) == QLatin1Char(':')) {
        path = path.mid(2);
        while (path.startsWith(QLatin1Char('/'))) path.remove(0, 1);
        return QDir::home().filePath(path);
    }
    return path;
}

QString defaultWorkDir() {
    const QString named = qEnvironmentVariable("QRX_WORKDIR");
    return named.isEmpty() ? QDir::home().filePath(QStringLiteral("qrx")) : named;
}
