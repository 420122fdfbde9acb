#include "Screenshots.h"

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>

void saveScreenshot(QWidget* window, const QString& name) {
    const QString folder = qEnvironmentVariable("QRX_SCREENSHOTS");
    if (folder.isEmpty()) return;
    QDir().mkpath(folder);
    QCoreApplication::processEvents();
    window->grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
}
