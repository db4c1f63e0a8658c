#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "protocol/EtherFrame.h"

namespace provix {

using TransferTime = std::chrono::steady_clock::time_point;

// The time as a transfer sees it. The real one is the steady clock; tests pass a clock they move
// themselves so the one-second and five-second rules run without waiting.
class TransferClock {
public:
    virtual ~TransferClock() = default;
    virtual TransferTime Now() = 0;
    // Waits for `duration` or until the transfer is told to stop; false when it was.
    virtual bool SleepFor(std::chrono::milliseconds duration) = 0;
};

// One device's frames, as a transfer worker sees them through its own filtered capture handle.
class FrameChannel {
public:
    enum class Wait {
        Frame,    // `out` holds the next frame from the device
        Timeout,  // nothing arrived before the deadline
        Stopped,  // the worker was told to stop
    };

    virtual ~FrameChannel() = default;
    virtual void Send(const ether_frame_stu& frame) = 0;
    // Returns as soon as a frame is there, else at `deadline`. Read errors count as silence.
    virtual Wait Receive(ether_frame_stu& out, TransferTime deadline) = 0;
};

// Opens a channel to one device; null (with a reason in `error`) when the capture cannot be opened.
class ChannelOpener {
public:
    virtual ~ChannelOpener() = default;
    virtual std::unique_ptr<FrameChannel> Open(const MacAddress& device, std::string& error) = 0;
};

}  // namespace provix
