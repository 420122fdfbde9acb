#include "PieGauge.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QPainter>

namespace {
class PieGaugeAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit PieGaugeAccessible(PieGauge* gauge) : QAccessibleWidget(gauge, QAccessible::ProgressBar) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return gauge()->percentText();
        const QString text = QAccessibleWidget::text(t);
        return t == QAccessible::Name && text.isEmpty() ? gauge()->percentText() : text;
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QVariant currentValue() const override { return gauge()->percent(); }
    void setCurrentValue(const QVariant&) override {} // shows progress, takes no input
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    PieGauge* gauge() const { return static_cast<PieGauge*>(widget()); }
};

QAccessibleInterface* gaugeAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("PieGauge") && object && object->isWidgetType())
        return new PieGaugeAccessible(static_cast<PieGauge*>(object));
    return nullptr;
}
} // namespace

PieGauge::PieGauge(QWidget* parent) : QWidget(parent) {
    [[maybe_unused]] static const bool accessible = (QAccessible::installFactory(gaugeAccessible), true);
    setObjectName("Gauge1");
    setMinimumSize(60, 60);
}

void PieGauge::setMaxValue(int max) {
    const int before = percent();
    max_ = max;
    changed(before);
}

void PieGauge::setProgress(int progress) {
    const int before = percent();
    progress_ = progress;
    changed(before);
}

int PieGauge::percent() const {
    if (max_ <= 0) return 0;
    return int(std::clamp<qint64>(qint64(progress_) * 100 / max_, 0, 100));
}

QString PieGauge::percentText() const {
    return QStringLiteral("%1%").arg(percent());
}

void PieGauge::changed(int percentBefore) {
    update();
    if (percent() == percentBefore) return;
    QAccessibleValueChangeEvent event(this, percent());
    QAccessible::updateAccessibility(&event);
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
    p.drawText(pie, Qt::AlignCenter, percentText());
}
