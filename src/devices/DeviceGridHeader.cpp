#include "devices/DeviceGridHeader.h"

#include "devices/DeviceGridImages.h"
#include "devices/DeviceGridTableModel.h"
#include "devices/DeviceGridView.h"

#include <QPainter>
#include <QPolygon>

namespace provix {

DeviceGridHeader::DeviceGridHeader(const DeviceGridLook& grid_look, const DeviceGridImages& grid_images,
                                   QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), look(grid_look), images(grid_images) {
    setSectionsClickable(true);
    setHighlightSections(false);
    setSectionResizeMode(QHeaderView::Fixed);
    setStretchLastSection(false);
    setCursor(Qt::PointingHandCursor);
    setFixedHeight(DeviceGridView::kHeaderHeight);
}

QSize DeviceGridHeader::sizeHint() const {
    QSize size = QHeaderView::sizeHint();
    size.setHeight(DeviceGridView::kHeaderHeight);
    return size;
}

const DeviceGridTableModel* DeviceGridHeader::GridModel() const {
    return qobject_cast<const DeviceGridTableModel*>(model());
}

void DeviceGridHeader::paintSection(QPainter* painter, const QRect& rect, int section) const {
    painter->save();
    painter->fillRect(rect, look.title_background);
    painter->setPen(look.line);
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());

    const QRect content = rect.adjusted(DeviceGridView::kCellMargin, 0, -DeviceGridView::kCellMargin, 0);
    const int image =
        model()->headerData(section, Qt::Horizontal, DeviceGridTableModel::GridImageRole).toInt();
    const QImage& picture = images.Image(image);
    if (!picture.isNull())
        painter->drawImage(content.left(), content.top() + (content.height() - picture.height()) / 2,
                           picture);

    painter->setFont(look.title_font);
    painter->setPen(look.title_text);
    painter->drawText(content, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      model()->headerData(section, Qt::Horizontal, Qt::DisplayRole).toString());

    const DeviceGridTableModel* grid_model = GridModel();
    if (grid_model != nullptr && grid_model->Grid().SortColumn() == section) {
        // A small triangle at the right edge: up for ascending, down for descending.
        const int cx = rect.right() - 16;
        const int cy = rect.center().y();
        QPolygon arrow;
        if (grid_model->Grid().SortIndicatorAscending())
            arrow << QPoint(cx - 4, cy + 2) << QPoint(cx + 4, cy + 2) << QPoint(cx, cy - 3);
        else
            arrow << QPoint(cx - 4, cy - 2) << QPoint(cx + 4, cy - 2) << QPoint(cx, cy + 3);
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(look.title_text);
        painter->drawPolygon(arrow);
    }
    painter->restore();
}

}  // namespace provix
