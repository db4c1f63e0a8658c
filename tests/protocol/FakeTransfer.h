#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "protocol/FrameChannel.h"
#include "protocol/TransmitThread.h"

namespace provix::testing {

// A clock that moves only when the transfer waits, so seconds of device silence cost nothing.
class FakeClock : public TransferClock {
public:
    TransferTime Now() override { return now; }
    bool SleepFor(std::chrono::milliseconds d) override {
        now += d;
        sleeps.push_back(d);
        return !stop_on_sleep;
    }
    double Seconds() const { return std::chrono::duration<double>(now - TransferTime{}).count(); }

    TransferTime now{};
    std::vector<std::chrono::milliseconds> sleeps;
    bool stop_on_sleep = false;
};

struct SentFrame {
    double at;  // seconds on the fake clock
    ether_frame_stu frame;
};

// The far end: sees every frame the worker sends and schedules the device's frames in answer.
class FakeDevice {
public:
    using Responder = std::function<void(FakeDevice&, const ether_frame_stu& sent)>;

    FakeDevice(FakeClock& clock, Responder responder) : clock(clock), responder(std::move(responder)) {}

    // Schedules a frame from the device `delay` after now, `copies` times in a row.
    void Answer(const ether_frame_stu& frame, std::chrono::milliseconds delay = {}, std::size_t copies = 1) {
        pending.emplace(clock.now + delay, Burst{frame, copies});
    }
    void OnSend(const ether_frame_stu& frame) {
        ++sent_count;
        if (keep_sent) {
            sent.push_back({clock.Seconds(), frame});
        }
        if (responder) {
            responder(*this, frame);
        }
    }

    FakeClock& clock;
    Responder responder;
    struct Burst {
        ether_frame_stu frame;
        std::size_t copies;
    };
    std::multimap<TransferTime, Burst> pending;
    std::vector<SentFrame> sent;
    std::size_t sent_count = 0;
    bool keep_sent = true;  // off for transfers of many thousand segments
    bool stop_now = false;  // the next receive reports a stop request
};

class FakeChannel : public FrameChannel {
public:
    explicit FakeChannel(FakeDevice& device) : device(device) {}
    void Send(const ether_frame_stu& frame) override { device.OnSend(frame); }
    Wait Receive(ether_frame_stu& out, TransferTime deadline) override {
        if (device.stop_now) {
            return Wait::Stopped;
        }
        auto next = device.pending.begin();
        if (next != device.pending.end() && next->first <= deadline) {
            device.clock.now = std::max(device.clock.now, next->first);
            out = next->second.frame;
            if (--next->second.copies == 0) {
                device.pending.erase(next);
            }
            return Wait::Frame;
        }
        device.clock.now = std::max(device.clock.now, deadline);
        return Wait::Timeout;
    }

private:
    FakeDevice& device;
};

class FakeOpener : public ChannelOpener {
public:
    explicit FakeOpener(FakeDevice& device) : device(device) {}
    std::unique_ptr<FrameChannel> Open(const MacAddress& mac, std::string& error) override {
        opened_for.push_back(mac);
        if (failures_left > 0) {
            --failures_left;
            error = "no such device";
            return nullptr;
        }
        ++opens;
        return std::make_unique<FakeChannel>(device);
    }

    FakeDevice& device;
    int failures_left = 0;
    int opens = 0;
    std::vector<MacAddress> opened_for;
};

struct RecordedStatus {
    std::string mac;
    std::uint16_t module;
    OperateStatus status;
    bool operator==(const RecordedStatus&) const = default;
};

class RecordingSink : public TransferStatusSink {
public:
    void RecordTransmitStatus(const std::string& mac, std::uint16_t module, OperateStatus status) override {
        records.push_back({mac, module, status});
    }
    std::vector<RecordedStatus> records;
};

}  // namespace provix::testing
