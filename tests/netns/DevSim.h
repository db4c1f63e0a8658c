#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

namespace provix::test {

// Skips the current test (GTEST_SKIP) unless it runs inside tests/netns/in-netns.sh with the device
// emulator at hand. Call it from SetUp(), or in a test body as `if (!RequireNetns()) return;`.
bool RequireNetns();

// Environment of the namespace wrapper: the tool's side and the emulator's side of the veth pair.
std::string TestAdapter();
std::string TestPeer();

// The MAC text of the emulator's n-th device (1-based) with the default base 02:50:00:00:00:01.
std::string DevSimMac(int n);

struct DevSimFile {
    int module = 0;
    int total = 0;
    uint64_t segments = 0;
    uint64_t size = 0;
    int result = 0;  // the report's msg code
    std::string sha256;
    std::string hex;   // small payloads only
    std::string path;  // the saved payload
};

struct DevSimCommand {
    std::string text;
    int result = 0;
};

struct DevSimReport {
    int module = 0;
    int msg = 0;
};

struct DevSimPartial {
    int module = 0;
    uint64_t segments = 0;
    uint64_t size = 0;
};

struct DevSimDevice {
    std::string mac;
    uint64_t frames = 0;
    uint64_t dropped = 0;
    uint64_t discover_requests = 0;
    uint64_t answers_sent = 0;
    uint64_t acks_sent = 0;
    uint64_t reports_sent = 0;
    uint64_t segments = 0;
    uint64_t retransmissions = 0;
    uint64_t duplicates = 0;
    uint64_t ignored = 0;
    uint64_t violation_count = 0;
    std::vector<DevSimFile> files;
    std::vector<DevSimCommand> commands;
    std::vector<DevSimReport> reports;
    std::vector<DevSimPartial> partial;
    std::vector<std::string> violations;
};

// What the emulator's devices received, read from its JSON dump.
struct DevSimState {
    uint64_t frames = 0;
    uint64_t unaddressed = 0;
    uint64_t send_errors = 0;
    std::vector<DevSimDevice> devices;

    // The device with this MAC text (either case), or nullptr.
    const DevSimDevice* Find(std::string_view mac) const;
};

bool ParseDevSimState(std::string_view json, DevSimState& state, std::string& error);

// The device emulator as a child process on the peer interface. It dumps into a private temporary
// folder, which also receives the saved payloads; the folder is removed with the object.
//
//     void SetUp() override { if (RequireNetns()) ASSERT_TRUE(sim.Start({"--devices", "3"})); }
//     ... run the tool on TestAdapter() ...
//     DevSimState state;
//     ASSERT_TRUE(sim.Stop(state));
//     EXPECT_EQ(state.Find(DevSimMac(2))->commands.size(), 1u);
//
// Options are those of `devsim --help`; per-device behaviour follows "--for N" or "--for MAC".
class DevSim {
public:
    DevSim();
    ~DevSim();
    DevSim(const DevSim&) = delete;
    DevSim& operator=(const DevSim&) = delete;

    // Starts the emulator with the given options (--interface, --dump and --out are added) and waits
    // until it has bound its socket.
    ::testing::AssertionResult Start(const std::vector<std::string>& options);
    // Has the running emulator write its dump (SIGUSR1) and reads it.
    ::testing::AssertionResult Dump(DevSimState& state);
    // Stops the emulator (SIGTERM) and reads its final dump.
    ::testing::AssertionResult Stop(DevSimState& state);
    // Waits for the emulator to end by itself, then gives its exit code and reads its final dump.
    ::testing::AssertionResult WaitForExit(int& exit_code, DevSimState& state);

    bool running() const { return pid > 0; }
    pid_t process_id() const { return pid; }
    const std::string& out_dir() const { return folder; }

private:
    ::testing::AssertionResult WaitForLine(std::string_view prefix);
    ::testing::AssertionResult ReadDump(DevSimState& state);
    void Kill();

    std::string folder;
    std::string dump_path;
    pid_t pid = -1;
    int out_fd = -1;
    std::string pending;  // stdout bytes not yet split into lines
    uint64_t dumps = 0;
};

}  // namespace provix::test
