#pragma once

#include <functional>

namespace provix {

class CSqlManagement;
class DeviceGridModel;
class MonitorTimers;

// Follows an operation on the devices screen: polls each operated device's result every second,
// recounts successes and failures every two seconds, and every three seconds decides whether to
// stop (every device has a verdict, or 15 seconds have passed).
class OperationMonitor {
public:
    static constexpr int kPollTimer = 1000;
    static constexpr int kCountTimer = 2000;
    static constexpr int kWatchTimer = 3000;
    static constexpr int kWatchLimitSeconds = 15;

    OperationMonitor(DeviceGridModel& grid, CSqlManagement* store, MonitorTimers& timers);

    // Disables (false) or re-enables (true) the screen's buttons and grid.
    std::function<void(bool)> enable_controls;

    // Starts monitoring the grid's selection; a null sender is ignored.
    void OnOperationStarted(const void* sender);
    // One expiry of timer id.
    void OnTimer(int id);

    bool IsMonitoring() const { return monitoring; }
    int WatchSeconds() const { return watch_seconds; }

private:
    void PollStatuses();
    void WatchTick();
    void KillTimers();

    DeviceGridModel& grid;
    CSqlManagement* store;
    MonitorTimers& timers;
    bool monitoring = false;
    int watch_seconds = 0;
};

}  // namespace provix
