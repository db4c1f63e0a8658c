#pragma once

#include "SimDevice.h"

#include <cstdint>
#include <memory>
#include <queue>
#include <string>
#include <unordered_map>
#include <vector>

namespace provix::devsim {

struct DeviceSetup {
    Mac mac{};
    Behaviour behaviour;
};

struct EmulatorConfig {
    std::string interface_name;
    std::vector<DeviceSetup> devices;
    std::string dump_path;  // empty: no dump
    std::string out_dir;    // empty: payloads are fingerprinted but not saved
    uint64_t seed = 1;
    int rcvbuf_bytes = 32 << 20;
};

// Serves every device from one raw socket and one event loop. Replies are built into a fixed pool
// of frames and handed to the kernel in batches; delayed replies wait in a timer heap as small
// records, so neither a discovery storm nor many parallel transfers allocate per frame.
class Emulator {
public:
    explicit Emulator(EmulatorConfig config);
    ~Emulator();
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    // Opens and binds the socket; false with a message on failure.
    bool Open(std::string& error);
    // Runs until SIGTERM or SIGINT (blocked and read through a signalfd) or until the interface is
    // deleted; SIGUSR1 writes a dump and prints "dumped <n>". Returns the process exit code: 0 after
    // a signal, 1 when the interface is gone.
    int Run();
    // Writes the dump file (atomically, through a temporary file).
    bool WriteDump(std::string& error) const;

    // For tests that drive devices without a socket.
    SimDevice* FindDevice(const Mac& mac);

private:
    struct Timer {
        uint64_t due_us;
        uint64_t order;
        uint32_t device;
        Reply reply;
        bool operator>(const Timer& other) const {
            return due_us != other.due_us ? due_us > other.due_us : order > other.order;
        }
    };

    void ReceiveBurst(uint64_t now_us);
    void Dispatch(const uint8_t* frame, size_t wire_len, uint64_t now_us);
    void Queue(uint32_t device, const std::vector<Reply>& replies, uint64_t now_us);
    void Send(uint32_t device, const Reply& reply);
    void FireTimers(uint64_t now_us);
    void Flush();
    bool HandleSignals();
    // True when a link event names the interface (or events were lost).
    bool DrainLinkEvents();
    bool InterfaceGone() const;
    // Reads the socket's pending error; false, with a message, when there was none to read.
    bool ClearSocketError();
    // Writes the final dump; returns the exit code.
    int Finish(int status) const;

    EmulatorConfig config;
    std::vector<SimDevice> devices;
    std::unordered_map<uint64_t, uint32_t> by_mac;
    int sock = -1;
    int sigfd = -1;
    int linkfd = -1;
    int ifindex = 0;
    std::priority_queue<Timer, std::vector<Timer>, std::greater<Timer>> timers;
    uint64_t timer_order = 0;
    std::vector<Reply> scratch;

    // Receive and send pools, allocated once.
    std::vector<uint8_t> rx_pool;
    std::vector<uint8_t> tx_pool;
    size_t tx_count = 0;
    std::unique_ptr<struct RawBatch> batch;

    uint64_t frames_total = 0;
    uint64_t frames_unaddressed = 0;
    uint64_t frames_short = 0;
    uint64_t send_errors = 0;
    uint64_t dumps = 0;
};

uint64_t NowMicros();

}  // namespace provix::devsim
