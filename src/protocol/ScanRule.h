#pragma once

namespace provix {

// When a scan ends, decided from the device count read at each one-second tick. The count is compared
// every 4 ticks with the count of the previous comparison (the first time with the count seen at tick
// 1); the scan ends at the first comparison that finds no growth. While devices keep appearing, the
// discovery request is repeated at every comparison that also falls on a multiple of 6 ticks.
class ScanRule {
public:
    enum class Action {
        Continue,      // keep ticking
        SendDiscover,  // broadcast another discovery request, then keep ticking
        End,           // the scan is over; the rule is ready for the next one
    };

    // Starts a scan. False (nothing changes) while one is already running.
    bool Start();

    // Feeds the device count read at this tick. Ticks while no scan runs are ignored (Continue).
    Action Tick(int current_count);

    bool Scanning() const { return !scan_ready; }
    int Ticks() const { return scan_ticks; }

private:
    bool scan_ready = true;
    int scan_ticks = 0;
    int scan_last_count = 0;
};

}  // namespace provix
