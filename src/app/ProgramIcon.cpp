#include "app/ProgramIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace provix {

namespace {

QPixmap DrawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;

    QLinearGradient fill(0, 0, 0, s);
    fill.setColorAt(0, QColor(232, 52, 58));
    fill.setColorAt(1, QColor(190, 24, 30));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.22, s * 0.22);

    // A "P" whose bowl opens into two radio waves: provisioning over the air.
    QPen pen(Qt::white, s * 0.11, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const qreal stem_x = s * 0.30;
    p.drawLine(QPointF(stem_x, s * 0.24), QPointF(stem_x, s * 0.78));
    QPainterPath bowl;
    bowl.moveTo(stem_x, s * 0.24);
    bowl.lineTo(s * 0.46, s * 0.24);
    bowl.arcTo(QRectF(s * 0.30, s * 0.24, s * 0.32, s * 0.30), 90, -180);
    bowl.lineTo(stem_x, s * 0.54);
    p.drawPath(bowl);
    pen.setWidthF(s * 0.07);
    p.setPen(pen);
    p.drawArc(QRectF(s * 0.40, s * 0.18, s * 0.42, s * 0.42), -50 * 16, 100 * 16);
    p.drawArc(QRectF(s * 0.36, s * 0.08, s * 0.56, s * 0.62), -45 * 16, 90 * 16);
    return pixmap;
}

}  // namespace

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(DrawIcon(size));
    return icon;
}

}  // namespace provix
