#include "ui/CTDialog.h"

#include "ui/SkinResources.h"

#include <QBitmap>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace provix {

CTDialog::CTDialog(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent, flags) {}

void CTDialog::SetBackgroundImage(const QString& path) {
    if (path.isEmpty())
        return;
    background = LoadSkinImage(path);
    update();
}

void CTDialog::paintEvent(QPaintEvent* event) {
    if (!background.isNull()) {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rect(), background);
        return;
    }
    if (fill_background) {
        QPainter painter(this);
        painter.fillRect(rect(), background_color);
    }
    QDialog::paintEvent(event);
}

void CTDialog::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape reach the focused control first; whatever it leaves must not close
    // the dialog or press a default button.
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void CTDialog::mousePressEvent(QMouseEvent* event) {
    if (drag_enabled && event->button() == Qt::LeftButton) {
        dragging = true;
        drag_offset = event->globalPosition().toPoint() - window()->pos();
        event->accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

void CTDialog::mouseMoveEvent(QMouseEvent* event) {
    if (dragging && (event->buttons() & Qt::LeftButton)) {
        window()->move(event->globalPosition().toPoint() - drag_offset);
        event->accept();
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void CTDialog::mouseReleaseEvent(QMouseEvent* event) {
    if (dragging && event->button() == Qt::LeftButton) {
        dragging = false;
        event->accept();
        return;
    }
    QDialog::mouseReleaseEvent(event);
}

void ApplyRoundedRegion(QWidget* window, int width, int height) {
    if (window == nullptr || width <= 0 || height <= 0)
        return;
    QBitmap mask(width, height);
    mask.fill(Qt::color0);
    QPainter painter(&mask);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::color1);
    // An 8 by 8 corner ellipse is a radius of 4.
    painter.drawRoundedRect(QRect(0, 0, width, height), 4, 4);
    painter.end();
    window->setMask(mask);
    window->update();
}

}  // namespace provix
