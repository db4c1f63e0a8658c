#include "devices/DeviceGridTableModel.h"

#include "language/Translation.h"

namespace provix {

DeviceGridTableModel::DeviceGridTableModel(CSqlManagement* store, QObject* parent)
    : QAbstractTableModel(parent), grid(store) {
    grid.about_to_rebuild = [this] { beginResetModel(); };
    grid.rebuilt = [this] { endResetModel(); };
    grid.changed = [this] {
        if (grid.RowCount() > 0)
            emit dataChanged(index(0, 0), index(grid.RowCount() - 1, kGridColumnCount - 1));
        emit headerDataChanged(Qt::Horizontal, 0, kGridColumnCount - 1);
    };
}

int DeviceGridTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : grid.RowCount();
}

int DeviceGridTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kGridColumnCount;
}

QVariant DeviceGridTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const int row = index.row() + 1;
    switch (role) {
        case Qt::DisplayRole:
            if (index.column() == kNumberColumn)
                return QString::number(row);
            if (index.column() == kMacColumn)
                return QString::fromStdString(grid.Mac(row));
            return QString();
        case GridImageRole:
            if (index.column() == kTickColumn)
                return static_cast<int>(grid.TickImage(row));
            if (index.column() == kStatusColumn)
                return static_cast<int>(grid.StatusImage(row));
            return static_cast<int>(IMG_NONE);
        default:
            return {};
    }
}

QVariant DeviceGridTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kGridColumnCount)
        return {};
    if (role == Qt::DisplayRole) {
        static const char* const titles[kGridColumnCount] = {"", "No.", "MAC Address", "Status"};
        return section == kTickColumn ? QString() : QString::fromStdString(TranslateText(titles[section]));
    }
    if (role == GridImageRole)
        return static_cast<int>(section == kTickColumn ? grid.HeaderImage() : IMG_NONE);
    return {};
}

Qt::ItemFlags DeviceGridTableModel::flags(const QModelIndex& index) const {
    // Cells are never edited or selected; clicks still arrive as the view's clicked signal.
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

}  // namespace provix
