#include "Glyphs.h"

#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kSide = 24;

void drawClock(QPainter& p, QColor hands) {
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(3, 3, 18, 18));
    p.setPen(QPen(hands, 2));
    p.drawLine(QPointF(12, 12), QPointF(12, 6));
    p.drawLine(QPointF(12, 12), QPointF(16, 14));
}

void drawReaderBox(QPainter& p) {
    p.setBrush(QColor(230, 230, 210));
    p.drawRoundedRect(QRectF(4, 3, 16, 18), 2, 2);
    p.setBrush(QColor(40, 120, 40));
    p.drawRect(QRectF(7, 6, 10, 5));
}

void drawArrowDown(QPainter& p, QColor color) {
    QPainterPath arrow;
    arrow.moveTo(9, 10);
    arrow.lineTo(15, 10);
    arrow.lineTo(15, 15);
    arrow.lineTo(19, 15);
    arrow.lineTo(12, 22);
    arrow.lineTo(5, 15);
    arrow.lineTo(9, 15);
    arrow.closeSubpath();
    p.setBrush(color);
    p.drawPath(arrow);
}
} // namespace

QIcon glyphIcon(Glyph glyph) {
    QPixmap pixmap(kSide, kSide);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    switch (glyph) {
    case Glyph::Settings:
        p.setBrush(QColor(120, 120, 140));
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.translate(12, 12);
            p.rotate(45 * i);
            p.drawRect(QRectF(-2, -10, 4, 5));
            p.restore();
        }
        p.drawEllipse(QRectF(5, 5, 14, 14));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(9, 9, 6, 6));
        break;
    case Glyph::Status:
        drawReaderBox(p);
        p.setPen(QPen(QColor(0, 150, 0), 2));
        p.drawLine(QPointF(8, 16), QPointF(11, 19));
        p.drawLine(QPointF(11, 19), QPointF(17, 13));
        break;
    case Glyph::ClockRead:
        drawClock(p, Qt::black);
        break;
    case Glyph::ClockSet:
        drawClock(p, Qt::red);
        p.setPen(QPen(Qt::red, 2));
        p.drawLine(QPointF(17, 20), QPointF(22, 20));
        p.drawLine(QPointF(19.5, 17.5), QPointF(19.5, 22.5));
        break;
    case Glyph::ModeTable:
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3, 3, 18, 18));
        for (int y = 8; y < 21; y += 4) p.drawLine(QPointF(3, y), QPointF(21, y));
        p.drawLine(QPointF(10, 3), QPointF(10, 21));
        break;
    case Glyph::Batch:
        p.setBrush(QColor(250, 220, 120));
        p.drawRect(QRectF(3, 3, 18, 8));
        drawArrowDown(p, QColor(0, 90, 200));
        break;
    case Glyph::Online: {
        p.setBrush(QColor(200, 0, 0));
        p.drawEllipse(QRectF(2, 5, 20, 14));
        QFont f;
        f.setPixelSize(8);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(2, 5, 20, 14), Qt::AlignCenter, QStringLiteral("ON"));
        break;
    }
    case Glyph::Count: {
        drawReaderBox(p);
        QFont f;
        f.setPixelSize(9);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRectF(4, 11, 16, 10), Qt::AlignCenter, QStringLiteral("123"));
        break;
    }
    case Glyph::Erase:
        p.setBrush(QColor(180, 180, 180));
        p.drawRect(QRectF(6, 7, 12, 15));
        p.drawRect(QRectF(4, 4, 16, 3));
        p.setPen(QPen(Qt::red, 2));
        p.drawLine(QPointF(8, 10), QPointF(16, 19));
        p.drawLine(QPointF(16, 10), QPointF(8, 19));
        break;
    case Glyph::Exit:
        p.setBrush(QColor(150, 90, 40));
        p.drawRect(QRectF(5, 2, 12, 20));
        p.setBrush(Qt::yellow);
        p.drawEllipse(QRectF(13, 11, 3, 3));
        break;
    case Glyph::Meal:
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(3, 6, 18, 14));
        p.drawLine(QPointF(12, 2), QPointF(12, 9));
        break;
    case Glyph::TimeSheet:
        // A sheet ruled into rows, a column of times at its left.
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3, 3, 18, 18));
        p.setBrush(QColor(40, 120, 40));
        p.drawRect(QRectF(3, 3, 18, 4));
        p.setPen(QPen(QColor(90, 90, 90), 1));
        for (const int y : {11, 15, 19}) p.drawLine(QPointF(5, y), QPointF(19, y));
        p.drawLine(QPointF(10, 8), QPointF(10, 20));
        break;
    }
    return QIcon(pixmap);
}

QPixmap splashPicture() {
    QPixmap pixmap(370, 280);
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient band(0, 0, 370, 0);
    band.setColorAt(0, QColor(0, 40, 140));
    band.setColorAt(1, QColor(40, 110, 200));
    p.fillRect(0, 0, 370, 90, band);
    QFont title(QStringLiteral("NanumGothic"));
    title.setPixelSize(40);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 370, 90), Qt::AlignCenter, QStringLiteral("QRX-500"));
    QFont body(QStringLiteral("NanumGothic"));
    body.setPixelSize(22);
    body.setBold(true);
    p.setFont(body);
    p.setPen(QColor(0, 40, 140));
    p.drawText(QRect(0, 110, 370, 40), Qt::AlignCenter, QStringLiteral("근태관리"));
    body.setPixelSize(13);
    body.setBold(false);
    p.setFont(body);
    p.setPen(Qt::darkGray);
    p.drawText(QRect(0, 160, 370, 24), Qt::AlignCenter, QStringLiteral("On-Line / Sub  r1.1"));
    p.setPen(QPen(QColor(0, 40, 140), 2));
    p.drawRect(QRect(1, 1, 368, 278));
    return pixmap;
}
