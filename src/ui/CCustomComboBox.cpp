#include "ui/CCustomComboBox.h"

#include "ui/CDropListBoxWnd.h"
#include "ui/CDropListWnd.h"
#include "ui/SkinResources.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QWheelEvent>

namespace provix {

CCustomComboBox::CCustomComboBox(QWidget* parent)
    : QWidget(parent), item_font(SkinFont(QStringLiteral("Microsoft YaHei"), 15, 0)) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    drop_list = new CDropListWnd(this);
}

CCustomComboBox::~CCustomComboBox() = default;

int CCustomComboBox::AddItem(const QString& text, int value) {
    const int index = items.AddItem(text, value);
    drop_list->ListBox()->update();
    return index;
}

bool CCustomComboBox::RemoveItem(int index) {
    const int before = items.CurrentIndex();
    if (!items.RemoveItem(index))
        return false;
    update();
    drop_list->ListBox()->update();
    if (items.CurrentIndex() != before)
        emit currentIndexChanged(items.CurrentIndex());
    return true;
}

void CCustomComboBox::ResetItems() {
    const int before = items.CurrentIndex();
    items.ResetItems();
    update();
    drop_list->ListBox()->update();
    if (before != -1)
        emit currentIndexChanged(-1);
}

bool CCustomComboBox::SetItemEnabled(int index, bool enabled) {
    if (!items.SetItemEnabled(index, enabled))
        return false;
    drop_list->ListBox()->update();
    return true;
}

bool CCustomComboBox::SetItemPicture(int index, int picture) {
    if (!items.SetItemPicture(index, picture))
        return false;
    update();
    drop_list->ListBox()->update();
    return true;
}

bool CCustomComboBox::SetCurrentIndex(int index) {
    const int before = items.CurrentIndex();
    if (!items.SetCurrentIndex(index))
        return false;
    update();
    drop_list->ListBox()->update();
    if (index != before)
        emit currentIndexChanged(index);
    return true;
}

bool CCustomComboBox::SetArrowImages(const QString& normal, const QString& hover_path,
                                     const QString& dropped_path, const QString& disabled) {
    QImage normal_image = LoadSkinImage(normal);
    if (normal_image.isNull())
        return false;
    arrow_images = {normal_image, LoadSkinImage(hover_path), LoadSkinImage(dropped_path),
                    LoadSkinImage(disabled)};
    update();
    return true;
}

QImage CCustomComboBox::ArrowImage(ArrowState state) const {
    const QImage& own = arrow_images[static_cast<size_t>(state)];
    return own.isNull() ? arrow_images[0] : own;
}

ArrowState CCustomComboBox::CurrentArrowState() const {
    return SelectArrowState(isEnabled(), dropped, hover);
}

QRect CCustomComboBox::ArrowRect() const {
    return QRect(width() - arrow_width, 0, arrow_width, height());
}

QSize CCustomComboBox::sizeHint() const {
    return QSize(160, field_height);
}

void CCustomComboBox::ShowDropList() {
    if (dropped || !isEnabled())
        return;
    dropped = true;
    update();
    drop_list->Popup();
}

void CCustomComboBox::HideDropList() {
    if (dropped)
        drop_list->hide();
}

void CCustomComboBox::OnDropListHidden() {
    dropped = false;
    update();
}

void CCustomComboBox::DrawArrow(QPainter& painter) const {
    const QRect area = ArrowRect();
    const QImage image = ArrowImage(CurrentArrowState());
    if (!image.isNull()) {
        const QPoint top_left(area.left() + (area.width() - image.width()) / 2,
                              area.top() + (area.height() - image.height()) / 2);
        painter.drawImage(top_left, image);
        return;
    }
    // Without an arrow picture: a small downward triangle in the text colour.
    const QPointF c = QRectF(area).center();
    const QPointF triangle[] = {{c.x() - 4.5, c.y() - 2.5}, {c.x() + 4.5, c.y() - 2.5}, {c.x(), c.y() + 3}};
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(isEnabled() ? normal_text : disabled_text);
    painter.drawPolygon(triangle, 3);
    painter.restore();
}

void CCustomComboBox::paintEvent(QPaintEvent*) {
    // Painted into a pixmap and copied in one step so the field never flickers; the parent
    // shows through the rounded corners.
    QPixmap canvas(size() * devicePixelRatioF());
    canvas.setDevicePixelRatio(devicePixelRatioF());
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF field = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        painter.setPen(Qt::NoPen);
        painter.setBrush(field_background);
        painter.drawRoundedRect(field, corner_radius, corner_radius);

        DrawArrow(painter);

        int text_left = text_inset;
        const int current = items.CurrentIndex();
        if (current >= 0) {
            const DropListItem& item = items.Item(current);
            if (item.picture >= 0 && item.picture < static_cast<int>(item_pictures.size())) {
                const QRect icon_rect(text_left, (height() - icon_size.height()) / 2, icon_size.width(),
                                      icon_size.height());
                painter.drawImage(icon_rect, item_pictures[static_cast<size_t>(item.picture)]);
                text_left = icon_rect.right() + 1 + text_inset;
            }
        }
        const QRect text_rect(text_left, 0, std::max(width() - arrow_width - text_left, 0), height());
        painter.setFont(item_font);
        painter.setPen(current >= 0 ? (isEnabled() ? normal_text : disabled_text) : hint_text_color);
        const QString text = current >= 0 ? items.Item(current).text : hint_text;
        painter.drawText(text_rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         painter.fontMetrics().elidedText(text, Qt::ElideRight, text_rect.width()));

        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(dropped || hover ? border_active : border_normal, 1));
        painter.drawRoundedRect(field, corner_radius, corner_radius);
    }
    QPainter(this).drawPixmap(0, 0, canvas);
}

void CCustomComboBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    if (dropped)
        HideDropList();
    else
        ShowDropList();
}

void CCustomComboBox::keyPressEvent(QKeyEvent* event) {
    const bool alt = event->modifiers() & Qt::AltModifier;
    switch (event->key()) {
        case Qt::Key_F4:
        case Qt::Key_Space:
            ShowDropList();
            break;
        case Qt::Key_Down:
        case Qt::Key_Up:
            if (alt) {
                ShowDropList();
            } else {
                const int next =
                    items.NextSelectable(items.CurrentIndex(), event->key() == Qt::Key_Down ? 1 : -1);
                if (next >= 0)
                    SetCurrentIndex(next);
            }
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}

void CCustomComboBox::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    const int next = items.NextSelectable(items.CurrentIndex(), delta < 0 ? 1 : -1);
    if (next >= 0)
        SetCurrentIndex(next);
    event->accept();
}

void CCustomComboBox::enterEvent(QEnterEvent* event) {
    hover = true;
    update();
    QWidget::enterEvent(event);
}

void CCustomComboBox::leaveEvent(QEvent* event) {
    hover = false;
    update();
    QWidget::leaveEvent(event);
}

void CCustomComboBox::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        if (!isEnabled())
            HideDropList();
        update();
    }
    QWidget::changeEvent(event);
}

}  // namespace provix
