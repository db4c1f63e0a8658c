#include "devices/DeviceGridModel.h"

#include "TempFolder.h"
#include "devices/CSqlManagement.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace provix {
namespace {

using test::TempFolder;

std::string MacOf(int n) {
    char text[18];
    std::snprintf(text, sizeof text, "02:50:00:00:%02X:%02X", (n >> 8) & 0xFF, n & 0xFF);
    return text;
}

ap_info_stu Record(const std::string& mac, int para = WaitOperate, int logo = WaitOperate,
                   int antitheft = WaitOperate) {
    ap_info_stu info;
    info.mac = mac;
    info.para_status = para;
    info.logo_status = logo;
    info.antitheft_status = antitheft;
    return info;
}

ap_discover_stu Discovered(const std::string& mac) {
    ap_discover_stu device;
    device.mac = mac;
    device.date = "2024-03-06 10:00:00";
    return device;
}

std::vector<ap_info_stu> Devices(int count) {
    std::vector<ap_info_stu> list;
    for (int n = 1; n <= count; ++n)
        list.push_back(Record(MacOf(n)));
    return list;
}

std::vector<int> TickedRows(const DeviceGridModel& grid) {
    std::vector<int> ticked;
    for (int row = 1; row <= grid.RowCount(); ++row)
        if (grid.IsTicked(row))
            ticked.push_back(row);
    return ticked;
}

struct Click {
    int row;
    int column;
};

struct TickCase {
    const char* name;
    int rows;
    std::vector<Click> clicks;
    std::vector<int> ticked;
    int header_state;
};

class TickRules : public ::testing::TestWithParam<TickCase> {};

TEST_P(TickRules, ClicksGiveTicksCountAndHeaderBox) {
    const TickCase& c = GetParam();
    DeviceGridModel grid(nullptr);
    grid.FillGrid(Devices(c.rows));
    for (const Click& click : c.clicks)
        grid.OnGridClick(click.row, click.column);

    EXPECT_EQ(TickedRows(grid), c.ticked);
    EXPECT_EQ(grid.TickedCount(), static_cast<int>(c.ticked.size()));
    EXPECT_EQ(grid.HeaderState(), c.header_state);
    const GridImage header_image[] = {IMG_UNSELECT, IMG_SELECT, IMG_PART_SELECT};
    EXPECT_EQ(grid.HeaderImage(), header_image[c.header_state]);
    for (int row = 1; row <= grid.RowCount(); ++row)
        EXPECT_EQ(grid.TickImage(row), grid.IsTicked(row) ? IMG_SELECT : IMG_UNSELECT) << "row " << row;
}

INSTANTIATE_TEST_SUITE_P(
    DeviceGrid, TickRules,
    ::testing::Values(
        TickCase{"OneRowPartial", 3, {{2, 0}}, {2}, kHeaderSomeTicked},
        TickCase{"EveryRowOneByOne", 3, {{1, 0}, {2, 0}, {3, 0}}, {1, 2, 3}, kHeaderAllTicked},
        TickCase{"AllThenUntickOne", 3, {{1, 0}, {2, 0}, {3, 0}, {2, 0}}, {1, 3}, kHeaderSomeTicked},
        TickCase{"AllThenUntickAll", 2, {{1, 0}, {2, 0}, {2, 0}, {1, 0}}, {}, kHeaderNoneTicked},
        TickCase{"HeaderTicksAll", 4, {{0, 0}}, {1, 2, 3, 4}, kHeaderAllTicked},
        TickCase{"HeaderTwiceUnticksAll", 4, {{0, 0}, {0, 0}}, {}, kHeaderNoneTicked},
        TickCase{"HeaderWithSomeTickedUnticksAll", 4, {{1, 0}, {3, 0}, {0, 0}}, {}, kHeaderNoneTicked},
        TickCase{"HeaderAllThenUntickOne", 3, {{0, 0}, {3, 0}}, {1, 2}, kHeaderSomeTicked},
        TickCase{"HeaderOnEmptyGrid", 0, {{0, 0}}, {}, kHeaderNoneTicked},
        TickCase{"SingleRowIsAll", 1, {{1, 0}}, {1}, kHeaderAllTicked},
        // Only column 0 ticks; the "No." header and other cells leave the ticks alone.
        TickCase{
            "OtherCellsChangeNothing", 3, {{2, 0}, {0, 1}, {1, 1}, {1, 2}, {3, 3}}, {2}, kHeaderSomeTicked},
        TickCase{"RowsOutsideTheGridIgnored", 2, {{3, 0}, {-1, 0}, {1, 0}, {99, 0}}, {1}, kHeaderSomeTicked},
        // Far more rows than the old fixed capacity of 1023.
        TickCase{"BeyondOldCapacity",
                 1500,
                 {{0, 0}, {1500, 0}},
                 [] {
                     std::vector<int> rows;
                     for (int row = 1; row < 1500; ++row)
                         rows.push_back(row);
                     return rows;
                 }(),
                 kHeaderSomeTicked}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DeviceGrid, FillGridRestartsTicksAndNumbersRowsInOrder) {
    DeviceGridModel grid(nullptr);
    grid.FillGrid(Devices(3));
    grid.OnGridClick(0, 0);
    grid.FillGrid(Devices(2));
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.TickedCount(), 0);
    EXPECT_EQ(grid.HeaderState(), kHeaderNoneTicked);
    EXPECT_TRUE(TickedRows(grid).empty());
    EXPECT_EQ(grid.Mac(1), MacOf(1));
    EXPECT_EQ(grid.Mac(2), MacOf(2));
    EXPECT_EQ(grid.Mac(3), "");
    // A rebuild after ticking all must not leave a stale "all ticked" header behind: one click ticks.
    grid.OnGridClick(1, 0);
    EXPECT_EQ(grid.HeaderState(), kHeaderSomeTicked);
}

TEST(DeviceGrid, SelectionQueueFollowsGridOrderOfTickedRows) {
    DeviceGridModel grid(nullptr);
    grid.FillGrid(Devices(5));
    for (int row : {4, 1, 3})
        grid.OnGridClick(row, 0);
    const SelectionQueue& queue = grid.BuildSelectionQueue();
    EXPECT_EQ(queue, (SelectionQueue{{MacOf(1)}, {MacOf(3)}, {MacOf(4)}}));

    // Rebuilding replaces the previous queue instead of appending to it.
    grid.OnGridClick(1, 0);
    EXPECT_EQ(grid.BuildSelectionQueue(), (SelectionQueue{{MacOf(3)}, {MacOf(4)}}));
    grid.OnGridClick(0, 0);  // some ticked: unticks all
    EXPECT_TRUE(grid.BuildSelectionQueue().empty());
}

TEST(DeviceGrid, ResultImages) {
    const std::pair<int, GridImage> cases[] = {
        {ResultSuccess, IMG_SUCCESS},
        {ResultFailed, IMG_ERROR},
        {ResultInProgress, IMG_OPERATING},
        {ResultNone, IMG_NONE},
        {-1, IMG_NONE},
        {4, IMG_NONE},
    };
    for (const auto& [result, image] : cases)
        EXPECT_EQ(ResultImage(result), image) << "result " << result;
}

TEST(DeviceGrid, StatusIconsFromStatusesOfEachRecord) {
    struct Case {
        int para, logo, antitheft;
        GridImage image;
    };
    const Case cases[] = {
        {WaitOperate, WaitOperate, WaitOperate, IMG_NONE},
        {WaitOperate, WaitOperate, OperateSuccess, IMG_SUCCESS},  // anti-theft alone
        {OperateSuccess, Operating, WaitOperate, IMG_OPERATING},
        {TransmitFail, WaitOperate, WaitOperate, IMG_ERROR},
        {WaitOperate, WaitOperate, LockcodeMismatch, IMG_ERROR},
        {TransmitFinish, WaitOperate, WaitOperate, IMG_OPERATING},
    };
    std::vector<ap_info_stu> list;
    for (const Case& c : cases)
        list.push_back(Record(MacOf(static_cast<int>(list.size()) + 1), c.para, c.logo, c.antitheft));
    DeviceGridModel grid(nullptr);
    grid.FillGrid(list);
    for (int row = 1; row <= grid.RowCount(); ++row)
        EXPECT_EQ(grid.StatusImage(row), cases[row - 1].image) << "row " << row;

    grid.ClearStatusIcons();
    for (int row = 1; row <= grid.RowCount(); ++row)
        EXPECT_EQ(grid.StatusImage(row), IMG_NONE) << "row " << row;
}

TEST(DeviceGrid, UpdateRowStatusMatchesExactMacAndUnticksEverything) {
    struct Case {
        const char* mac;
        int changed_row;  // 0: no row matches
    };
    const Case cases[] = {
        {"02:50:00:00:00:02", 2},
        {"02:50:00:00:00:0a", 0},  // case matters: rows hold upper-case MACs
        {"02:50:00:00:00:02 ", 0},
        {"", 0},
    };
    for (const Case& c : cases) {
        std::vector<ap_info_stu> list = Devices(10);
        list.push_back(Record(MacOf(2)));  // a duplicate: only the first row changes
        DeviceGridModel grid(nullptr);
        grid.FillGrid(list);
        grid.OnGridClick(1, 0);
        grid.OnGridClick(2, 0);
        grid.UpdateRowStatus(c.mac, ResultSuccess);
        for (int row = 1; row <= grid.RowCount(); ++row)
            EXPECT_EQ(grid.StatusImage(row), row == c.changed_row ? IMG_SUCCESS : IMG_NONE)
                << c.mac << " row " << row;
        EXPECT_TRUE(TickedRows(grid).empty()) << c.mac;
        EXPECT_EQ(grid.TickedCount(), 0) << c.mac;
        EXPECT_EQ(grid.HeaderState(), kHeaderNoneTicked) << c.mac;
    }
}

TEST(DeviceGrid, ClearTicksKeepsIcons) {
    DeviceGridModel grid(nullptr);
    grid.FillGrid({Record(MacOf(1), WaitOperate, WaitOperate, OperateSuccess), Record(MacOf(2))});
    grid.OnGridClick(0, 0);
    grid.ClearTicks();
    EXPECT_TRUE(TickedRows(grid).empty());
    EXPECT_EQ(grid.HeaderImage(), IMG_UNSELECT);
    EXPECT_EQ(grid.StatusImage(1), IMG_SUCCESS);
    // The next header click ticks all again (the header state was cleared too).
    grid.OnGridClick(0, 0);
    EXPECT_EQ(grid.TickedCount(), 2);
}

// A store filled in discovery order B, D, A, C so that sorting is visible.
class DeviceGridStore : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* mac :
             {"02:50:00:00:00:0B", "02:50:00:00:00:0D", "02:50:00:00:00:0A", "02:50:00:00:00:0C"})
            ASSERT_TRUE(store.SaveDevice(Discovered(mac)));
    }

    std::string Order() const {
        std::string order;
        for (int row = 1; row <= grid.RowCount(); ++row)
            order += grid.Mac(row).back();
        return order;
    }

    TempFolder folder;
    CSqlManagement store{folder / "data.db"};
    DeviceGridModel grid{&store};
};

