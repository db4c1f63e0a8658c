#include "ui/CTEditGdiplus.h"

#include <QEvent>
#include <QFont>
#include <QPainter>
#include <QPalette>

#include <algorithm>

namespace provix {

CTEditGdiplus::CTEditGdiplus(QWidget* parent) : QLineEdit(parent) {
    setFrame(false);
    setAttribute(Qt::WA_Hover);
    SetEditFont(QStringLiteral("Microsoft YaHei"), 100, false);
    // The text sits 6 pixels inside the border; QLineEdit centres one line vertically.
    setTextMargins(4, 0, 4, 0);
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
        PlaceholderOnTextChanged(placeholder, text);
        UpdateTextColor();
    });
    UpdateTextColor();
}

void CTEditGdiplus::ApplyCommonEditLook() {
    SetEditFont(QStringLiteral("Microsoft YaHei"), 96, false);
    text_color = QColor(0, 0, 0);
    background_color = QColor(255, 255, 255);
    border_color_normal = QColor(213, 213, 220);
    border_color_hover = QColor(216, 34, 40);
    border_color_focus = QColor(216, 34, 40);
    border_color_disabled = QColor(0, 0, 0);
    radius_x = 4;
    radius_y = 4;
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    UpdateTextColor();
}

void CTEditGdiplus::SetEditFont(const QString& face, int tenths_of_point, bool bold, bool italic,
                                bool underline) {
    QFont edit_font(face);
    edit_font.setPointSizeF(std::max(tenths_of_point, 10) / 10.0);
    edit_font.setBold(bold);
    edit_font.setItalic(italic);
    edit_font.setUnderline(underline);
    setFont(edit_font);
}

void CTEditGdiplus::SetPlaceholder(const QString& text, const QColor& color) {
    placeholder.enabled = true;
    placeholder.text = text;
    placeholder_color = color;
    UpdateTextColor();
}

void CTEditGdiplus::ClearPlaceholderShowing() {
    placeholder.showing = false;
    UpdateTextColor();
}

EditBorder CTEditGdiplus::BorderState() const {
    return SelectEditBorder(isEnabled(), focused, hover);
}

QColor CTEditGdiplus::BorderColor() const {
    switch (BorderState()) {
        case EditBorder::Disabled:
            return border_color_disabled;
        case EditBorder::Focus:
            return border_color_focus;
        case EditBorder::Hover:
            return border_color_hover;
        default:
            return border_color_normal;
    }
}

QColor CTEditGdiplus::CurrentTextColor() const {
    return PlaceholderColourApplies(placeholder, focused) ? placeholder_color : text_color;
}

void CTEditGdiplus::UpdateTextColor() {
    QPalette pal = palette();
    const QColor color = CurrentTextColor();
    pal.setColor(QPalette::Text, color);
    pal.setColor(QPalette::Disabled, QPalette::Text, color);
    // The background and border are painted here; the line edit only draws the text.
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Disabled, QPalette::Base, Qt::transparent);
    setPalette(pal);
    update();
}

void CTEditGdiplus::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        painter.fillRect(rect(), background_color);
        if (draw_border) {
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(QPen(BorderColor(), 1));
            painter.setBrush(Qt::NoBrush);
            const QRectF edge = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
            if (rounded_border)
                painter.drawRoundedRect(edge, radius_x, radius_y);
            else
                painter.drawRect(edge);
        }
    }
    QLineEdit::paintEvent(event);
}

void CTEditGdiplus::focusInEvent(QFocusEvent* event) {
    focused = true;
    if (placeholder.showing) {
        const QString text = PlaceholderOnFocusIn(placeholder, this->text());
        setText(text);
    }
    UpdateTextColor();
    QLineEdit::focusInEvent(event);
}

void CTEditGdiplus::focusOutEvent(QFocusEvent* event) {
    focused = false;
    QLineEdit::focusOutEvent(event);
    if (text().isEmpty() && placeholder.enabled) {
        const QString text = PlaceholderOnFocusOut(placeholder, this->text());
        setText(text);
    }
    UpdateTextColor();
}

void CTEditGdiplus::enterEvent(QEnterEvent* event) {
    hover = true;
    update();
    QLineEdit::enterEvent(event);
}

void CTEditGdiplus::leaveEvent(QEvent* event) {
    hover = false;
    update();
    QLineEdit::leaveEvent(event);
}

void CTEditGdiplus::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange)
        update();
    QLineEdit::changeEvent(event);
}

}  // namespace provix
