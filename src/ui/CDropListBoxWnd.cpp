#include "ui/CDropListBoxWnd.h"

#include "ui/CCustomComboBox.h"
#include "ui/SkinnedControlRules.h"

#include <QCursor>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

namespace provix {

namespace {

constexpr int kTooltipShowDelayMs = 300;
constexpr int kTooltipVisibleMs = 8000;

void DrawTick(QPainter& painter, const QRect& box, const QColor& color) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QRectF r = QRectF(box).adjusted(box.width() * 0.2, box.height() * 0.25, -box.width() * 0.2,
                                          -box.height() * 0.25);
    const QPointF points[] = {
        {r.left(), r.center().y()}, {r.left() + r.width() * 0.4, r.bottom()}, {r.right(), r.top()}};
    painter.drawPolyline(points, 3);
    painter.restore();
}

}  // namespace

CDropListBoxWnd::CDropListBoxWnd(CCustomComboBox* owner, QWidget* parent) : QWidget(parent), combo(owner) {
    setMouseTracking(true);
    tooltip_timer.setSingleShot(true);
    connect(&tooltip_timer, &QTimer::timeout, this, &CDropListBoxWnd::ShowTooltip);
}

int CDropListBoxWnd::ContentHeight() const {
    return combo->Items().Count() * combo->item_height;
}

QRect CDropListBoxWnd::ItemRect(int index) const {
    return QRect(0, index * combo->item_height, width(), combo->item_height);
}

int CDropListBoxWnd::ItemAt(QPoint pos) const {
    if (pos.x() < 0 || pos.x() >= width() || pos.y() < 0 || combo->item_height <= 0)
        return -1;
    const int index = pos.y() / combo->item_height;
    return combo->Items().IsValid(index) ? index : -1;
}

bool CDropListBoxWnd::ItemTextFits(int index) const {
    const DropListItems& items = combo->Items();
    if (!items.IsValid(index))
        return true;
    const DropListItem& item = items.Item(index);
    const bool has_picture = item.picture >= 0;
    const int available =
        DropItemTextWidth(width(), has_picture, combo->icon_size.width(), index == items.CurrentIndex());
    return QFontMetrics(combo->item_font).horizontalAdvance(item.text) <= available;
}

void CDropListBoxWnd::SetHotIndex(int index) {
    if (!combo->Items().IsValid(index))
        index = -1;
    if (index == hot_index)
        return;
    hot_index = index;
    update();
    tooltip_timer.stop();
    if (hot_index >= 0 && !ItemTextFits(hot_index)) {
        tooltip_text = combo->Items().Item(hot_index).text;
        tooltip_timer.start(kTooltipShowDelayMs);
    } else {
        tooltip_text.clear();
        QToolTip::hideText();
    }
}

void CDropListBoxWnd::ShowTooltip() {
    if (tooltip_text.isEmpty() || hot_index < 0)
        return;
    QToolTip::showText(QCursor::pos(), tooltip_text, this, ItemRect(hot_index), kTooltipVisibleMs);
}

void CDropListBoxWnd::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(rect(), combo->list_background);
    painter.setFont(combo->item_font);
    const DropListItems& items = combo->Items();
    const QSize icon = combo->icon_size;
    for (int i = 0; i < items.Count(); ++i) {
        const QRect row = ItemRect(i);
        if (!row.intersects(event->rect()))
            continue;
        const DropListItem& item = items.Item(i);
        const bool current = i == items.CurrentIndex();
        const DropItemLook look = SelectDropItemLook(item.enabled, i == hot_index, current);
        if (look.highlight_background) {
            painter.save();
            painter.setRenderHint(QPainter::Antialiasing);
            QPainterPath path;
            path.addRoundedRect(QRectF(row.adjusted(4, 2, -4, -2)), combo->corner_radius,
                                combo->corner_radius);
            painter.fillPath(path, combo->highlight_background);
            painter.restore();
        }
        int text_left = row.left() + combo->text_inset;
        const bool has_picture =
            item.picture >= 0 && item.picture < static_cast<int>(combo->item_pictures.size());
        if (has_picture) {
            const QRect icon_rect(text_left, row.center().y() - icon.height() / 2, icon.width(),
                                  icon.height());
            painter.drawImage(icon_rect, combo->item_pictures[static_cast<size_t>(item.picture)]);
            text_left = icon_rect.right() + 1 + combo->text_inset;
        }
        QColor text_color = combo->normal_text;
        if (look.text == DropItemLook::DisabledText)
            text_color = combo->disabled_text;
        else if (look.text == DropItemLook::HighlightText)
            text_color = combo->highlight_text;
        int text_right = row.right() - combo->text_inset;
        if (look.tick) {
            const QRect tick_box(row.right() - combo->text_inset - icon.width(),
                                 row.center().y() - icon.height() / 2, icon.width(), icon.height());
            DrawTick(painter, tick_box, combo->highlight_text);
            text_right = tick_box.left() - combo->text_inset;
        }
        const QRect text_rect(text_left, row.top(), std::max(text_right - text_left + 1, 0), row.height());
        painter.setPen(text_color);
        const QString shown = painter.fontMetrics().elidedText(item.text, Qt::ElideRight, text_rect.width());
        painter.drawText(text_rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
        if (i + 1 < items.Count())
            painter.fillRect(QRect(row.left() + 12, row.bottom(), row.width() - 24, 1),
                             combo->separator_color);
    }
}

void CDropListBoxWnd::mouseMoveEvent(QMouseEvent* event) {
    SetHotIndex(ItemAt(event->position().toPoint()));
    QWidget::mouseMoveEvent(event);
}

void CDropListBoxWnd::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const int index = ItemAt(event->position().toPoint());
    if (index >= 0 && combo->Items().Item(index).enabled)
        emit itemActivated(index);
}

void CDropListBoxWnd::leaveEvent(QEvent* event) {
    SetHotIndex(-1);
    QWidget::leaveEvent(event);
}

}  // namespace provix
