#pragma once

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSize>
#include <QString>
#include <QWidget>

namespace provix::test {

// Writes a picture of one colour, so that a grab of the control shows which picture it drew.
inline QString WriteSolidImage(const QString& path, QSize size, const QColor& color) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    image.save(path);
    return path;
}

// The colour of a control's pixel as drawn now.
inline QColor PixelOf(QWidget& widget, QPoint pos) {
    return widget.grab().toImage().pixelColor(pos);
}

}  // namespace provix::test
