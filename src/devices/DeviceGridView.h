#pragma once

#include "devices/DeviceGridImages.h"
#include "devices/DeviceGridLook.h"

#include <QTableView>

namespace provix {

class DeviceGridHeader;
class DeviceGridTableModel;

// The devices grid: fixed header and row heights and column widths, horizontal lines only, no
// editing or selection, a highlight on the device row under the pointer and a hand cursor over
// the header and the clickable columns. Clicks are reported in grid rows (0 = header).
class DeviceGridView : public QTableView {
    Q_OBJECT

public:
    static constexpr int kHeaderHeight = 38;
    static constexpr int kRowHeight = 48;
    static constexpr int kCellMargin = 8;
    static constexpr int kColumnWidths[] = {63, 232, 341, 127};

    DeviceGridView(DeviceGridTableModel* model, const DeviceGridLook& look, QWidget* parent = nullptr);

    static bool IsClickableColumn(int column);

    // The model row under the pointer, or -1.
    int HoverRow() const { return hover_row; }
    DeviceGridHeader* Header() const { return header; }
    const DeviceGridImages& Images() const { return images; }
    DeviceGridImages& Images() { return images; }

signals:
    void GridClicked(int row, int column);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void SetHoverRow(int row);

    DeviceGridLook look;
    DeviceGridImages images;
    DeviceGridHeader* header;
    int hover_row = -1;
};

}  // namespace provix
