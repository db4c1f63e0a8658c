#pragma once

#include <QColor>
#include <QDialog>
#include <QImage>
#include <QPoint>

namespace provix {

// Base of every dialog and screen: paints a background picture or colour, can be dragged by
// its body, and never treats Enter or Escape as a dialog command.
class CTDialog : public QDialog {
    Q_OBJECT

public:
    explicit CTDialog(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

    // Replaces the background picture and repaints; an empty path changes nothing, and a file
    // that cannot be decoded leaves no picture.
    void SetBackgroundImage(const QString& path);
    bool HasBackgroundImage() const { return !background.isNull(); }

    bool fill_background = false;
    QColor background_color{255, 255, 255};
    bool drag_enabled = false;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage background;
    bool dragging = false;
    QPoint drag_offset;
};

// Clips window to a 0,0,width,height rectangle with corners rounded by an 8 by 8 ellipse.
void ApplyRoundedRegion(QWidget* window, int width, int height);

}  // namespace provix
