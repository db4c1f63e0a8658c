#pragma once

#include "devices/OperateStatus.h"
#include "devices/ap_info_stu.h"
#include "devices/mac_stu.h"

#include <functional>
#include <string>
#include <vector>

namespace provix {

class CSqlManagement;

// The grid's pictures by role; the numbers are the order of the grid's image list.
enum GridImage : int {
    IMG_UNSELECT = 0,
    IMG_SELECT = 1,
    IMG_PART_SELECT = 2,
    IMG_SUCCESS = 3,
    IMG_ERROR = 4,
    IMG_OPERATING = 5,
    IMG_NONE = 6,
};

enum GridColumn : int {
    kTickColumn = 0,
    kNumberColumn = 1,
    kMacColumn = 2,
    kStatusColumn = 3,
    kGridColumnCount = 4,
};

// Values of row_ticked[0], the header tick box.
enum HeaderTickState : int {
    kHeaderNoneTicked = 0,
    kHeaderAllTicked = 1,
    kHeaderSomeTicked = 2,
};

// The status picture of a device result; anything unknown shows no picture.
GridImage ResultImage(int result);

// The devices grid without painting: its rows, the tick of the header and of every row, the sort
// state, the counters and the selection handed to an operation. Row 0 is the header; device rows
// are 1..RowCount() in the order the store returned them. The tick state grows with the grid.
class DeviceGridModel {
public:
    // store may be null: the grid then behaves as with a store that has no connection.
    explicit DeviceGridModel(CSqlManagement* store);

    // Told before and after the rows are replaced, and after ticks, icons or the header changed,
    // so that a view can follow.
    std::function<void()> about_to_rebuild;
    std::function<void()> rebuilt;
    std::function<void()> changed;

    // Queries the store in the given order and updates the counters; when asked, rebuilds the rows
    // in that order and shows it as the sort indicator.
    void RefreshList(bool rebuild, bool ascending, int column);
    // Replaces the rows by list (ticks cleared, status icons from each record's statuses).
    void FillGrid(const std::vector<ap_info_stu>& list);

    // A click on grid row `row` (0 = header) and column `column`: sorting on the MAC and status
    // headers, ticking on column 0; the header box is recomputed in every case.
    void OnGridClick(int row, int column);

    // The MACs of the ticked rows, in grid order, into selection_queue.
    const SelectionQueue& BuildSelectionQueue();
    void ClearSelectionQueue() { selection_queue.clear(); }

    // Shows result on the first row showing mac (exact comparison) and unticks every row.
    void UpdateRowStatus(const std::string& mac, DeviceResult result);
    void ClearStatusIcons();
    // Unticks every row and the header without touching the icons.
    void ClearTicks();

    int RowCount() const { return static_cast<int>(rows.size()); }
    // Row accessors take a device row 1..RowCount(); outside that they give the empty value.
    const std::string& Mac(int row) const;
    bool IsTicked(int row) const;
    GridImage TickImage(int row) const;
    GridImage StatusImage(int row) const;

    int HeaderState() const { return row_ticked[0]; }
    GridImage HeaderImage() const;

    int TickedCount() const { return ticked_count; }
    int SuccessCount() const { return success_count; }
    int FailCount() const { return fail_count; }
    bool SortAscending() const { return sort_ascending; }
    // The column and direction the header shows as sorted; column -1 before the first query.
    int SortColumn() const { return sort_column; }
    bool SortIndicatorAscending() const { return sort_indicator_ascending; }
    const SelectionQueue& Selection() const { return selection_queue; }

private:
    struct Row {
        std::string mac;
        GridImage status_image = IMG_NONE;
    };

    bool ValidRow(int row) const { return row >= 1 && row <= RowCount(); }
    void RecomputeHeader();
    void NotifyChanged();

    CSqlManagement* store;
    std::vector<Row> rows;
    // Index 0: HeaderTickState; index r: 1 when device row r is ticked. Always RowCount() + 1 long.
    std::vector<int> row_ticked{kHeaderNoneTicked};
    int ticked_count = 0;
    int success_count = 0;
    int fail_count = 0;
    bool sort_ascending = true;
    int sort_column = -1;
    bool sort_indicator_ascending = true;
    SelectionQueue selection_queue;
};

}  // namespace provix
