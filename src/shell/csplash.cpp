#include "csplash.h"

#include "Glyphs.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

QPointer<TSplash> Splash;

TSplash::TSplash() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("Splash");
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(370, 280);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TSplash::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, splashPicture());
}

void TSplash::mousePressEvent(QMouseEvent*) {
    close();
}