TEST_F(DeviceGridStore, HeaderSortClicks) {
    // The result column is written by monitoring; D failed, A succeeded, B and C have none.
    ASSERT_TRUE(store.SetResult("02:50:00:00:00:0D", ResultFailed));
    ASSERT_TRUE(store.SetResult("02:50:00:00:00:0A", ResultSuccess));
    ASSERT_TRUE(store.SetResult("02:50:00:00:00:0B", ResultNone));
    ASSERT_TRUE(store.SetResult("02:50:00:00:00:0C", ResultNone));

    struct Step {
        Click click;
        const char* order;
        int indicator_column;
        bool indicator_ascending;
        bool next_ascending;
    };
    // After a scan the grid is sorted ascending by MAC; the first header click repeats that
    // direction, later ones alternate, whichever sortable column is clicked.
    const Step steps[] = {
        {{0, 2}, "ABCD", 2, true, false}, {{0, 2}, "DCBA", 2, false, true}, {{0, 3}, "ADBC", 3, true, false},
        {{0, 3}, "BCDA", 3, false, true}, {{0, 1}, "BCDA", 3, false, true},  // "No." does not sort
        {{0, 0}, "BCDA", 3, false, true}, {{2, 2}, "BCDA", 3, false, true},  // body cells do not sort
    };
    grid.RefreshList(true, grid.SortAscending(), kMacColumn);
    EXPECT_EQ(Order(), "ABCD");
    for (const Step& step : steps) {
        grid.OnGridClick(step.click.row, step.click.column);
        SCOPED_TRACE(testing::Message() << "click " << step.click.row << "," << step.click.column);
        EXPECT_EQ(Order(), step.order);
        EXPECT_EQ(grid.SortColumn(), step.indicator_column);
        EXPECT_EQ(grid.SortIndicatorAscending(), step.indicator_ascending);
        EXPECT_EQ(grid.SortAscending(), step.next_ascending);
    }
}

