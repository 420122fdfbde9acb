#include "Screenshots.h"

#include "SimStation.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

namespace {
QString picturePath(const QString& name) {
    const QString folder = qEnvironmentVariable("QRX_SCREENSHOTS");
    if (folder.isEmpty()) return QString();
    QDir().mkpath(folder);
    return QDir(folder).filePath(name + QStringLiteral(".png"));
}
} // namespace

void saveScreenshot(QWidget* window, const QString& name) {
    const QString path = picturePath(name);
    if (path.isEmpty()) return;
    QCoreApplication::processEvents();
    window->grab().save(path);
}

void saveDesktopPicture(QWidget* window, const QString& name) {
    const QString path = picturePath(name);
    if (path.isEmpty()) return;
    // The window manager frames a window a moment after it is mapped; without one the frame
    // never comes and the picture is the bare window.
    waitFor([window] { return window->frameGeometry() != window->geometry(); }, 2000);
    QCoreApplication::processEvents();
    QGuiApplication::sync();
    const QRect frame = window->frameGeometry();
    QScreen* screen = window->screen();
    const QPixmap picture = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    (picture.isNull() ? window->grab() : picture).save(path);
}
