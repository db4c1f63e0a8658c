// Discovery and transfer figures of the engine (AcTransmitManage and its workers, in this process)
// against the device emulator on the far end of the test namespace's veth pair. Run it through
// tests/netns/in-netns.sh; each case runs in a child process of its own so that its peak memory is
// its own. Prints a table and writes the figures as JSON.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <numeric>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "DevSim.h"
#include "devices/CSqlManagement.h"
#include "protocol/AcTransmitManage.h"
#include "protocol/AdapterList.h"
#include "protocol/CaptureHandle.h"
#include "protocol/PcapFrameChannel.h"
#include "protocol/StopSignal.h"
#include "protocol/TransmitThread.h"

#include <pcap/pcap.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

using namespace provix;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Figures = std::map<std::string, double>;

constexpr auto kDiscoveryLimit = std::chrono::seconds(20);
constexpr auto kOperationLimit = std::chrono::seconds(60);

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto tv = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return tv(usage.ru_utime) + tv(usage.ru_stime);
}

double PeakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

struct RingUse {
    std::uint64_t bytes = 0;
    int mappings = 0;
};

// This process's packet-socket mappings (each capture ring shows as "socket:[inode]") and their size.
RingUse Rings() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    RingUse use;
    while (std::getline(maps, line)) {
        if (line.find("socket:[") == std::string::npos) {
            continue;
        }
        unsigned long long begin = 0;
        unsigned long long end = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx", &begin, &end) == 2 && end > begin) {
            use.bytes += end - begin;
            ++use.mappings;
        }
    }
    return use;
}

// Samples the ring memory while an operation runs and keeps its peak; its own CPU is kept apart
// so that it is not charged to the engine.
class RingSampler {
public:
    RingSampler()
        : thread([this] {
              while (!stop) {
                  const RingUse use = Rings();
                  if (use.bytes > peak) {
                      peak = use.bytes;
                      peak_rings = use.mappings;
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(5));
              }
              cpu = ThreadCpuSeconds();
          }) {}
    ~RingSampler() { Finish(); }
    void Finish() {
        stop = true;
        if (thread.joinable()) {
            thread.join();
        }
    }
    double PeakMiB() const { return static_cast<double>(peak.load()) / (1024.0 * 1024.0); }
    double Cpu() const { return cpu; }
    int PeakRings() const { return peak_rings; }

private:
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> peak{0};
    std::atomic<int> peak_rings{0};
    double cpu = 0;
    std::thread thread;
};

// Starts one transfer per request and says how many still run.
class Workers {
public:
    virtual ~Workers() = default;
    virtual void Start(const transmit_param_stu& request) = 0;
    virtual std::size_t Running() = 0;
};

// The engine on a scratch store, on the namespace's adapter.
class Engine {
public:
    Engine() {
        char pattern[] = "/tmp/provix-bench-XXXXXX";
        folder = mkdtemp(pattern) ? pattern : "/tmp";
        store = std::make_unique<CSqlManagement>(folder + "/data.db");
        manager = std::make_unique<AcTransmitManage>(*store, folder + "/");
        std::vector<local_adapter_stu> adapters;
        GetAdapterList(adapters);
        for (const local_adapter_stu& a : adapters) {
            if (a.name == test::TestAdapter()) {
                adapter = a;
            }
        }
    }
    ~Engine() {
        manager.reset();
        store.reset();
        std::error_code ec;
        fs::remove_all(folder, ec);
    }

    bool Start(std::string& error) {
        if (adapter.name.empty()) {
            error = "the namespace's adapter is not offered";
            return false;
        }
        manager->ChooseAdapter(adapter);
        if (!manager->Init()) {
            error = manager->LastCaptureError().text;
            return false;
        }
        manager->ClearDevices();
        store->DeleteAllDevices();
        return true;
    }

