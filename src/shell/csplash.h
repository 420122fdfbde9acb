// The splash window: borderless, on top, centred, white, one picture; a click closes it.
#pragma once

#include <QPointer>
#include <QWidget>

class TSplash : public QWidget {
public:
    TSplash();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
};

// The splash on screen, if any (shown at start-up and by "QRX에 대해..").
extern QPointer<TSplash> Splash;
