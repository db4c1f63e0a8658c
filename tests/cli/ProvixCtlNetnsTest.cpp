// provixctl as an operator runs it, against the device emulator on the far end of the namespace's
// veth pair: what it prints, its exit status, what the devices received and what it leaves behind.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DevSim.h"
#include "MiniJson.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace provix {
namespace {

namespace fs = std::filesystem;
using test::DevSim;
using test::DevSimMac;
using test::DevSimState;

// Only keeps a fault from hanging the suite; a normal run ends within about 20 seconds.
constexpr int kRunLimitSeconds = 90;

struct CtlRun {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
    std::vector<std::vector<std::string>> Rows() const {
        std::vector<std::vector<std::string>> rows;
        std::stringstream lines(out);
        std::string line;
        while (std::getline(lines, line)) {
            std::vector<std::string> fields;
            std::size_t start = 0;
            for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
                fields.push_back(line.substr(start, tab - start));
            }
            fields.push_back(line.substr(start));
            rows.push_back(std::move(fields));
        }
        return rows;
    }
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string bytes(n, '\0');
    for (char& b : bytes) {
        b = static_cast<char>(rng());
    }
    return bytes;
}

std::string Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

class ProvixCtlNetns : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::RequireNetns()) {
            return;
        }
        std::string pattern = (fs::temp_directory_path() / "provixctl-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        fs::create_directories(folder / "work");
        fs::create_directories(folder / "tmp");
    }

    void TearDown() override {
        if (!folder.empty()) {
            std::error_code ec;
            fs::remove_all(folder, ec);
        }
    }

    // Runs provixctl in the work folder with its own TMPDIR; `prefix` goes before it (setpriv).
    // `meanwhile` runs once it has started, given its process id (its output is small enough to wait
    // in the pipes).
    CtlRun Ctl(const std::vector<std::string>& args, const std::vector<std::string>& prefix = {},
               const std::function<void(pid_t)>& meanwhile = {}) {
        std::vector<std::string> argv = prefix;
        argv.push_back(PROVIXCTL_PATH);
        argv.insert(argv.end(), args.begin(), args.end());
        int out_pipe[2];
        int err_pipe[2];
        CtlRun run;
        if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) {
            ADD_FAILURE() << "pipe";
            return run;
        }
        const std::string work = (folder / "work").string();
        const std::string tmp = "TMPDIR=" + (folder / "tmp").string();
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(out_pipe[1], 1);
            dup2(err_pipe[1], 2);
            if (chdir(work.c_str()) != 0) {
                _exit(126);
            }
            putenv(const_cast<char*>(tmp.c_str()));
            std::vector<char*> raw;
            for (std::string& a : argv) {
                raw.push_back(a.data());
            }
            raw.push_back(nullptr);
            execvp(raw[0], raw.data());
            _exit(127);
        }
        close(out_pipe[1]);
        close(err_pipe[1]);
        if (meanwhile) {
            meanwhile(pid);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kRunLimitSeconds);
        pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
        std::string* sinks[2] = {&run.out, &run.err};
        int open_pipes = 2;
        while (open_pipes > 0 && std::chrono::steady_clock::now() < deadline) {
            if (poll(fds, 2, 500) <= 0) {
                continue;
            }
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd >= 0 && fds[i].revents) {
                    char buffer[4096];
                    const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                    if (n > 0) {
                        sinks[i]->append(buffer, static_cast<std::size_t>(n));
                    } else {
                        close(fds[i].fd);
                        fds[i].fd = -1;
                        --open_pipes;
                    }
                }
            }
        }
        if (open_pipes > 0) {
            ADD_FAILURE() << "provixctl did not end within " << kRunLimitSeconds << " s";
            kill(pid, SIGKILL);
        }
        for (const pollfd& p : fds) {
            if (p.fd >= 0) {
                close(p.fd);
            }
        }
        int wstatus = 0;
        waitpid(pid, &wstatus, 0);
        run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
        // Whatever happened, the private results store must be gone and nothing left in the folder.
        EXPECT_TRUE(fs::is_empty(folder / "tmp")) << "provixctl left its scratch folder behind";
        EXPECT_FALSE(fs::exists(folder / "work" / "data.db"));
        return run;
    }

    std::string LogFile(const char* name) { return ReadFile(folder / "work" / "Log" / Today() / name); }

    fs::path folder;
    DevSim sim;
};

