#include "protocol/StopSignal.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace provix {

StopSignal::StopSignal() : fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

StopSignal::~StopSignal() {
    if (fd >= 0) {
        ::close(fd);
    }
}

void StopSignal::Raise() {
    raised.store(true, std::memory_order_release);
    if (fd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t written = ::write(fd, &one, sizeof one);
    }
}

bool StopSignal::WaitFor(std::chrono::milliseconds duration) const {
    const auto deadline = std::chrono::steady_clock::now() + duration;
    while (!Raised()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return true;
        }
        // Without the eventfd, short slices keep a stop request from waiting out the whole duration.
        const int slice = static_cast<int>(std::min<long long>(left.count(), fd >= 0 ? 1000 : 10));
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, fd >= 0 ? 1 : 0, slice) < 0 && errno != EINTR) {
            return !Raised();
        }
    }
    return false;
}

}  // namespace provix
