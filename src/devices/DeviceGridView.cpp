#include "devices/DeviceGridView.h"

#include "devices/DeviceGridDelegate.h"
#include "devices/DeviceGridHeader.h"
#include "devices/DeviceGridTableModel.h"

#include <QMouseEvent>

namespace provix {

DeviceGridView::DeviceGridView(DeviceGridTableModel* grid_model, const DeviceGridLook& grid_look,
                               QWidget* parent)
    : QTableView(parent), look(grid_look) {
    header = new DeviceGridHeader(look, images, this);
    setHorizontalHeader(header);
    setModel(grid_model);
    setItemDelegate(new DeviceGridDelegate(look, images, this));

    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    for (int column = 0; column < kGridColumnCount; ++column)
        setColumnWidth(column, kColumnWidths[column]);

    setShowGrid(false);  // the delegate draws the horizontal lines
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setSortingEnabled(false);
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);

    QPalette colours = palette();
    colours.setColor(QPalette::Base, look.background);
    colours.setColor(QPalette::Window, look.background);
    setPalette(colours);
    viewport()->setAutoFillBackground(true);

    connect(this, &QTableView::clicked, this,
            [this](const QModelIndex& index) { emit GridClicked(index.row() + 1, index.column()); });
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int section) { emit GridClicked(0, section); });
    // A rebuild may leave the pointer over another row or none.
    connect(grid_model, &QAbstractItemModel::modelReset, this, [this] { SetHoverRow(-1); });
}

bool DeviceGridView::IsClickableColumn(int column) {
    return column == kTickColumn || column == kStatusColumn;
}

void DeviceGridView::mouseMoveEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    SetHoverRow(index.isValid() ? index.row() : -1);
    viewport()->setCursor(index.isValid() && IsClickableColumn(index.column()) ? Qt::PointingHandCursor
                                                                               : Qt::ArrowCursor);
    QTableView::mouseMoveEvent(event);
}

bool DeviceGridView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Leave) {
        SetHoverRow(-1);
        viewport()->unsetCursor();
    }
    return QTableView::viewportEvent(event);
}

void DeviceGridView::SetHoverRow(int row) {
    if (row == hover_row)
        return;
    const int previous = hover_row;
    hover_row = row;
    for (int changed : {previous, row})
        if (changed >= 0)
            viewport()->update(
                QRect(0, rowViewportPosition(changed), viewport()->width(), rowHeight(changed)));
}

}  // namespace provix