    // Broadcasts one request and waits until the store holds `count` devices; seconds, or -1.
    double Discover(int count) {
        const auto t0 = Clock::now();
        if (!manager->SendDiscover()) {
            return -1;
        }
        while (store->DeviceCount() < count) {
            if (Clock::now() - t0 > kDiscoveryLimit) {
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        return Seconds(Clock::now() - t0);
    }

    std::vector<std::string> Macs() {
        std::vector<ap_info_stu> rows;
        int count = 0, successes = 0, failures = 0;
        store->QueryDevices(rows, count, successes, failures, true, kSortByMac);
        std::vector<std::string> macs;
        for (const ap_info_stu& row : rows) {
            macs.push_back(row.mac);
        }
        return macs;
    }

    struct Outcome {
        double verdicts = -1;   // seconds until every device had its verdict
        double transfers = -1;  // seconds until every worker had ended
        int successes = 0;
        int failures = 0;
        double cpu = 0;  // engine CPU seconds over the operation
        double ring_mib = 0;
        int rings = 0;  // capture rings open at that peak, the discovery thread's included
    };

    // As the operation screens do: reset, Operating, one worker per device; then waits for the verdicts.
    Outcome Operate(const std::vector<std::string>& macs, std::int32_t kind, const std::string& para_path,
                    const std::string& command,
                    std::chrono::microseconds poll_every = std::chrono::milliseconds(2),
                    Workers* workers = nullptr) {
        // The engine's own workers unless the case brings others.
        struct EngineWorkers : Workers {
            AcTransmitManage& manager;
            explicit EngineWorkers(AcTransmitManage& manager) : manager(manager) {}
            void Start(const transmit_param_stu& request) override { manager.StartTransmit(request); }
            std::size_t Running() override { return manager.RunningTransfers(); }
        } engine_workers(*manager);
        if (!workers) {
            workers = &engine_workers;
        }
        Outcome outcome;
        store->ResetAllStatuses();
        RingSampler sampler;
        const double cpu0 = ProcessCpuSeconds();
        const double poll_cpu0 = ThreadCpuSeconds();
        const auto t0 = Clock::now();
        for (const std::string& mac : macs) {
            if (kind == KIND_JSON) {
                store->SetAntiTheftStatus(mac, Operating);
            } else {
                store->SetParaStatus(mac, Operating);
            }
            transmit_param_stu request = manager->MakeRequest(*ParseMac(mac), kind);
            request.para_path = para_path;
            request.command = command;
            workers->Start(request);
        }
        for (;;) {
            const auto now = Clock::now();
            if (outcome.transfers < 0 && workers->Running() == 0) {
                outcome.transfers = Seconds(now - t0);
            }
            if (outcome.verdicts < 0) {
                std::vector<ap_info_stu> rows;
                int count = 0, successes = 0, failures = 0;
                store->QueryDevices(rows, count, successes, failures, true, kSortByMac);
                outcome.successes = successes;
                outcome.failures = failures;
                if (successes + failures >= static_cast<int>(macs.size())) {
                    outcome.verdicts = Seconds(now - t0);
                }
            }
            if ((outcome.verdicts >= 0 && outcome.transfers >= 0) || now - t0 > kOperationLimit) {
                break;
            }
            std::this_thread::sleep_for(poll_every);
        }
        const double poll_cpu = ThreadCpuSeconds() - poll_cpu0;
        sampler.Finish();
        outcome.cpu = ProcessCpuSeconds() - cpu0 - poll_cpu - sampler.Cpu();
        outcome.ring_mib = sampler.PeakMiB();
        outcome.rings = sampler.PeakRings();
        return outcome;
    }

    MacAddress AdapterMac() const { return adapter.mac; }
    CSqlManagement& Store() { return *store; }
    std::string Folder() const { return folder; }

private:
    std::string folder;
    std::unique_ptr<CSqlManagement> store;
    std::unique_ptr<AcTransmitManage> manager;
    local_adapter_stu adapter;
};

std::string WriteRandomFile(const std::string& path, std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t x = 2463534242u;
    for (char& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<char>(x);
    }
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// The raw round trip of one 1286-byte frame: a data segment sent from a worker-style handle (immediate
// mode, waited on with poll()) and the device's acknowledgement read back. Sorted seconds.
std::vector<double> RoundTrips(const MacAddress& adapter, const MacAddress& device, int count) {
    std::vector<double> trips;
    CaptureHandle handle;
    if (!handle.Open(test::TestAdapter(), CaptureUser::TransferWorker) ||
        !handle.SetFilter(TransferFilterText(device))) {
        return trips;
    }
    std::vector<std::uint8_t> data(kSegmentSize, 0x5a);
    ether_frame_stu in;
    for (int n = 1; n <= count; ++n) {
        const ether_frame_stu segment = *BuildDataSegment(device, adapter, MODULE_PARA, 1, SegmentSeq(n),
                                                          n == 1 ? SEG_FIRST : SEG_MIDDLE, data);
        const auto t0 = Clock::now();
        handle.Send(segment);
        bool acked = false;
        while (!acked && Clock::now() - t0 < std::chrono::seconds(1)) {
            if (handle.Next(in) == CaptureHandle::Read::Frame) {
                acked = AcknowledgesFileSegment(in, MODULE_PARA, n);
                continue;
            }
            handle.WaitReadable(100);
        }
        if (!acked) {
            break;
        }
        trips.push_back(Seconds(Clock::now() - t0));
    }
    std::sort(trips.begin(), trips.end());
    return trips;
}

// Watches the wire for the first data segment the tool sends and the last acknowledgement it gets,
// using the capture timestamps.
class WireWatch {
public:
    explicit WireWatch(const MacAddress& device) {
        char errbuf[PCAP_ERRBUF_SIZE] = {};
        pcap = pcap_create(test::TestAdapter().c_str(), errbuf);
        if (!pcap) {
            return;
        }
        pcap_set_snaplen(pcap, 64);
        pcap_set_immediate_mode(pcap, 1);
        pcap_set_buffer_size(pcap, 8 * 1024 * 1024);
        if (pcap_activate(pcap) < 0) {
            pcap_close(pcap);
            pcap = nullptr;
            return;
        }
        bpf_program program{};
        const std::string filter = "ether proto 0x6262";
        if (pcap_compile(pcap, &program, filter.c_str(), 1, PCAP_NETMASK_UNKNOWN) == 0) {
            pcap_setfilter(pcap, &program);
            pcap_freecode(&program);
        }
        pcap_setnonblock(pcap, 1, errbuf);
        thread = std::thread([this, device] { Watch(device); });
    }
    ~WireWatch() {
        stop = true;
        if (thread.joinable()) {
            thread.join();
        }
        if (pcap) {
            pcap_close(pcap);
        }
    }
    void Reset() {
        std::lock_guard guard(lock);
        first_segment = 0;
        last_ack = 0;
        acks.clear();
    }
    // Time from one acknowledgement to the next at the given share (0.5: the median), stalls aside.
    double Cycle(double share = 0.5) {
        std::lock_guard guard(lock);
        std::vector<double> cycles;
        for (std::size_t i = 1; i < acks.size(); ++i) {
            cycles.push_back(acks[i] - acks[i - 1]);
        }
        if (cycles.empty()) {
            return -1;
        }
        std::sort(cycles.begin(), cycles.end());
        return cycles[static_cast<std::size_t>(share * static_cast<double>(cycles.size() - 1))];
    }
    // Seconds from the first segment to the last acknowledgement seen so far; -1 before both.
    double Span() const {
        const double first = first_segment.load();
        const double last = last_ack.load();
        return first > 0 && last > first ? last - first : -1;
    }

private:
    void Watch(MacAddress device) {
        const int fd = pcap_get_selectable_fd(pcap);
        while (!stop) {
            pcap_pkthdr* header = nullptr;
            const u_char* bytes = nullptr;
            const int r = pcap_next_ex(pcap, &header, &bytes);
            if (r <= 0) {
                pollfd p{fd, POLLIN, 0};
                ::poll(&p, 1, 20);
                continue;
            }
            if (header->caplen < 20) {
                continue;
            }
            const double when =
                static_cast<double>(header->ts.tv_sec) + static_cast<double>(header->ts.tv_usec) * 1e-6;
            const std::uint16_t module = static_cast<std::uint16_t>(bytes[14] << 8 | bytes[15]);
            const std::uint16_t msg = static_cast<std::uint16_t>(bytes[18] << 8 | bytes[19]);
            const bool from_device = std::equal(device.begin(), device.end(), bytes + 6);
            const bool to_device = std::equal(device.begin(), device.end(), bytes);
            if (to_device && module == MODULE_PARA && msg == MSG_PARA_DATA && first_segment.load() == 0) {
                first_segment = when;
            } else if (from_device && module == MODULE_PARA && msg == MSG_REPLY) {
                last_ack = when;
                std::lock_guard guard(lock);
                acks.push_back(when);
            }
        }
    }

    pcap_t* pcap = nullptr;
    std::atomic<bool> stop{false};
    std::atomic<double> first_segment{0};
    std::atomic<double> last_ack{0};
    std::mutex lock;
    std::vector<double> acks;
    std::thread thread;
};

// The time to open one worker handle, averaged over a few opens.
double HandleOpenMs(int count) {
    const auto t0 = Clock::now();
    for (int i = 0; i < count; ++i) {
        CaptureHandle handle;
        handle.Open(test::TestAdapter(), CaptureUser::TransferWorker);
    }
    return 1000.0 * Seconds(Clock::now() - t0) / count;
}

bool StartSim(test::DevSim& sim, int devices, std::string& error) {
    const ::testing::AssertionResult started = sim.Start({"--devices", std::to_string(devices)});
    if (!started) {
        error = started.message();
    }
    return static_cast<bool>(started);
}

// Emulator with the given number of devices, the engine on its adapter, and every device discovered.
bool StartWithDevices(test::DevSim& sim, Engine& engine, int devices, std::string& error) {
    if (!StartSim(sim, devices, error) || !engine.Start(error)) {
        return false;
    }
    if (engine.Discover(devices) < 0) {
        error = "the devices did not all answer";
        return false;
    }
    return true;
}

bool CaseDiscovery(Figures& f, std::string& error) {
    test::DevSim sim;
    Engine engine;
    if (!StartSim(sim, 1000, error) || !engine.Start(error)) {
        return false;
    }
    f["seconds"] = engine.Discover(1000);
    f["found"] = static_cast<double>(engine.Macs().size());
    return true;
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return -1;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool CaseOneFile(Figures& f, std::string& error) {
    test::DevSim sim;
    Engine engine;
    // Device 1 takes the file; device 2 answers the round-trip probes, so neither sees the other's frames.
    if (!StartWithDevices(sim, engine, 2, error)) {
        return false;
    }
    const std::vector<std::string> macs = engine.Macs();
    const std::string path = WriteRandomFile(engine.Folder() + "/config.xml", 1024 * 1024);
    // The machine's load changes from second to second, so probes and transfers take turns and each
    // transfer is held against the round trips measured just before it. The wire watch runs throughout,
    // so both see the same extra capture.
    WireWatch wire(*ParseMac(macs[0]));
    constexpr int kRounds = 7;
    constexpr double kSegments = 1024;
    std::vector<double> trips_all, walls, wires, ratios, wire_ratios, cycle_ratios, mean_ratios, cycles_p90,
        cycles_p99;
    double cpu = 0;
    int successes = 0;
    for (int round = 0; round < kRounds; ++round) {
        const std::vector<double> trips = RoundTrips(engine.AdapterMac(), *ParseMac(macs[1]), 300);
        if (trips.size() < 100) {
            error = "the round-trip probe got no acknowledgements";
            return false;
        }
        trips_all.insert(trips_all.end(), trips.begin(), trips.end());
        wire.Reset();
        // Watching the store every 2 ms, not faster: on two cores a tighter watch takes the processor
        // from the very worker it times (the wire figures below have no such granularity).
        const Engine::Outcome outcome =
            engine.Operate({macs[0]}, KIND_PARA, path, {}, std::chrono::milliseconds(2));
        const double floor = kSegments * Median(trips);
        walls.push_back(outcome.transfers);
        wires.push_back(wire.Span());
        ratios.push_back(outcome.transfers / floor);
        wire_ratios.push_back(wire.Span() / floor);
        cycle_ratios.push_back(wire.Cycle() / Median(trips));
        cycles_p90.push_back(wire.Cycle(0.9));
        cycles_p99.push_back(wire.Cycle(0.99));
        mean_ratios.push_back(outcome.transfers /
                              (kSegments * std::accumulate(trips.begin(), trips.end(), 0.0) /
                               static_cast<double>(trips.size())));
        cpu += outcome.cpu;
        successes += outcome.successes;
    }
    f["segments"] = kSegments;
    f["rounds"] = kRounds;
    f["rtt_median_us"] = 1e6 * Median(trips_all);
    f["rtt_mean_us"] = 1e6 * std::accumulate(trips_all.begin(), trips_all.end(), 0.0) /
                       static_cast<double>(trips_all.size());
    f["floor_s"] = kSegments * Median(trips_all);
    f["wall_s"] = Median(walls);
    f["wire_s"] = Median(wires);
    f["ratio"] = Median(ratios);
    f["ratio_min"] = *std::min_element(ratios.begin(), ratios.end());
    f["ratio_max"] = *std::max_element(ratios.begin(), ratios.end());
    f["wire_ratio"] = Median(wire_ratios);
    f["cycle_ratio"] = Median(cycle_ratios);
    f["mean_ratio"] = Median(mean_ratios);
    std::sort(trips_all.begin(), trips_all.end());
    f["rtt_p90_us"] = 1e6 * trips_all[trips_all.size() * 9 / 10];
    f["rtt_p99_us"] = 1e6 * trips_all[trips_all.size() * 99 / 100];
    f["cycle_p90_us"] = 1e6 * Median(cycles_p90);
    f["cycle_p99_us"] = 1e6 * Median(cycles_p99);
    f["cpu_s"] = cpu / kRounds;
    f["success"] = successes;
    return true;
}

bool CasePayloads(Figures& f, std::string& error) {
    test::DevSim sim;
    Engine engine;
    if (!StartWithDevices(sim, engine, 100, error)) {
        return false;
    }
    const std::string path = WriteRandomFile(engine.Folder() + "/config.xml", 256 * 1024);
    const Engine::Outcome outcome = engine.Operate(engine.Macs(), KIND_PARA, path, {});
    f["wall_s"] = outcome.verdicts;
    f["transfers_s"] = outcome.transfers;
    f["cpu_s"] = outcome.cpu;
    f["rss_mib"] = PeakRssMiB();
    f["ring_mib"] = outcome.ring_mib;
    f["rings"] = outcome.rings;
    f["success"] = outcome.successes;
    return true;
}

bool CaseCommands(Figures& f, std::string& error) {
    test::DevSim sim;
    Engine engine;
    if (!StartWithDevices(sim, engine, 1000, error)) {
        return false;
    }
    f["open_ms"] = HandleOpenMs(20);
    const std::string command =
        R"({"Lockcode":"K1","Enable":"1","ACName":"AC1","DNS1":"0.0.0.0","DNS2":"0.0.0.0"})";
    const Engine::Outcome outcome = engine.Operate(engine.Macs(), KIND_JSON, {}, command);
    f["verdict_s"] = outcome.verdicts;
    f["transfers_s"] = outcome.transfers;
    f["cpu_s"] = outcome.cpu;
    f["rss_mib"] = PeakRssMiB();
    f["ring_mib"] = outcome.ring_mib;
    f["rings"] = outcome.rings;
    f["success"] = outcome.successes;
    f["failed"] = outcome.failures;
    return true;
}

// The ring one worker handle maps, at the engine's settings and at smaller kernel buffers: what a
// thousand handles open at once would hold.
bool CaseRings(Figures& f, std::string& error) {
    const auto ring_kib = [](int buffer_bytes) {
        CaptureSettings settings = SettingsFor(CaptureUser::TransferWorker);
        if (buffer_bytes > 0) {
            settings.buffer_bytes = buffer_bytes;
        }
        const std::uint64_t before = Rings().bytes;
        CaptureHandle handle;
        if (!handle.Open(test::TestAdapter(), settings)) {
            return -1.0;
        }
        return static_cast<double>(Rings().bytes - before) / 1024.0;
    };
    f["worker_buffer_kib"] = SettingsFor(CaptureUser::TransferWorker).buffer_bytes / 1024.0;
    f["worker_ring_kib"] = ring_kib(0);
    for (int kib : {256, 128, 64}) {
        f["ring_kib_at_" + std::to_string(kib)] = ring_kib(kib * 1024);
    }
    if (f["worker_ring_kib"] < 0) {
        error = "cannot open a worker handle";
        return false;
    }
    // The discovery thread's ring is open throughout an operation.
    const std::uint64_t before = Rings().bytes;
    Engine engine;
    if (!engine.Start(error)) {
        return false;
    }
    f["receive_ring_mib"] = static_cast<double>(Rings().bytes - before) / (1024.0 * 1024.0);
    // When devices answer slowly every worker of a batch holds its handle at the same time.
    f["all_open_1000_mib"] = f["receive_ring_mib"] + 1000 * f["worker_ring_kib"] / 1024.0;
    return true;
}

struct Case {
    const char* name;
    bool (*run)(Figures&, std::string&);
};

const Case kCases[] = {
    {"discovery", CaseDiscovery}, {"one_file", CaseOneFile}, {"payloads", CasePayloads},
    {"commands", CaseCommands},   {"rings", CaseRings},      
};

// Runs one case in a child process; its figures come back as "name=value" words on one line.
bool RunChild(const char* self, const Case& c, Figures& figures, std::string& error) {
    int out[2];
    if (pipe(out) != 0) {
        error = "pipe";
        return false;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        execl(self, self, "--case", c.name, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        const std::size_t eq = word.find('=');
        if (word.rfind("error=", 0) == 0) {
            error = text.substr(text.find("error=") + 6);
            return false;
        }
        if (eq != std::string::npos) {
            figures[word.substr(0, eq)] = std::strtod(word.c_str() + eq + 1, nullptr);
        }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "the case ended abnormally";
        return false;
    }
    return true;
}

struct Row {
    const char* label;
    std::string value;
    const char* target;
    const char* met;  // "yes", "no" or ""
};

std::string Fixed(double v, int digits) {
    if (v < 0) {
        return "n/a";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", digits, v);
    return text;
}

const char* Met(bool known, bool ok) {
    return !known ? "n/a" : ok ? "yes" : "no";
}

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("PROVIX_IN_NETNS") == nullptr || test::TestAdapter().empty() ||
        std::getenv("PROVIX_DEVSIM") == nullptr) {
        std::puts("transfer_bench: skipped, run it through tests/netns/in-netns.sh with PROVIX_DEVSIM set");
        return 0;
    }
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }

    if (argc == 3 && std::strcmp(argv[1], "--case") == 0) {
        for (const Case& c : kCases) {
            if (std::strcmp(c.name, argv[2]) == 0) {
                Figures figures;
                std::string error;
                if (!c.run(figures, error)) {
                    std::printf("error=%s\n", error.c_str());
                    return 1;
                }
                for (const auto& [name, value] : figures) {
                    std::printf("%s=%.9g ", name.c_str(), value);
                }
                std::puts("");
                return 0;
            }
        }
        std::printf("error=unknown case %s\n", argv[2]);
        return 1;
    }

    const std::string json_path =
        argc == 3 && std::strcmp(argv[1], "--json") == 0 ? argv[2] : "transfer-bench.json";
    std::map<std::string, Figures> results;
    int failures = 0;
    {
        // The figures move with the machine's load; it is recorded beside them.
        std::ifstream load("/proc/loadavg");
        double one_minute = -1;
        load >> one_minute;
        results["machine"]["load_1min"] = one_minute;
        results["machine"]["cpus"] = static_cast<double>(std::thread::hardware_concurrency());
        std::printf("load average %.2f on %u processors\n", one_minute, std::thread::hardware_concurrency());
    }
    for (const Case& c : kCases) {
        std::fprintf(stderr, "transfer_bench: %s...\n", c.name);
        std::string error;
        if (!RunChild("/proc/self/exe", c, results[c.name], error)) {
            std::printf("%s: incomplete: %s\n", c.name, error.c_str());
            ++failures;
        }
    }

    Figures& d = results["discovery"];
    Figures& o = results["one_file"];
    Figures& p = results["payloads"];
    Figures& k = results["commands"];
    Figures& r = results["rings"];
    const auto has = [](Figures& f, const char* key) { return f.contains(key) && f[key] >= 0; };
    const std::vector<std::pair<const char*, std::vector<Row>>> table = {
        {"1 discovery, 1000 devices",
         {{"devices found", Fixed(d["found"], 0), "1000", Met(has(d, "found"), d["found"] == 1000)},
          {"time until stored (s)", Fixed(has(d, "seconds") ? d["seconds"] : -1, 3), "", ""}}},
        {"2 1 MiB file, 1 device",
         {{"raw round trip, median (us)", Fixed(o["rtt_median_us"], 1), "", ""},
          {"raw round trip, mean (us)", Fixed(o["rtt_mean_us"], 1), "", ""},
          {"floor = 1024 x median (s)", Fixed(o["floor_s"], 4), "", ""},
          {"wall, worker start to end, median (s)", Fixed(has(o, "wall_s") ? o["wall_s"] : -1, 4), "", ""},
          {"ratio wall / floor, median of rounds", Fixed(has(o, "ratio") ? o["ratio"] : -1, 2), "<= 1.5",
           Met(has(o, "ratio"), o["ratio"] <= 1.5)},
          {"ratio, lowest and highest round", Fixed(o["ratio_min"], 2) + " " + Fixed(o["ratio_max"], 2), "",
           ""},
          {"on the wire, 1st segment to last ack (s)", Fixed(has(o, "wire_s") ? o["wire_s"] : -1, 4), "", ""},
          {"ratio wire / floor", Fixed(has(o, "wire_ratio") ? o["wire_ratio"] : -1, 2), "", ""},
          {"median segment cycle / median round trip",
           Fixed(has(o, "cycle_ratio") ? o["cycle_ratio"] : -1, 2), "", ""},
          {"raw round trip, 90th and 99th percentile (us)",
           Fixed(o["rtt_p90_us"], 0) + " " + Fixed(o["rtt_p99_us"], 0), "", ""},
          {"segment cycle, 90th and 99th percentile (us)",
           Fixed(o["cycle_p90_us"], 0) + " " + Fixed(o["cycle_p99_us"], 0), "", ""},
          {"ratio wall / (1024 x mean round trip)", Fixed(has(o, "mean_ratio") ? o["mean_ratio"] : -1, 2), "",
           ""}}},
        {"3 256 KiB file, 100 devices",
         {{"wall until every verdict (s)", Fixed(has(p, "wall_s") ? p["wall_s"] : -1, 3), "< 3",
           Met(has(p, "wall_s"), p["wall_s"] < 3)},
          {"CPU of the engine (s)", Fixed(p["cpu_s"], 3), "< 1.5", Met(has(p, "cpu_s"), p["cpu_s"] < 1.5)},
          {"peak RSS (MiB)", Fixed(p["rss_mib"], 1), "", ""},
          {"peak capture ring memory (MiB)", Fixed(p["ring_mib"], 1), "", ""},
          {"capture rings open at that peak", Fixed(p["rings"], 0), "", ""},
          {"devices with success", Fixed(p["success"], 0), "100",
           Met(has(p, "success"), p["success"] == 100)}}},
        {"4 command, 1000 devices",
         {{"time until every verdict (s)", Fixed(has(k, "verdict_s") ? k["verdict_s"] : -1, 3), "< 5",
           Met(has(k, "verdict_s"), k["verdict_s"] < 5)},
          {"CPU of the engine (s)", Fixed(k["cpu_s"], 3), "", ""},
          {"peak capture ring memory (MiB)", Fixed(k["ring_mib"], 1), "< 64",
           Met(has(k, "ring_mib"), k["ring_mib"] < 64)},
          {"capture rings open at that peak", Fixed(k["rings"], 0), "", ""},
          {"devices with success", Fixed(k["success"], 0), "1000",
           Met(has(k, "success"), k["success"] == 1000)},
          {"opening one worker handle (ms)", Fixed(k["open_ms"], 2), "", ""}}},
        {"  worker capture rings",
         {{"kernel buffer of a worker (KiB)", Fixed(r["worker_buffer_kib"], 0), "", ""},
          {"ring one worker handle maps (KiB)", Fixed(r["worker_ring_kib"], 0), "", ""},
          {"the same at a 256 KiB buffer (KiB)", Fixed(r["ring_kib_at_256"], 0), "", ""},
          {"the same at a 128 KiB buffer (KiB)", Fixed(r["ring_kib_at_128"], 0), "", ""},
          {"the same at a 64 KiB buffer (KiB)", Fixed(r["ring_kib_at_64"], 0), "", ""},
          {"ring of the discovery thread (MiB)", Fixed(r["receive_ring_mib"], 1), "", ""},
          {"1000 worker rings open at once (MiB)", Fixed(r["all_open_1000_mib"], 1), "< 64",
           Met(has(r, "all_open_1000_mib"), r["all_open_1000_mib"] < 64)}}},
    };
    std::printf("\n%-28s %-42s %12s %8s %4s\n", "case", "figure", "value", "target", "met");
    for (const auto& [name, rows] : table) {
        const char* label = name;
        for (const Row& row : rows) {
            std::printf("%-28s %-42s %12s %8s %4s\n", label, row.label, row.value.c_str(), row.target,
                        row.met);
            label = "";
        }
    }

    std::ofstream json(json_path);
    json << "{";
    bool first_case = true;
    for (const auto& [name, figures] : results) {
        json << (first_case ? "" : ",") << "\"" << name << "\":{";
        first_case = false;
        bool first = true;
        for (const auto& [key, value] : figures) {
            char number[40];
            std::snprintf(number, sizeof number, "%.9g", value);
            json << (first ? "" : ",") << "\"" << key << "\":" << number;
            first = false;
        }
        json << "}";
    }
    json << "}\n";
    std::printf("\nfigures written to %s\n", json_path.c_str());
    return failures ? 1 : 0;
}
