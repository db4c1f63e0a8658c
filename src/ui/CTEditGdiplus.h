#pragma once

#include "ui/SkinnedControlRules.h"

#include <QColor>
#include <QLineEdit>
#include <QString>

namespace provix {

// One-line text box with a rounded border whose colour follows hover and focus, and an
// optional placeholder that is real text in the box (reading the box while it shows gives
// the placeholder).
class CTEditGdiplus : public QLineEdit {
    Q_OBJECT

public:
    explicit CTEditGdiplus(QWidget* parent = nullptr);

    // The look every screen gives its text boxes.
    void ApplyCommonEditLook();
    void SetEditFont(const QString& face, int tenths_of_point, bool bold, bool italic = false,
                     bool underline = false);
    // Turns the placeholder on; it appears the next time the box loses the focus while empty.
    void SetPlaceholder(const QString& text, const QColor& color);
    bool IsPlaceholderShowing() const { return placeholder.showing; }
    // For an owner that has just written a value of its own.
    void ClearPlaceholderShowing();

    EditBorder BorderState() const;
    QColor BorderColor() const;
    // The colour the text is drawn in right now.
    QColor CurrentTextColor() const;
    bool IsHovered() const { return hover; }

    QColor text_color{0, 0, 0};
    QColor background_color{255, 255, 255};
    bool draw_border = true;
    bool rounded_border = true;
    int radius_x = 4;
    int radius_y = 4;
    QColor border_color_normal{213, 213, 220};
    QColor border_color_hover{216, 34, 40};
    QColor border_color_focus{216, 34, 40};
    QColor border_color_disabled{0, 0, 0};
    QColor placeholder_color{128, 128, 128};

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void UpdateTextColor();

    PlaceholderState placeholder;
    bool focused = false;
    bool hover = false;
};

}  // namespace provix
