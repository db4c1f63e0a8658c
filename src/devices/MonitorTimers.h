#pragma once

namespace provix {

// Periodic timers by id, as the devices screen's monitoring uses them. The screen runs them on
// its event loop; tests drive them from a fake clock.
class MonitorTimers {
public:
    virtual ~MonitorTimers() = default;
    // Starts (or restarts) timer id firing every period_ms.
    virtual void Start(int id, int period_ms) = 0;
    // Stops timer id; nothing happens when it is not running.
    virtual void Kill(int id) = 0;
};

}  // namespace provix
