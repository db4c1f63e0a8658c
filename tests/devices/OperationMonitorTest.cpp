#include "devices/OperationMonitor.h"

#include "FakeMonitorTimers.h"
#include "TempFolder.h"
#include "devices/CSqlManagement.h"
#include "devices/DeviceGridModel.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace provix {
namespace {

using test::FakeMonitorTimers;
using test::TempFolder;

const std::string kMacA = "02:50:00:00:00:0A";
const std::string kMacB = "02:50:00:00:00:0B";
const std::string kMacC = "02:50:00:00:00:0C";

// A status the fake device reports at a moment of the fake clock.
struct Report {
    std::int64_t at_ms;
    std::string mac;
    OperateStatus antitheft;
};

// Three devices, A and B ticked for an anti-theft command, timers on a fake clock, and a store
// whose statuses change as the fake clock passes the reports' moments.
class MonitorFixture : public ::testing::Test {
protected:
    void SetUp() override {
        for (const std::string& mac : {kMacA, kMacB, kMacC}) {
            ap_discover_stu device;
            device.mac = mac;
            ASSERT_TRUE(store.SaveDevice(device));
        }
        grid.RefreshList(true, true, kMacColumn);
        grid.OnGridClick(1, 0);
        grid.OnGridClick(2, 0);
        ASSERT_EQ(grid.BuildSelectionQueue().size(), 2u);
        monitor.enable_controls = [this](bool on) { enabled.push_back(on); };
        timers.fire = [this](int id) { monitor.OnTimer(id); };
        // Reports land between timer expiries; each is applied before the first expiry after it.
        timers.before_tick = [this](std::int64_t now) {
            for (Report& report : reports)
                if (report.at_ms >= 0 && report.at_ms <= now) {
                    store.SetAntiTheftStatus(report.mac, report.antitheft);
                    report.at_ms = -1;
                }
        };
    }

    // What the sending screen does after posting the start: reset, then mark the devices operating.
    void StartOperation() {
        ASSERT_TRUE(store.ResetAllStatuses());
        monitor.OnOperationStarted(&sender);
        for (const mac_stu& device : grid.Selection())
            store.SetAntiTheftStatus(device.mac, Operating);
    }

    // Advances second by second until the monitor stops (at most 30 s); the moment it stopped.
    std::int64_t RunUntilStopped() {
        while (monitor.IsMonitoring() && timers.Now() < 30000)
            timers.Advance(1000);
        return timers.Now();
    }

