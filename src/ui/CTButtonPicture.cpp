#include "ui/CTButtonPicture.h"

#include "ui/SkinResources.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

namespace provix {

CTButtonPicture::CTButtonPicture(QWidget* parent) : QAbstractButton(parent) {
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
}

int CTButtonPicture::SetImages(const QString& normal, const QString& hover_path, const QString& pressed,
                               const QString& disabled) {
    const std::array<const QString*, 4> paths{&normal, &hover_path, &pressed, &disabled};
    int taken = 0;
    for (const QString* path : paths) {
        QImage image = LoadSkinImage(*path);
        if (image.isNull())
            break;
        images[static_cast<size_t>(taken++)] = std::move(image);
    }
    if (taken > 0) {
        updateGeometry();
        update();
    }
    return taken;
}

SkinState CTButtonPicture::State() const {
    return SelectButtonState(isEnabled(), isDown(), hover);
}

const QImage& CTButtonPicture::StateImage(SkinState state) const {
    const QImage& own = images[static_cast<size_t>(state)];
    return own.isNull() ? images[SkinNormal] : own;
}

QColor CTButtonPicture::StateTextColor(SkinState state) const {
    switch (state) {
        case SkinNormal:
            return text_color_normal;
        case SkinDisabled:
            return text_color_disabled;
        default:
            return text_color_hover;
    }
}

QSize CTButtonPicture::sizeHint() const {
    if (!images[SkinNormal].isNull())
        return images[SkinNormal].size();
    return QSize(16, 16);
}

void CTButtonPicture::paintEvent(QPaintEvent*) {
    // Nothing is filled: the parent's background shows through transparent picture parts.
    QPainter painter(this);
    const SkinState state = State();
    const QImage& image = StateImage(state);
    if (!image.isNull()) {
        if (image.size() == size()) {
            painter.drawImage(QPoint(0, 0), image);
        } else {
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(rect(), image);
        }
    }
    const QString caption = text();
    if (caption.isEmpty())
        return;
    const QFont font = SkinFont(font_face, font_height, font_weight);
    painter.setFont(font);
    painter.setPen(StateTextColor(state));
    const QFontMetrics metrics(font);
    const QSize text_size(metrics.horizontalAdvance(caption), metrics.height());
    const QPoint pos = ButtonCaptionPosition(align_code, margin, size(), text_size);
    painter.drawText(QRect(pos, text_size), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, caption);
}

void CTButtonPicture::enterEvent(QEnterEvent* event) {
    SetHover(true);
    QAbstractButton::enterEvent(event);
}

void CTButtonPicture::leaveEvent(QEvent* event) {
    SetHover(false);
    QAbstractButton::leaveEvent(event);
}

void CTButtonPicture::mouseMoveEvent(QMouseEvent* event) {
    SetHover(rect().contains(event->position().toPoint()));
    QAbstractButton::mouseMoveEvent(event);
}

void CTButtonPicture::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        if (!isEnabled())
            hover = false;
        update();
    }
    QAbstractButton::changeEvent(event);
}

void CTButtonPicture::SetHover(bool on) {
    if (on && !isEnabled())
        on = false;
    if (hover == on)
        return;
    hover = on;
    update();
}

}  // namespace provix
