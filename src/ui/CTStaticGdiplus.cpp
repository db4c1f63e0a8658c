#include "ui/CTStaticGdiplus.h"

#include "ui/SkinResources.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace provix {

CTStaticGdiplus::CTStaticGdiplus(QWidget* parent)
    : QWidget(parent), text_font(SkinFont(QStringLiteral("Microsoft YaHei"), 15, 0)) {
    setMouseTracking(true);
}

void CTStaticGdiplus::SetTextFont(const QString& face, int height, int weight, bool italic, bool underline) {
    text_font = SkinFont(face, height, weight, italic, underline);
    update();
}

void CTStaticGdiplus::SetText(const QString& text) {
    label_text = text;
    update();
}

SkinState CTStaticGdiplus::State() const {
    return SelectLabelState(isEnabled(), hover, pressed);
}

QColor CTStaticGdiplus::StateTextColor(SkinState state) const {
    switch (state) {
        case SkinHover:
            return text_color_hover;
        case SkinPressed:
            return text_color_pressed;
        case SkinDisabled:
            return text_color_disabled;
        default:
            return text_color_normal;
    }
}

int CTStaticGdiplus::TextFlags() const {
    const Qt::Alignment horizontal = LabelAlignment(align_code) & Qt::AlignHorizontal_Mask;
    return static_cast<int>(horizontal) | Qt::AlignTop | Qt::TextWordWrap;
}

QRect CTStaticGdiplus::TextBlockRect() const {
    const QFontMetrics metrics(text_font);
    const int wrap_width = std::max(width(), 1);
    // The block is as wide as its widest line; lines are aligned inside it when drawn.
    const QSize block_size =
        metrics.boundingRect(QRect(0, 0, wrap_width, 1 << 20), TextFlags(), label_text).size();
    return QRect(LabelBlockPosition(align_code, size(), block_size), block_size);
}

void CTStaticGdiplus::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (fill_background)
        painter.fillRect(rect(), background_color);
    if (label_text.isEmpty())
        return;
    painter.setFont(text_font);
    painter.setPen(StateTextColor(State()));
    painter.drawText(TextBlockRect(), TextFlags(), label_text);
}

void CTStaticGdiplus::enterEvent(QEnterEvent* event) {
    hover = true;
    update();
    QWidget::enterEvent(event);
}

void CTStaticGdiplus::leaveEvent(QEvent* event) {
    hover = false;
    pressed = false;
    update();
    QWidget::leaveEvent(event);
}

// Mouse events are passed on so that a draggable dialog can be moved by its labels too.
void CTStaticGdiplus::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        hover = true;
        pressed = true;
        update();
    }
    event->ignore();
}

void CTStaticGdiplus::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressed = false;
        update();
    }
    event->ignore();
}

void CTStaticGdiplus::mouseMoveEvent(QMouseEvent* event) {
    const bool inside = rect().contains(event->position().toPoint());
    if (inside != hover) {
        hover = inside;
        update();
    }
    event->ignore();
}

void CTStaticGdiplus::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange)
        update();
    QWidget::changeEvent(event);
}

}  // namespace provix
