#include "HostPaths.h"

#include <QDir>

// The paths are the system's own: ".\DATA2\B20040315.TXT" is DATA2\B20040315.TXT under the
// working folder, and "C:\CARD\DATA1\CDATA.TXT" is that file on drive C.
QString hostPath(const QString& windowsPath) {
    QString path = windowsPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (path.startsWith(QLatin1String("./"))) path.remove(0, 2);
    return path;
}

// A shortcut starts the program in its working folder (C:\QRX as set up), and so does a command
// prompt in the folder it is at.
QString defaultWorkDir() {
    const QString named = qEnvironmentVariable("QRX_WORKDIR");
    return named.isEmpty() ? QDir::currentPath() : named;
}
