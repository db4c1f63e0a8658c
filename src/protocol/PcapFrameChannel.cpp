#include "protocol/PcapFrameChannel.h"

#include <algorithm>
#include <cerrno>

#include <poll.h>

namespace provix {
namespace {

// A handle whose adapter has gone away reports errors at once; pause between reads instead of
// spinning on them.
constexpr std::chrono::milliseconds kErrorBackoff{20};
// Frames read per wake before the deadline and the stop signal are looked at again.
constexpr int kReadBurst = 64;

}  // namespace

PcapFrameChannel::PcapFrameChannel(CaptureHandle handle, const MacAddress& device, const StopSignal& stop)
    : handle(std::move(handle)), device(device), stop(stop) {}

void PcapFrameChannel::Send(const ether_frame_stu& frame) {
    handle.Send(frame);  // a lost frame is the same as one the device did not hear: retransmission covers it
}

FrameChannel::Wait PcapFrameChannel::Receive(ether_frame_stu& out, TransferTime deadline) {
    for (;;) {
        if (stop.Raised()) {
            return Wait::Stopped;
        }
        bool read_error = false;
        for (int i = 0; i < kReadBurst; ++i) {
            const CaptureHandle::Read r = handle.Next(out);
            if (r == CaptureHandle::Read::Frame) {
                // The filter admits only this device; checked again in case it could not be installed.
                if (out.SrcMac() == device && out.EtherType() == kEtherType) {
                    return Wait::Frame;
                }
                continue;
            }
            read_error = r == CaptureHandle::Read::Error;
            break;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return Wait::Timeout;
        }
        auto wait = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        if (read_error) {
            if (!stop.WaitFor(std::min(wait, kErrorBackoff))) {
                return Wait::Stopped;
            }
            continue;
        }
        pollfd fds[2] = {{handle.SelectableFd(), POLLIN, 0}, {stop.Fd(), POLLIN, 0}};
        if (fds[0].fd < 0) {
            if (!stop.WaitFor(std::min(wait, kErrorBackoff))) {
                return Wait::Stopped;
            }
            continue;
        }
        // Without the stop descriptor, short slices keep a stop request from waiting out the deadline.
        const long long slice = fds[1].fd >= 0 ? 1000 : 10;
        const int r =
            ::poll(fds, fds[1].fd >= 0 ? 2 : 1, static_cast<int>(std::min<long long>(wait.count(), slice)));
        if (r < 0 && errno != EINTR) {
            stop.WaitFor(std::min(wait, kErrorBackoff));
        }
    }
}

PcapChannelOpener::PcapChannelOpener(std::string adapter_name, const StopSignal& stop)
    : adapter_name(std::move(adapter_name)), stop(stop) {}

std::unique_ptr<FrameChannel> PcapChannelOpener::Open(const MacAddress& device, std::string& error) {
    CaptureHandle handle;
    // Without its filter the handle would hand over every device's frames; treat that as a failed open.
    if (!handle.Open(adapter_name, SettingsFor(CaptureUser::TransferWorker)) || !handle.SetFilter(TransferFilterText(device))) {
        error = handle.LastError().text;
        return nullptr;
    }
    return std::make_unique<PcapFrameChannel>(std::move(handle), device, stop);
}

}  // namespace provix
