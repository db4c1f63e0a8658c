#pragma once

#include "devices/DeviceGridLook.h"

#include <QHeaderView>

namespace provix {

class DeviceGridImages;
class DeviceGridTableModel;

// The grid's header row: title texts, the header tick box in column 0 and the sort indicator of
// the grid model's sort column. The header never sorts anything itself.
class DeviceGridHeader : public QHeaderView {
    Q_OBJECT

public:
    DeviceGridHeader(const DeviceGridLook& look, const DeviceGridImages& images, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int section) const override;

private:
    const DeviceGridTableModel* GridModel() const;

    const DeviceGridLook& look;
    const DeviceGridImages& images;
};

}  // namespace provix
