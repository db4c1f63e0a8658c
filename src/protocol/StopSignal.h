#pragma once

#include <atomic>
#include <chrono>

namespace provix {

// A one-way "stop now" that threads blocked in poll() see at once: an eventfd that becomes readable
// when raised and stays so (it is never drained), so any number of waiters wake.
class StopSignal {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    void Raise();
    bool Raised() const { return raised.load(std::memory_order_acquire); }
    // Descriptor to add to a poll() set: readable once raised; -1 if the eventfd could not be made,
    // in which case waiters fall back to short sleeps and Raised().
    int Fd() const { return fd; }

    // Sleeps for `duration` unless raised first; false when raised.
    bool WaitFor(std::chrono::milliseconds duration) const;

private:
    std::atomic<bool> raised{false};
    int fd;
};

}  // namespace provix
