#include "devices/DeviceGridDelegate.h"

#include "devices/DeviceGridImages.h"
#include "devices/DeviceGridTableModel.h"
#include "devices/DeviceGridView.h"

#include <QPainter>

namespace provix {

DeviceGridDelegate::DeviceGridDelegate(const DeviceGridLook& grid_look, const DeviceGridImages& grid_images,
                                       DeviceGridView* grid_view)
    : QStyledItemDelegate(grid_view), look(grid_look), images(grid_images), view(grid_view) {}

void DeviceGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    painter->save();
    const QRect rect = option.rect;
    painter->fillRect(rect, index.row() == view->HoverRow() ? look.hover : look.cell_background);
    painter->setPen(look.line);
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());

    const QRect content = rect.adjusted(DeviceGridView::kCellMargin, 0, -DeviceGridView::kCellMargin, 0);
    const QImage& picture = images.Image(index.data(DeviceGridTableModel::GridImageRole).toInt());
    if (!picture.isNull())
        painter->drawImage(content.left(), content.top() + (content.height() - picture.height()) / 2,
                           picture);

    painter->setFont(look.cell_font);
    painter->setPen(look.text);
    const QString text = index.data(Qt::DisplayRole).toString();
    painter->drawText(content, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      painter->fontMetrics().elidedText(text, Qt::ElideRight, content.width()));
    painter->restore();
}

QSize DeviceGridDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const {
    return QSize(view->columnWidth(index.column()), DeviceGridView::kRowHeight);
}

}  // namespace provix