TEST_F(ProvixCtlNetns, AdaptersListTheNamespacePairInBothFormats) {
    if (folder.empty()) {
        return;
    }
    const CtlRun tsv = Ctl({"adapters"});
    ASSERT_EQ(tsv.status, 0) << tsv.err;
    const auto rows = tsv.Rows();
    const auto ours = std::find_if(
        rows.begin(), rows.end(), [](const auto& r) { return r.size() == 3 && r[2] == test::TestAdapter(); });
    ASSERT_NE(ours, rows.end()) << tsv.out;
    EXPECT_EQ((*ours)[0], std::to_string(ours - rows.begin()));
    EXPECT_EQ((*ours)[1].rfind(test::TestAdapter() + " (", 0), 0u) << (*ours)[1];

    const CtlRun json = Ctl({"adapters", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    test::JsonValue doc;
    std::string error;
    ASSERT_TRUE(test::ParseJson(json.out, doc, error)) << error << "\n" << json.out;
    ASSERT_EQ(doc["adapters"].items.size(), rows.size());
    const test::JsonValue& entry = doc["adapters"].items[static_cast<std::size_t>(ours - rows.begin())];
    EXPECT_EQ(entry["name"].text, test::TestAdapter());
    EXPECT_EQ(entry["display"].text, (*ours)[1]);
}

TEST_F(ProvixCtlNetns, ScanListsEveryDeviceOnceWithItsFirstAnswer) {
    if (folder.empty()) {
        return;
    }
    // Device 3 answers twice (its second texts end in "#2"), device 5 two seconds late; the display
    // text of the adapter is used to name it, as the adapter screen shows it.
    ASSERT_TRUE(sim.Start({"--devices", "60", "--ssid2", "net{n}", "--key2", "k\t{n}", "--for", "3",
                           "--discover-twice", "--for", "5", "--discover-delay", "2000"}));
    const CtlRun listed = Ctl({"adapters", "--json"});
    test::JsonValue adapters;
    std::string error;
    ASSERT_TRUE(test::ParseJson(listed.out, adapters, error)) << error;
    std::string display;
    for (const test::JsonValue& a : adapters["adapters"].items) {
        if (a["name"].text == test::TestAdapter()) {
            display = a["display"].text;
        }
    }
    ASSERT_FALSE(display.empty());

    const CtlRun run = Ctl({"scan", "--adapter", display});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto rows = run.Rows();
    ASSERT_EQ(rows.size(), 60u) << run.out;
    for (int n = 1; n <= 60; ++n) {
        const auto& row = rows[static_cast<std::size_t>(n - 1)];  // listed by MAC
        ASSERT_EQ(row.size(), 6u);
        EXPECT_EQ(row[0], DevSimMac(n));
        EXPECT_EQ(row[2], "net" + std::to_string(n));
        EXPECT_EQ(row[4], "k\\t" + std::to_string(n)) << "a tab inside a key is escaped";
    }

    const CtlRun json = Ctl({"scan", "--adapter", test::TestAdapter(), "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    test::JsonValue doc;
    ASSERT_TRUE(test::ParseJson(json.out, doc, error)) << error << "\n" << json.out;
    EXPECT_EQ(doc["adapter"].text, display);
    ASSERT_EQ(doc["devices"].items.size(), 60u);
    EXPECT_EQ(doc["devices"].items[2]["ssid2"].text, "net3");
    EXPECT_EQ(doc["devices"].items[0]["key2"].text, "k\t1");
}

TEST_F(ProvixCtlNetns, AntiTheftReportsEachVerdictLogsItAndFailsOnAMismatch) {
    if (folder.empty()) {
        return;
    }
    ASSERT_TRUE(sim.Start({"--devices", "3", "--lockcode", "K1", "--for", "3", "--lockcode", "K9"}));
    const CtlRun run = Ctl({"antitheft", "--adapter", test::TestAdapter(), "--lockcode", "K1", "--acname",
                            "AC1", "--dns2", "8.8.4.4"});
    EXPECT_EQ(run.status, 1) << run.err;
    const std::vector<std::vector<std::string>> expected = {
        {DevSimMac(1), "WaitOperate", "WaitOperate", "OperateSuccess", "ResultSuccess"},
        {DevSimMac(2), "WaitOperate", "WaitOperate", "OperateSuccess", "ResultSuccess"},
        {DevSimMac(3), "WaitOperate", "WaitOperate", "LockcodeMismatch", "ResultFailed"},
    };
    EXPECT_EQ(run.Rows(), expected) << run.out;

    DevSimState state;
    ASSERT_TRUE(sim.Stop(state));
    for (int n = 1; n <= 3; ++n) {
        const test::DevSimDevice* device = state.Find(DevSimMac(n));
        ASSERT_NE(device, nullptr);
        ASSERT_FALSE(device->commands.empty());
        EXPECT_EQ(device->commands.front().text,
                  R"({"Lockcode":"K1","Enable":"1","ACName":"AC1","DNS1":"0.0.0.0","DNS2":"8.8.4.4"})");
    }
    const std::string success = LogFile("Success.txt");
    const std::string fail = LogFile("Fail.txt");
    EXPECT_NE(success.find(DevSimMac(1)), std::string::npos) << success;
    EXPECT_NE(success.find(DevSimMac(2)), std::string::npos) << success;
    EXPECT_NE(fail.find(DevSimMac(3) + "\tJSON_CMD_DATA"), std::string::npos) << fail;
    EXPECT_EQ(success.find(DevSimMac(3)), std::string::npos);
}

TEST_F(ProvixCtlNetns, OnlyTheListedDevicesAreOperated) {
    if (folder.empty()) {
        return;
    }
    ASSERT_TRUE(sim.Start({"--devices", "3"}));
    const CtlRun run = Ctl({"antitheft", "--adapter", test::TestAdapter(), "--lockcode", "K", "--off",
                            "--json", "--devices", test::DevSimMac(2)});
    ASSERT_EQ(run.status, 0) << run.err;
    test::JsonValue doc;
    std::string error;
    ASSERT_TRUE(test::ParseJson(run.out, doc, error)) << error << "\n" << run.out;
    ASSERT_EQ(doc["devices"].items.size(), 1u);
    EXPECT_EQ(doc["devices"].items[0]["mac"].text, DevSimMac(2));
    EXPECT_EQ(doc["devices"].items[0]["result"].text, "ResultSuccess");
    EXPECT_EQ(doc["success"].AsInt(), 1);

    DevSimState state;
    ASSERT_TRUE(sim.Stop(state));
    ASSERT_NE(state.Find(DevSimMac(2)), nullptr);
    ASSERT_EQ(state.Find(DevSimMac(2))->commands.size(), 1u);
    EXPECT_EQ(state.Find(DevSimMac(2))->commands[0].text,
              R"({"Lockcode":"K","Enable":"0","ACName":"","DNS1":"0.0.0.0","DNS2":"0.0.0.0"})");
    EXPECT_TRUE(state.Find(DevSimMac(1))->commands.empty());
    EXPECT_TRUE(state.Find(DevSimMac(3))->commands.empty());
}

TEST_F(ProvixCtlNetns, RefusalsSendNothingAndExitWithTwo) {
    if (folder.empty()) {
        return;
    }
    ASSERT_TRUE(sim.Start({"--devices", "2"}));
    WriteFile(folder / "logo.png", "png");
    struct Refusal {
        std::vector<std::string> args;
        std::string says;
    };
    const std::string adapter = test::TestAdapter();
    const std::vector<Refusal> refusals = {
        {{"antitheft", "--adapter", adapter, "--lockcode", "K", "--acname", "A", "--devices",
          DevSimMac(1) + "," + DevSimMac(99)},
         "device " + DevSimMac(99) + " did not answer the scan"},
        {{"antitheft", "--adapter", adapter, "--lockcode", "K", "--confirm", "k", "--acname", "A"},
         "--confirm: The input information of the two is inconsistent!"},
        {{"antitheft", "--adapter", adapter, "--lockcode", "K", "--off", "--lockcode", "L"},
         "--lockcode given twice"},
        {{"customize", "--adapter", adapter, "--logo", (folder / "logo.png").string(), "--config",
          (folder / "missing.xml").string()},
         "cannot read " + (folder / "missing.xml").string()},
        {{"customize", "--adapter", adapter, "--config", folder.string()}, "is not a regular file"},
        {{"scan", "--adapter", "no-such-adapter"}, "unknown adapter \"no-such-adapter\""},
    };
    for (const Refusal& r : refusals) {
        const CtlRun run = Ctl(r.args);
        EXPECT_EQ(run.status, 2) << r.says;
        EXPECT_NE(run.err.find(r.says), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
    DevSimState state;
    ASSERT_TRUE(sim.Stop(state));
    for (const test::DevSimDevice& device : state.devices) {
        EXPECT_TRUE(device.commands.empty() && device.files.empty() && device.partial.empty()) << device.mac;
    }
}

TEST_F(ProvixCtlNetns, AdapterWithoutCaptureRightsNamesTheSetcapCommand) {
    if (folder.empty()) {
        return;
    }
    // Still root, but without the capabilities raw frames need, as an ordinary user would be.
    const CtlRun run = Ctl({"scan", "--adapter", test::TestAdapter()},
                           {"setpriv", "--inh-caps=-all", "--bounding-set=-net_raw,-net_admin", "--"});
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("cannot open adapter " + test::TestAdapter()), std::string::npos) << run.err;
    const std::string fix = "setcap cap_net_raw,cap_net_admin=eip " + fs::canonical(PROVIXCTL_PATH).string();
    EXPECT_NE(run.err.find(fix), std::string::npos) << run.err;
}

TEST_F(ProvixCtlNetns, InterruptStopsTheWorkersAndLeavesNothingBehind) {
    if (folder.empty()) {
        return;
    }
    // The devices acknowledge only after a minute, so the workers are still waiting when the
    // operator presses Ctrl-C.
    ASSERT_TRUE(sim.Start({"--devices", "2", "--ack-delay", "60000"}));
    const auto interrupt_when_sent = [this](pid_t pid) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        for (;;) {
            DevSimState state;
            if (std::chrono::steady_clock::now() > limit ||
                (sim.Dump(state) && std::all_of(state.devices.begin(), state.devices.end(),
                                                [](const auto& d) { return !d.commands.empty(); }))) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        kill(pid, SIGINT);
    };
    const CtlRun run =
        Ctl({"antitheft", "--adapter", test::TestAdapter(), "--lockcode", "K", "--acname", "A"}, {},
            interrupt_when_sent);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("interrupted"), std::string::npos) << run.err;
    const std::vector<std::vector<std::string>> expected = {
        {DevSimMac(1), "WaitOperate", "WaitOperate", "Operating", "ResultInProgress"},
        {DevSimMac(2), "WaitOperate", "WaitOperate", "Operating", "ResultInProgress"},
    };
    EXPECT_EQ(run.Rows(), expected) << run.out;
}

struct Customization {
    const char* label;
    std::size_t logo;  // bytes; 0 and no file when `send_logo` is false
    bool send_logo;
    std::size_t config;
    bool send_config;
};

class ProvixCtlCustomize : public ProvixCtlNetns, public ::testing::WithParamInterface<Customization> {};

TEST_P(ProvixCtlCustomize, SendsTheFilesAsTheyAreToEveryDevice) {
    if (folder.empty()) {
        return;
    }
    const Customization& c = GetParam();
    ASSERT_TRUE(sim.Start({"--devices", "2"}));
    const std::string logo = RandomBytes(c.logo, 1);
    const std::string config = RandomBytes(c.config, 2);
    WriteFile(folder / "logo.jpg", logo);
    WriteFile(folder / "config.xml", config);
    std::vector<std::string> args = {"customize", "--adapter", test::TestAdapter()};
    if (c.send_logo) {
        args.insert(args.end(), {"--logo", (folder / "logo.jpg").string()});
    }
    if (c.send_config) {
        args.insert(args.end(), {"--config", (folder / "config.xml").string()});
    }
    const CtlRun run = Ctl(args);
    EXPECT_EQ(run.status, 0) << run.err << run.out;
    const auto rows = run.Rows();
    ASSERT_EQ(rows.size(), 2u) << run.out;
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 5u);
        EXPECT_EQ(row[1], c.send_config ? "OperateSuccess" : "WaitOperate");
        EXPECT_EQ(row[2], c.send_logo ? "OperateSuccess" : "WaitOperate");
        EXPECT_EQ(row[3], "WaitOperate");
        EXPECT_EQ(row[4], "ResultSuccess");
    }

    DevSimState state;
    ASSERT_TRUE(sim.Stop(state));
    const int total = c.send_logo && c.send_config ? 2 : 1;
    for (int n = 1; n <= 2; ++n) {
        const test::DevSimDevice* device = state.Find(DevSimMac(n));
        ASSERT_NE(device, nullptr);
        EXPECT_TRUE(device->violations.empty()) << device->violations.front();
        ASSERT_EQ(device->files.size(), static_cast<std::size_t>(total));
        for (const test::DevSimFile& file : device->files) {
            const std::string& sent = file.module == 2 ? logo : config;
            EXPECT_EQ(file.total, total);
            EXPECT_EQ(file.segments, std::max<std::uint64_t>(1, (sent.size() + 1023) / 1024));
            EXPECT_EQ(ReadFile(file.path), sent) << "module " << file.module;
        }
        if (total == 2) {
            EXPECT_EQ(device->files[0].module, 2) << "the logo goes first";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ProvixCtlCustomize,
                         ::testing::Values(Customization{"logo_one_full_segment", 1024, true, 0, false},
                                           Customization{"empty_config", 0, false, 0, true},
                                           Customization{"logo_then_config", 3000, true, 1025, true}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(ProvixCtlNetns, DevicesWithoutAVerdictEndAsTheyStoodAfterFifteenSeconds) {
    if (folder.empty()) {
        return;
    }
    // Device 2 acknowledges only after the worker gave up; device 3 acknowledges and never reports.
    ASSERT_TRUE(sim.Start(
        {"--devices", "3", "--for", "2", "--ack-delay", "7000", "--no-report", "--for", "3", "--no-report"}));
    const CtlRun run =
        Ctl({"antitheft", "--adapter", test::TestAdapter(), "--lockcode", "K", "--acname", "A"});
    EXPECT_EQ(run.status, 1) << run.err;
    const std::vector<std::vector<std::string>> expected = {
        {DevSimMac(1), "WaitOperate", "WaitOperate", "OperateSuccess", "ResultSuccess"},
        {DevSimMac(2), "WaitOperate", "WaitOperate", "TransmitFail", "ResultFailed"},
        {DevSimMac(3), "WaitOperate", "WaitOperate", "TransmitFinish", "ResultInProgress"},
    };
    EXPECT_EQ(run.Rows(), expected) << run.out;
}

}  // namespace
}  // namespace provix
