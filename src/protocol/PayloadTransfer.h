#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "protocol/EtherFrame.h"
#include "protocol/FrameChannel.h"

namespace provix {

// A silent device sees the same segment again after 1, 2, 3 and 4 seconds; after 5 the transfer fails.
inline constexpr std::chrono::milliseconds kRetransmitPeriod{1000};
inline constexpr int kGiveUpRounds = 5;
// Frames from the device that do not acknowledge: every 20000th resends, the 100000th fails.
inline constexpr std::uint32_t kForeignRetransmitEvery = 20000;
inline constexpr std::uint32_t kForeignGiveUp = 100000;
inline constexpr int kOpenAttempts = 10;
inline constexpr std::chrono::milliseconds kOpenRetryDelay{100};

enum class TransferOutcome {
    Sent,     // every segment (or the command) was acknowledged
    Failed,   // no capture, no file, no acknowledgement in time, or too many foreign frames
    Stopped,  // the worker was told to stop (the program is ending)
};

struct TransferContext {
    ChannelOpener& opener;
    TransferClock& clock;
};

// Opens the device's channel, trying kOpenAttempts times kOpenRetryDelay apart. Null on failure; `stopped`
// tells a stop request apart from a failure.
std::unique_ptr<FrameChannel> OpenChannel(TransferContext& ctx, const MacAddress& device, bool& stopped);

// Sends `frame` and waits until `frame_acks` accepts a frame from the device, retransmitting on silence
// and on foreign frames by the rules above. The idle time and the foreign count start at zero here:
// each acknowledged segment restarts them.
enum class AckWait { Acked, Failed, Stopped };
template <class Predicate>
AckWait SendAndAwaitAck(FrameChannel& channel, TransferClock& clock, const ether_frame_stu& frame,
                        Predicate frame_acks) {
    channel.Send(frame);
    const TransferTime idle_start = clock.Now();
    int idle_rounds = 0;
    std::uint32_t foreign = 0;
    ether_frame_stu in;
    for (;;) {
        const TransferTime mark = idle_start + kRetransmitPeriod * (idle_rounds + 1);
        switch (channel.Receive(in, mark)) {
            case FrameChannel::Wait::Stopped:
                return AckWait::Stopped;
            case FrameChannel::Wait::Timeout:
                if (clock.Now() < mark) {
                    continue;
                }
                if (++idle_rounds >= kGiveUpRounds) {
                    return AckWait::Failed;
                }
                channel.Send(frame);
                break;
            case FrameChannel::Wait::Frame:
                if (frame_acks(in)) {
                    return AckWait::Acked;
                }
                if (++foreign >= kForeignGiveUp) {
                    return AckWait::Failed;
                }
                if (foreign % kForeignRetransmitEvery == 0) {
                    channel.Send(frame);
                }
                break;
        }
    }
}

// Sends the file at `path` as acknowledged segments. `header` holds the addresses, `module`, `msg` and
// `total` of every segment. A file that cannot be read, or that shrinks while it is sent, fails.
TransferOutcome SendFile(TransferContext& ctx, const ether_frame_stu& header, std::uint16_t module,
                         const std::string& path);

// Sends the anti-theft command text (at most 511 bytes, no NUL) as one acknowledged frame.
TransferOutcome SendCommand(TransferContext& ctx, const ether_frame_stu& header, const std::string& command);

}  // namespace provix
