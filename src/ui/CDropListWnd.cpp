#include "ui/CDropListWnd.h"

#include "ui/CCustomComboBox.h"
#include "ui/CDropListBoxWnd.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

namespace provix {

CDropListWnd::CDropListWnd(CCustomComboBox* owner)
    : QWidget(owner, Qt::Popup | Qt::FramelessWindowHint), combo(owner) {
    // A click on the field while the list is open only closes the list.
    setAttribute(Qt::WA_NoMouseReplay);
    scroll_area = new QScrollArea(this);
    scroll_area->setFrameShape(QFrame::NoFrame);
    scroll_area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_area->setWidgetResizable(true);
    list_box = new CDropListBoxWnd(combo, scroll_area);
    scroll_area->setWidget(list_box);
    connect(list_box, &CDropListBoxWnd::itemActivated, this, &CDropListWnd::Activate);
}

void CDropListWnd::Popup() {
    const int count = combo->Items().Count();
    const int visible = std::clamp(count, 1, std::max(combo->max_visible_items, 1));
    const int list_height = visible * combo->item_height;
    list_box->setMinimumHeight(list_box->ContentHeight());
    const QSize frame_size(combo->width(), list_height + 2);
    QPoint pos = combo->mapToGlobal(QPoint(0, combo->height()));
    if (const QScreen* screen = combo->screen()) {
        const QRect avail = screen->availableGeometry();
        if (pos.y() + frame_size.height() > avail.bottom() + 1)
            pos.setY(combo->mapToGlobal(QPoint(0, 0)).y() - frame_size.height());
    }
    setGeometry(QRect(pos, frame_size));
    scroll_area->setGeometry(rect().adjusted(1, 1, -1, -1));
    list_box->SetHotIndex(-1);
    show();
    if (combo->CurrentIndex() >= 0)
        scroll_area->ensureVisible(0, list_box->ItemRect(combo->CurrentIndex()).center().y(), 0,
                                   combo->item_height);
    setFocus();
}

void CDropListWnd::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), fill_color);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(border_color, 1));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), corner_radius, corner_radius);
}

void CDropListWnd::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Up:
            MoveHot(-1);
            break;
        case Qt::Key_Down:
            MoveHot(+1);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space: {
            const int hot = list_box->HotIndex();
            if (hot >= 0 && combo->Items().Item(hot).enabled)
                Activate(hot);
            else
                hide();
            break;
        }
        case Qt::Key_Escape:
        case Qt::Key_F4:
            hide();
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}

void CDropListWnd::hideEvent(QHideEvent* event) {
    list_box->SetHotIndex(-1);
    QWidget::hideEvent(event);
    combo->OnDropListHidden();
}

void CDropListWnd::MoveHot(int step) {
    int from = list_box->HotIndex();
    if (from < 0)
        from = combo->CurrentIndex();
    const int next = combo->Items().NextSelectable(from, step);
    if (next < 0)
        return;
    list_box->SetHotIndex(next);
    scroll_area->ensureVisible(0, list_box->ItemRect(next).center().y(), 0, combo->item_height);
}

void CDropListWnd::Activate(int index) {
    hide();
    combo->SetCurrentIndex(index);
}

}  // namespace provix
