#pragma once

#include <memory>
#include <string>

#include "protocol/CaptureHandle.h"
#include "protocol/FrameChannel.h"
#include "protocol/StopSignal.h"

namespace provix {

// A transfer worker's channel: its own capture handle on the adapter, filtered on one device,
// non-blocking with immediate mode, waited on with poll() together with the stop signal.
class PcapFrameChannel : public FrameChannel {
public:
    PcapFrameChannel(CaptureHandle handle, const MacAddress& device, const StopSignal& stop);

    void Send(const ether_frame_stu& frame) override;
    Wait Receive(ether_frame_stu& out, TransferTime deadline) override;

private:
    CaptureHandle handle;
    MacAddress device;
    const StopSignal& stop;
};

// Opens PcapFrameChannels on one capture device.
class PcapChannelOpener : public ChannelOpener {
public:
    PcapChannelOpener(std::string adapter_name, const StopSignal& stop);
    std::unique_ptr<FrameChannel> Open(const MacAddress& device, std::string& error) override;

private:
    std::string adapter_name;
    const StopSignal& stop;
};

// The steady clock; sleeps end early when the worker is told to stop.
class SteadyTransferClock : public TransferClock {
public:
    explicit SteadyTransferClock(const StopSignal& stop) : stop(stop) {}
    TransferTime Now() override { return std::chrono::steady_clock::now(); }
    bool SleepFor(std::chrono::milliseconds duration) override { return stop.WaitFor(duration); }

private:
    const StopSignal& stop;
};

}  // namespace provix
