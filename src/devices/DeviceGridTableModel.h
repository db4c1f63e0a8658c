#pragma once

#include "devices/DeviceGridModel.h"

#include <QAbstractTableModel>

namespace provix {

// Owns the devices grid's DeviceGridModel and shows it to a view: model rows are the device rows
// 1..n, the header is the grid's row 0. Every change of the grid reaches the view as a signal.
class DeviceGridTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // The grid image (GridImage) of a cell or of a header section.
    static constexpr int GridImageRole = Qt::UserRole + 1;

    explicit DeviceGridTableModel(CSqlManagement* store, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    DeviceGridModel& Grid() { return grid; }
    const DeviceGridModel& Grid() const { return grid; }

private:
    DeviceGridModel grid;
};

}  // namespace provix
