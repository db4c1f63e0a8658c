// provixctl: the headless companion of the desktop program (adapters, scan, anti-theft, customize).
#include <cerrno>
#include <chrono>
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CtlCommandLine.h"
#include "cli/CtlSession.h"

#include <signal.h>
#include <sys/resource.h>

namespace {

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

// Sleeps in sigtimedwait: the stop signals stay blocked in every thread, so an interrupt only ends
// this wait and the session still stops its workers and removes its scratch store.
bool WaitUnlessStopped(std::chrono::milliseconds duration) {
    const sigset_t set = StopSignals();
    const auto deadline = std::chrono::steady_clock::now() + duration;
    for (;;) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) {
            return true;
        }
        const auto seconds = std::chrono::floor<std::chrono::seconds>(left);
        const timespec timeout{static_cast<time_t>(seconds.count()),
                               static_cast<long>(std::chrono::nanoseconds(left - seconds).count())};
        const int signal = sigtimedwait(&set, nullptr, &timeout);
        if (signal > 0) {
            return false;
        }
        if (errno != EINTR && errno != EAGAIN) {
            return true;
        }
    }
}

// One capture handle per device at once: the usual 1024-descriptor default would fail a large batch.
void RaiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace provix;
    const sigset_t stop = StopSignals();
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    RaiseDescriptorLimit();

    const CtlParse parse = ParseCtlCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parse.options) {
        std::cerr << "provixctl: " << parse.error << "\n(see provixctl --help)\n";
        return kCtlUsage;
    }
    CtlSession session(std::cout, std::cerr, WaitUnlessStopped);
    const int status = session.Run(*parse.options);
    std::cout.flush();
    return status;
}
