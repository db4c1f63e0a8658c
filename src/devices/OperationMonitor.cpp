#include "devices/OperationMonitor.h"

#include "devices/CSqlManagement.h"
#include "devices/DeviceGridModel.h"
#include "devices/MonitorTimers.h"

namespace provix {

OperationMonitor::OperationMonitor(DeviceGridModel& grid_model, CSqlManagement* results_store,
                                   MonitorTimers& monitor_timers)
    : grid(grid_model), store(results_store), timers(monitor_timers) {}

void OperationMonitor::OnOperationStarted(const void* sender) {
    if (sender == nullptr)
        return;
    grid.ClearStatusIcons();
    if (enable_controls)
        enable_controls(false);
    KillTimers();
    // A start that arrives while monitoring watches the new operation for the full period.
    watch_seconds = 0;
    monitoring = true;
    timers.Start(kPollTimer, 1000);
    timers.Start(kCountTimer, 2000);
    timers.Start(kWatchTimer, 3000);
}

void OperationMonitor::OnTimer(int id) {
    if (!monitoring)
        return;
    switch (id) {
        case kPollTimer:
            PollStatuses();
            break;
        case kCountTimer:
            grid.RefreshList(false, grid.SortAscending(), kMacColumn);
            break;
        case kWatchTimer:
            WatchTick();
            break;
        default:
            break;
    }
}

void OperationMonitor::PollStatuses() {
    for (const mac_stu& device : grid.Selection()) {
        const DeviceResult result = store != nullptr ? store->GetDeviceResult(device.mac) : ResultNone;
        if (store != nullptr)
            store->SetResult(device.mac, result);
        grid.UpdateRowStatus(device.mac, result);
    }
}

void OperationMonitor::WatchTick() {
    watch_seconds += 3;
    const bool all_decided =
        grid.SuccessCount() + grid.FailCount() == static_cast<int>(grid.Selection().size());
    if (watch_seconds < kWatchLimitSeconds && !all_decided)
        return;
    KillTimers();
    grid.ClearSelectionQueue();
    watch_seconds = 0;
    monitoring = false;
    if (enable_controls)
        enable_controls(true);
}

void OperationMonitor::KillTimers() {
    timers.Kill(kWatchTimer);
    timers.Kill(kPollTimer);
    timers.Kill(kCountTimer);
}

}  // namespace provix
