#pragma once

#include "devices/MonitorTimers.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace provix::test {

// Timers on a fake clock: Advance moves the clock and fires every expiry on the way, in time order
// (timers due at the same moment in the order they were started).
class FakeMonitorTimers : public MonitorTimers {
public:
    // Receives each expiry (the screen's or the monitor's timer handler).
    std::function<void(int id)> fire;
    // Runs before the expiries of each moment, to change the world as time passes.
    std::function<void(std::int64_t now_ms)> before_tick;

    void Start(int id, int period_ms) override {
        running[id] = {period_ms, now + period_ms, next_order++};
        started.push_back(id);
    }
    void Kill(int id) override { running.erase(id); }

    void Advance(std::int64_t ms) {
        const std::int64_t end = now + ms;
        while (true) {
            std::int64_t due = end + 1;
            for (const auto& [id, timer] : running)
                due = std::min(due, timer.due);
            if (due > end)
                break;
            now = due;
            if (before_tick)
                before_tick(now);
            // Timers of this moment in start order; a handler may kill or restart any of them.
            std::vector<std::pair<std::uint64_t, int>> batch;
            for (const auto& [id, timer] : running)
                if (timer.due == now)
                    batch.emplace_back(timer.order, id);
            std::sort(batch.begin(), batch.end());
            for (const auto& [order, id] : batch) {
                auto it = running.find(id);
                if (it == running.end() || it->second.due != now || it->second.order != order)
                    continue;
                it->second.due += it->second.period;
                if (fire)
                    fire(id);
            }
        }
        now = end;
    }

    bool IsRunning(int id) const { return running.count(id) != 0; }
    bool AnyRunning() const { return !running.empty(); }
    std::int64_t Now() const { return now; }

    std::vector<int> started;

private:
    struct Timer {
        int period = 0;
        std::int64_t due = 0;
        std::uint64_t order = 0;
    };
    std::map<int, Timer> running;
    std::int64_t now = 0;
    std::uint64_t next_order = 0;
};

}  // namespace provix::test
