// Load figures for the device emulator, run inside the test namespace (tests/netns/in-netns.sh).
// For each load it prints the wall time, the emulator's CPU time and their ratio: an emulator
// that is busy well under 100% of the wall time is not what limits the exchange.
#include "DevSim.h"
#include "TestPort.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using provix::test::DevSim;
using provix::test::DevSimMac;
using provix::test::TestPort;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr int kWaitMs = 5000;

// CPU seconds of a single-threaded process: nanoseconds from schedstat, else clock ticks from stat.
double CpuSeconds(pid_t pid) {
    std::ifstream schedstat("/proc/" + std::to_string(pid) + "/schedstat");
    unsigned long long ns = 0;
    if (schedstat >> ns)
        return static_cast<double>(ns) / 1e9;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t close = line.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::vector<std::string> fields;
    size_t pos = close + 2;
    while (pos < line.size()) {
        const size_t space = line.find(' ', pos);
        fields.push_back(line.substr(pos, space - pos));
        if (space == std::string::npos)
            break;
        pos = space + 1;
    }
    if (fields.size() < 13)
        return 0;
    const double ticks = std::stod(fields[11]) + std::stod(fields[12]);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void Put16(Bytes& f, size_t off, uint16_t v) {
    f[off] = static_cast<uint8_t>(v >> 8);
    f[off + 1] = static_cast<uint8_t>(v);
}

std::array<uint8_t, 6> MacOf(int n) {
    const uint64_t value = 0x025000000001ull + static_cast<uint64_t>(n - 1);
    std::array<uint8_t, 6> mac;
    for (int i = 0; i < 6; ++i)
        mac[i] = static_cast<uint8_t>(value >> (40 - 8 * i));
    return mac;
}

Bytes Frame(const std::array<uint8_t, 6>& dst, const std::array<uint8_t, 6>& src, uint16_t module,
            uint16_t msg, uint16_t seq, uint16_t flag, const uint8_t* data, size_t len) {
    Bytes f(1286, 0);
    std::copy(dst.begin(), dst.end(), f.begin());
    std::copy(src.begin(), src.end(), f.begin() + 6);
    f[12] = f[13] = 0x62;
    Put16(f, 14, module);
    Put16(f, 16, seq);
    Put16(f, 18, msg);
    Put16(f, 20, module == 0 ? 0 : 1);
    Put16(f, 222, flag);
    if (len)
        std::memcpy(f.data() + 260, data, len);
    Put16(f, 1284, static_cast<uint16_t>(len));
    return f;
}

struct Load {
    const char* name;
    uint64_t frames;  // frames the emulator received and answered
    double wall;
    double cpu;
};

void Print(const Load& load) {
    std::printf("%-34s %8llu frames  wall %7.3f s  emulator CPU %7.3f s  busy %5.1f%%  %6.2f us CPU/frame\n",
                load.name, static_cast<unsigned long long>(load.frames), load.wall, load.cpu,
                load.wall > 0 ? 100.0 * load.cpu / load.wall : 0.0,
                load.frames ? 1e6 * load.cpu / static_cast<double>(load.frames) : 0.0);
}

bool Discovery(TestPort& port, Load& load) {
    DevSim sim;
    if (!sim.Start({"--devices", "1000"}))
        return false;
    const double cpu0 = CpuSeconds(sim.process_id());
    const auto t0 = Clock::now();
    if (!port.Send(Frame({0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, port.mac(), 0, 1, 0, 0, nullptr, 0)))
        return false;
    std::set<std::string> seen;
    Bytes f;
    while (seen.size() < 1000 && port.Receive(f, kWaitMs))
        seen.insert(std::string(f.begin() + 6, f.begin() + 12));
    load = {"1000 devices answer one discovery", seen.size(),
            std::chrono::duration<double>(Clock::now() - t0).count(), CpuSeconds(sim.process_id()) - cpu0};
    return seen.size() == 1000;
}

bool Commands(TestPort& port, Load& load) {
    DevSim sim;
    if (!sim.Start({"--devices", "1000"}))
        return false;
    const std::string text =
        R"({"Lockcode":"k","Enable":"1","ACName":"AC","DNS1":"0.0.0.0","DNS2":"0.0.0.0"})";
    const double cpu0 = CpuSeconds(sim.process_id());
    const auto t0 = Clock::now();
    for (int n = 1; n <= 1000; ++n) {
        if (!port.Send(Frame(MacOf(n), port.mac(), 3, 11, 1, 2, reinterpret_cast<const uint8_t*>(text.data()),
                             text.size()))) {
            return false;
        }
    }
    int replies = 0;
    Bytes f;
    while (replies < 2000 && port.Receive(f, kWaitMs))
        ++replies;
    load = {"1000 devices get one command", 1000, std::chrono::duration<double>(Clock::now() - t0).count(),
            CpuSeconds(sim.process_id()) - cpu0};
    return replies == 2000;
}

bool Payloads(TestPort& port, Load& load) {
    const int count = 100;
    const size_t size = 256 * 1024;
    DevSim sim;
    if (!sim.Start({"--devices", std::to_string(count)}))
        return false;
    Bytes payload(size);
    for (size_t i = 0; i < size; ++i)
        payload[i] = static_cast<uint8_t>(i * 13);
    std::vector<size_t> sent(count, 0);
    std::vector<uint16_t> seq(count, 0);
    auto next = [&](int i) {
        const size_t len = std::min<size_t>(1024, size - sent[i]);
        const uint16_t flag = sent[i] + len == size ? 2 : sent[i] == 0 ? 1 : 0;
        return port.Send(
            Frame(MacOf(i + 1), port.mac(), 2, 3, ++seq[i], flag, payload.data() + sent[i], len));
    };
    const double cpu0 = CpuSeconds(sim.process_id());
    const auto t0 = Clock::now();
    for (int i = 0; i < count; ++i) {
        if (!next(i))
            return false;
    }
    int finished = 0;
    uint64_t frames = count;
    Bytes f;
    while (finished < count && port.Receive(f, kWaitMs)) {
        const int i = f[11] - 1;
        if (i < 0 || i >= count || f[19] != 4)
            continue;
        sent[i] += std::min<size_t>(1024, size - sent[i]);
        if (sent[i] == size) {
            ++finished;
        } else if (next(i)) {
            ++frames;
        }
    }
    load = {"100 devices receive 256 KiB each", frames,
            std::chrono::duration<double>(Clock::now() - t0).count(), CpuSeconds(sim.process_id()) - cpu0};
    return finished == count;
}

}  // namespace

int main() {
    const char* in_netns = std::getenv("PROVIX_IN_NETNS");
    if (!in_netns || std::string(in_netns) != "1" || std::getenv("PROVIX_DEVSIM") == nullptr) {
        std::puts("devsim_bench: skipped, run it through tests/netns/in-netns.sh with PROVIX_DEVSIM set");
        return 0;
    }
    TestPort port;
    if (!port.Open()) {
        std::puts("devsim_bench: cannot open the test adapter");
        return 1;
    }
    int failures = 0;
    for (auto* run : {&Discovery, &Commands, &Payloads}) {
        Load load{};
        if (run(port, load)) {
            Print(load);
        } else {
            std::printf("%-34s incomplete: replies missing\n", load.name ? load.name : "load");
            ++failures;
        }
    }
    std::puts(
        "(the sending side here is a single test process; the emulator's busy share shows its headroom)");
    return failures ? 1 : 0;
}
