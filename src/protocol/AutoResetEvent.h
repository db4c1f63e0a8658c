#pragma once

#include <condition_variable>
#include <mutex>

namespace provix {

// Wakes one waiter per Set; a Set with nobody waiting is kept until the next Wait, and several Sets
// before a Wait count as one.
class AutoResetEvent {
public:
    void Set() {
        {
            std::lock_guard guard(lock);
            signalled = true;
        }
        wake.notify_one();
    }

    void Wait() {
        std::unique_lock guard(lock);
        wake.wait(guard, [this] { return signalled; });
        signalled = false;
    }

private:
    std::mutex lock;
    std::condition_variable wake;
    bool signalled = false;
};

}  // namespace provix
