#pragma once

#include "devices/DeviceGridLook.h"

#include <QStyledItemDelegate>

namespace provix {

class DeviceGridImages;
class DeviceGridView;

// Paints a body cell: white or hover background, the cell's picture or text on the left,
// vertically centred on one line, and the horizontal line under the row.
class DeviceGridDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    DeviceGridDelegate(const DeviceGridLook& look, const DeviceGridImages& images, DeviceGridView* view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const DeviceGridLook& look;
    const DeviceGridImages& images;
    DeviceGridView* view;
};

}  // namespace provix
