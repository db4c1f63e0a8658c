#pragma once

#include "ui/SkinnedControlRules.h"

#include <QAbstractButton>
#include <QColor>
#include <QImage>
#include <QString>

#include <array>

namespace provix {

// Image button: one picture per state (normal, hover, pressed, disabled) with an optional
// caption drawn over it.
class CTButtonPicture : public QAbstractButton {
    Q_OBJECT

public:
    explicit CTButtonPicture(QWidget* parent = nullptr);

    // Loads the four pictures in order and takes them up to the first that fails; from there
    // on the button keeps the pictures it had. Returns how many were taken.
    int SetImages(const QString& normal, const QString& hover, const QString& pressed,
                  const QString& disabled);

    SkinState State() const;
    // The picture drawn for a state: the state's own, or the normal one when it has none.
    const QImage& StateImage(SkinState state) const;
    QColor StateTextColor(SkinState state) const;
    bool IsHovered() const { return hover; }

    QSize sizeHint() const override;

    QString font_face = QStringLiteral("Microsoft YaHei");
    int font_height = 16;
    int font_weight = 0;
    QColor text_color_normal{255, 255, 255};
    QColor text_color_hover{255, 255, 255};  // hover and pressed
    QColor text_color_disabled{255, 255, 255};
    int align_code = 768;
    int margin = 0;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void SetHover(bool on);

    std::array<QImage, 4> images;
    bool hover = false;
};

}  // namespace provix