TEST_F(DeviceGridStore, SortingRebuildsAndLosesTicks) {
    grid.RefreshList(true, true, kMacColumn);
    grid.OnGridClick(0, 0);
    grid.OnGridClick(0, 1);  // not a sort: ticks stay
    EXPECT_EQ(grid.TickedCount(), 4);
    grid.OnGridClick(0, 2);
    EXPECT_EQ(grid.TickedCount(), 0);
    EXPECT_TRUE(TickedRows(grid).empty());
    EXPECT_EQ(grid.HeaderState(), kHeaderNoneTicked);
}

TEST_F(DeviceGridStore, CountsWithoutRebuildKeepRowsAndTicks) {
    grid.RefreshList(true, true, kMacColumn);
    grid.OnGridClick(1, 0);
    ASSERT_TRUE(store.SetAntiTheftStatus("02:50:00:00:00:0A", OperateSuccess));
    ASSERT_TRUE(store.SetParaStatus("02:50:00:00:00:0B", TransmitFail));
    ASSERT_TRUE(store.SetAntiTheftStatus("02:50:00:00:00:0C", LockcodeMismatch));
    ASSERT_TRUE(store.SaveDevice(Discovered("02:50:00:00:00:01")));  // counted, not shown yet

    grid.RefreshList(false, false, kMacColumn);
    EXPECT_EQ(grid.SuccessCount(), 1);
    EXPECT_EQ(grid.FailCount(), 2);
    EXPECT_EQ(Order(), "ABCD");
    EXPECT_EQ(grid.StatusImage(1), IMG_NONE);  // icons change only by polls or a rebuild
    EXPECT_EQ(TickedRows(grid), std::vector<int>{1});
    // The rows are still ascending, and so is the indicator.
    EXPECT_TRUE(grid.SortIndicatorAscending());

    grid.RefreshList(true, true, kMacColumn);
    EXPECT_EQ(Order(), "1ABCD");
    EXPECT_EQ(grid.StatusImage(2), IMG_SUCCESS);
    EXPECT_EQ(grid.StatusImage(3), IMG_ERROR);

    // Sorted by status, a recount by MAC (as monitoring does) leaves the indicator on Status.
    grid.OnGridClick(0, kStatusColumn);
    grid.RefreshList(false, grid.SortAscending(), kMacColumn);
    EXPECT_EQ(grid.SortColumn(), kStatusColumn);
    EXPECT_TRUE(grid.SortIndicatorAscending());
}

TEST(DeviceGrid, NoStoreGivesEmptyGridAndZeroCounts) {
    DeviceGridModel grid(nullptr);
    grid.FillGrid(Devices(2));
    grid.RefreshList(true, true, kMacColumn);
    EXPECT_EQ(grid.RowCount(), 0);
    EXPECT_EQ(grid.SuccessCount(), 0);
    EXPECT_EQ(grid.FailCount(), 0);
}

TEST(DeviceGrid, ObserversSeeRebuildsAndChanges) {
    DeviceGridModel grid(nullptr);
    std::string events;
    grid.about_to_rebuild = [&] { events += "<" + std::to_string(grid.RowCount()); };
    grid.rebuilt = [&] { events += ">" + std::to_string(grid.RowCount()); };
    grid.changed = [&] { events += "c"; };
    grid.FillGrid(Devices(3));
    grid.OnGridClick(1, 0);
    grid.UpdateRowStatus(MacOf(1), ResultFailed);
    EXPECT_EQ(events, "<0>3cc");
}

}  // namespace
}  // namespace provix