    TempFolder folder;
    CSqlManagement store{folder / "data.db"};
    DeviceGridModel grid{&store};
    FakeMonitorTimers timers;
    OperationMonitor monitor{grid, &store, timers};
    std::vector<bool> enabled;
    std::vector<Report> reports;
    int sender = 0;
};

TEST_F(MonitorFixture, NullSenderIsIgnored) {
    grid.UpdateRowStatus(kMacA, ResultFailed);
    monitor.OnOperationStarted(nullptr);
    EXPECT_FALSE(monitor.IsMonitoring());
    EXPECT_FALSE(timers.AnyRunning());
    EXPECT_TRUE(enabled.empty());
    EXPECT_EQ(grid.StatusImage(1), IMG_ERROR);  // icons not cleared either
}

TEST_F(MonitorFixture, StartClearsIconsDisablesControlsAndStartsThreeTimers) {
    grid.UpdateRowStatus(kMacC, ResultSuccess);
    StartOperation();
    EXPECT_EQ(grid.StatusImage(3), IMG_NONE);
    EXPECT_EQ(enabled, std::vector<bool>{false});
    EXPECT_EQ(timers.started, (std::vector<int>{1000, 2000, 3000}));
    // The polls see the devices operating before any verdict.
    timers.Advance(1000);
    EXPECT_EQ(grid.StatusImage(1), IMG_OPERATING);
    EXPECT_EQ(grid.StatusImage(2), IMG_OPERATING);
    EXPECT_EQ(grid.StatusImage(3), IMG_NONE);
}

struct StopCase {
    const char* name;
    std::vector<Report> reports;
    std::int64_t stops_at_ms;
    GridImage icon_a;
    GridImage icon_b;
    int successes;
    int failures;
};

class MonitorStops : public MonitorFixture, public ::testing::WithParamInterface<StopCase> {};

TEST_P(MonitorStops, AtTheWatchTickAfterAllVerdictsOrAfterFifteenSeconds) {
    const StopCase& c = GetParam();
    reports = c.reports;
    StartOperation();
    EXPECT_EQ(RunUntilStopped(), c.stops_at_ms);

    EXPECT_FALSE(monitor.IsMonitoring());
    EXPECT_FALSE(timers.AnyRunning());
    EXPECT_EQ(enabled, (std::vector<bool>{false, true}));
    EXPECT_TRUE(grid.Selection().empty());
    EXPECT_EQ(monitor.WatchSeconds(), 0);
    EXPECT_EQ(grid.TickedCount(), 0);
    EXPECT_EQ(grid.HeaderState(), kHeaderNoneTicked);
    EXPECT_FALSE(grid.IsTicked(1) || grid.IsTicked(2) || grid.IsTicked(3));
    EXPECT_EQ(grid.StatusImage(1), c.icon_a);
    EXPECT_EQ(grid.StatusImage(2), c.icon_b);
    EXPECT_EQ(grid.StatusImage(3), IMG_NONE);
    EXPECT_EQ(grid.SuccessCount(), c.successes);
    EXPECT_EQ(grid.FailCount(), c.failures);

    // Stopped means stopped: later verdicts change nothing on screen.
    store.SetAntiTheftStatus(kMacA, OperateFail);
    timers.Advance(10000);
    EXPECT_EQ(grid.StatusImage(1), c.icon_a);
}

INSTANTIATE_TEST_SUITE_P(
    DevicesScreen, MonitorStops,
    ::testing::Values(
        // Both verdicts before the count at 2 s: the watch tick at 3 s stops.
        StopCase{"VerdictsBeforeFirstCount",
                 {{1500, kMacA, OperateSuccess}, {1500, kMacB, OperateSuccess}},
                 3000,
                 IMG_SUCCESS,
                 IMG_SUCCESS,
                 2,
                 0},
        // The last verdict after the count at 4 s: counted at 6 s, stopped by the watch tick at 6 s.
        StopCase{"LastVerdictAfterSecondCount",
                 {{1000, kMacA, OperateSuccess}, {4500, kMacB, LockcodeMismatch}},
                 6000,
                 IMG_SUCCESS,
                 IMG_ERROR,
                 1,
                 1},
        // A verdict at the same moment as the count at 2 s is seen by it.
        StopCase{"MixedVerdicts",
                 {{2000, kMacA, OperateFail}, {2000, kMacB, OperateSuccess}},
                 3000,
                 IMG_ERROR,
                 IMG_SUCCESS,
                 1,
                 1},
        // One device never answers: the fifth watch tick (15 s) stops; it keeps its last icon.
        StopCase{"OneDeviceSilent", {{1000, kMacA, OperateSuccess}}, 15000, IMG_SUCCESS, IMG_OPERATING, 1, 0},
        StopCase{"TransferFailedOnly",
                 {{3500, kMacA, TransmitFail}, {7000, kMacB, TransmitFail}},
                 9000,
                 IMG_ERROR,
                 IMG_ERROR,
                 0,
                 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MonitorFixture, PollsWriteTheResultColumnForSorting) {
    reports = {{500, kMacB, OperateSuccess}};
    StartOperation();
    timers.Advance(1000);
    // Sorting by result: the device that was not operated (no result) first, then the success
    // (result "0"), then the operating device (result "2"); discovery order would be A, B, C.
    grid.RefreshList(true, true, kStatusColumn);
    EXPECT_EQ(grid.Mac(1), kMacC);
    EXPECT_EQ(grid.Mac(2), kMacB);
    EXPECT_EQ(grid.Mac(3), kMacA);
}

TEST_F(MonitorFixture, SecondStartWatchesTheFullPeriodAgain) {
    StartOperation();
    timers.Advance(12000);
    ASSERT_TRUE(monitor.IsMonitoring());
    monitor.OnOperationStarted(&sender);
    timers.Advance(14000);
    EXPECT_TRUE(monitor.IsMonitoring());
    timers.Advance(1000);
    EXPECT_FALSE(monitor.IsMonitoring());
    EXPECT_EQ(enabled, (std::vector<bool>{false, false, true}));
}

TEST(OperationMonitor, EmptySelectionStopsAtFirstWatchTick) {
    DeviceGridModel grid(nullptr);
    FakeMonitorTimers timers;
    OperationMonitor monitor(grid, nullptr, timers);
    timers.fire = [&](int id) { monitor.OnTimer(id); };
    int sender = 0;
    monitor.OnOperationStarted(&sender);
    timers.Advance(2999);
    EXPECT_TRUE(monitor.IsMonitoring());
    timers.Advance(1);
    EXPECT_FALSE(monitor.IsMonitoring());
}

}  // namespace
}  // namespace provix
