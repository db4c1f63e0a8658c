#include "devices/DeviceGridModel.h"

#include "devices/CSqlManagement.h"

#include <algorithm>

namespace provix {

GridImage ResultImage(int result) {
    switch (result) {
        case ResultSuccess:
            return IMG_SUCCESS;
        case ResultFailed:
            return IMG_ERROR;
        case ResultInProgress:
            return IMG_OPERATING;
        default:
            return IMG_NONE;
    }
}

DeviceGridModel::DeviceGridModel(CSqlManagement* results_store) : store(results_store) {}

void DeviceGridModel::RefreshList(bool rebuild, bool ascending, int column) {
    std::vector<ap_info_stu> list;
    int count = 0;
    int successes = 0;
    int failures = 0;
    // A failed query leaves the list empty and the counters at zero.
    if (store != nullptr)
        store->QueryDevices(list, count, successes, failures, ascending, column);
    // The indicator shows the order the rows are in, so only a rebuild moves it: a recount
    // asks with the direction of the next click, which the rows do not have yet.
    if (rebuild) {
        FillGrid(list);
        sort_column = column;
        sort_indicator_ascending = ascending;
    }
    success_count = successes;
    fail_count = failures;
    NotifyChanged();
}

void DeviceGridModel::FillGrid(const std::vector<ap_info_stu>& list) {
    if (about_to_rebuild)
        about_to_rebuild();
    rows.clear();
    rows.reserve(list.size());
    for (const ap_info_stu& info : list) {
        // The record holds the statuses the query just read, so its result needs no second query.
        const DeviceResult result =
            CSqlManagement::ComputeResult(info.para_status, info.logo_status, info.antitheft_status);
        rows.push_back({info.mac, ResultImage(result)});
    }
    row_ticked.assign(rows.size() + 1, 0);
    row_ticked[0] = kHeaderNoneTicked;
    ticked_count = 0;
    if (rebuilt)
        rebuilt();
}

void DeviceGridModel::OnGridClick(int row, int column) {
    if (row == 0 && (column == kMacColumn || column == kStatusColumn)) {
        // The first click on a column repeats the current direction; each later one reverses it.
        RefreshList(true, sort_ascending, column);
        sort_ascending = !sort_ascending;
    } else if (row == 0 && column == kTickColumn) {
        if (row_ticked[0] == kHeaderNoneTicked) {
            std::fill(row_ticked.begin(), row_ticked.end(), 1);
            ticked_count = RowCount();
        } else {
            std::fill(row_ticked.begin(), row_ticked.end(), 0);
            ticked_count = 0;
        }
    } else if (ValidRow(row) && column == kTickColumn) {
        if (row_ticked[row] == 1) {
            row_ticked[row] = 0;
            if (ticked_count > 0)
                --ticked_count;
        } else {
            row_ticked[row] = 1;
            ++ticked_count;
        }
    }
    RecomputeHeader();
    NotifyChanged();
}

const SelectionQueue& DeviceGridModel::BuildSelectionQueue() {
    selection_queue.clear();
    for (int row = 1; row <= RowCount(); ++row) {
        if (row_ticked[row] == 1)
            selection_queue.push_back({rows[row - 1].mac});
    }
    return selection_queue;
}

void DeviceGridModel::UpdateRowStatus(const std::string& mac, DeviceResult result) {
    const auto found = std::find_if(rows.begin(), rows.end(), [&](const Row& r) { return r.mac == mac; });
    if (found != rows.end())
        found->status_image = ResultImage(result);
    // Every poll unticks the whole grid, found or not.
    std::fill(row_ticked.begin(), row_ticked.end(), 0);
    ticked_count = 0;
    NotifyChanged();
}

void DeviceGridModel::ClearStatusIcons() {
    for (Row& row : rows)
        row.status_image = IMG_NONE;
    NotifyChanged();
}

void DeviceGridModel::ClearTicks() {
    std::fill(row_ticked.begin(), row_ticked.end(), 0);
    ticked_count = 0;
    NotifyChanged();
}

const std::string& DeviceGridModel::Mac(int row) const {
    static const std::string empty;
    return ValidRow(row) ? rows[row - 1].mac : empty;
}

bool DeviceGridModel::IsTicked(int row) const {
    return ValidRow(row) && row_ticked[row] == 1;
}

GridImage DeviceGridModel::TickImage(int row) const {
    if (!ValidRow(row))
        return IMG_NONE;
    return row_ticked[row] == 1 ? IMG_SELECT : IMG_UNSELECT;
}

GridImage DeviceGridModel::StatusImage(int row) const {
    return ValidRow(row) ? rows[row - 1].status_image : IMG_NONE;
}

GridImage DeviceGridModel::HeaderImage() const {
    switch (row_ticked[0]) {
        case kHeaderAllTicked:
            return IMG_SELECT;
        case kHeaderSomeTicked:
            return IMG_PART_SELECT;
        default:
            return IMG_UNSELECT;
    }
}

void DeviceGridModel::RecomputeHeader() {
    if (ticked_count > 0 && ticked_count == RowCount())
        row_ticked[0] = kHeaderAllTicked;
    else if (ticked_count > 0)
        row_ticked[0] = kHeaderSomeTicked;
    else
        row_ticked[0] = kHeaderNoneTicked;
}

void DeviceGridModel::NotifyChanged() {
    if (changed)
        changed();
}

}  // namespace provix
