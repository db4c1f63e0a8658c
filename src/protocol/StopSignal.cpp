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
    if (fd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t written = ::write(fd, &one, sizeof one);
    }
}

bool StopSignal::Raised() const {
    pollfd pfd{fd, POLLIN, 0};
    return fd >= 0 && ::poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLIN);
}

bool StopSignal::WaitFor(std::chrono::milliseconds duration) const {
    const auto deadline = std::chrono::steady_clock::now() + duration;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return !Raised();
        }
        pollfd pfd{fd, POLLIN, 0};
        const int r =
            ::poll(&pfd, fd >= 0 ? 1 : 0, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (r > 0) {
            return false;
        }
        if (r < 0 && errno != EINTR) {
            return !Raised();
        }
    }
}

}  // namespace provix
