#pragma once

#include "ui/SkinnedControlRules.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

namespace provix {

// Label drawn in its own font and per-state colours, wrapped to its width and placed by an
// alignment code (see LabelAlignment).
class CTStaticGdiplus : public QWidget {
    Q_OBJECT

public:
    explicit CTStaticGdiplus(QWidget* parent = nullptr);

    void SetTextFont(const QString& face, int height, int weight, bool italic = false,
                     bool underline = false);
    void SetText(const QString& text);
    QString Text() const { return label_text; }
    const QFont& TextFont() const { return text_font; }

    SkinState State() const;
    QColor StateTextColor(SkinState state) const;
    // Where the wrapped text goes in the label.
    QRect TextBlockRect() const;

    QColor text_color_normal{112, 112, 112};
    QColor text_color_hover{112, 112, 112};
    QColor text_color_pressed{112, 112, 112};
    QColor text_color_disabled{112, 112, 112};
    QColor background_color{0, 0, 0};
    bool fill_background = false;
    int align_code = 5;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int TextFlags() const;

    QString label_text;
    QFont text_font;
    bool hover = false;
    bool pressed = false;
};

}  // namespace provix
