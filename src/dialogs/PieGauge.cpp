#include "PieGauge.h"

#include <QPainter>

PieGauge::PieGauge(QWidget* parent) : QWidget(parent) {
    setObjectName("Gauge1");
    setMinimumSize(60, 60);
}

void PieGauge::setMaxValue(int max) {
    max_ = max;
    update();
}

void PieGauge::setProgress(int progress) {
    progress_ = progress;
    update();
}

int PieGauge::percent() const {
    if (max_ <= 0) return 0;
    return int(std::clamp<qint64>(qint64(progress_) * 100 / max_, 0, 100));
}

void PieGauge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int side = std::min(width(), height()) - 4;
    const QRect pie((width() - side) / 2, (height() - side) / 2, side, side);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawEllipse(pie);
    p.setBrush(QColor(0, 0, 160));
    p.drawPie(pie, 90 * 16, -percent() * 360 * 16 / 100);
    QFont f = font();
    f.setBold(true);
    p.setFont(f);
    p.setPen(percent() >= 50 ? Qt::white : Qt::black);
    p.drawText(pie, Qt::AlignCenter, QStringLiteral("%1%").arg(percent()));
}
