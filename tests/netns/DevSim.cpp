#include "DevSim.h"

#include "MiniJson.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace provix::test {

namespace {

// Generous bounds for a child that normally answers within milliseconds; they only keep a broken
// emulator from hanging the test run.
constexpr int kStartWaitMs = 20000;
constexpr int kStopWaitMs = 20000;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

std::string TestAdapter() {
    return Env("PROVIX_TEST_ADAPTER");
}
std::string TestPeer() {
    return Env("PROVIX_TEST_PEER");
}

bool RequireNetns() {
    // GTEST_SKIP returns from the function it is written in; the skip still marks the running test.
    const auto skip = [](const char* why) { GTEST_SKIP() << why; };
    if (Env("PROVIX_IN_NETNS") != "1" || TestAdapter().empty() || TestPeer().empty()) {
        skip(
            "raw-frame test: runs only inside tests/netns/in-netns.sh (a private network namespace "
            "with the veth pair provix0/provix1); start it through ctest");
        return false;
    }
    if (Env("PROVIX_DEVSIM").empty()) {
        skip("PROVIX_DEVSIM does not name the device emulator; start the test through ctest");
        return false;
    }
    return true;
}

std::string DevSimMac(int n) {
    const uint64_t value = 0x025000000001ull + static_cast<uint64_t>(n - 1);
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", unsigned(value >> 40 & 0xff),
                  unsigned(value >> 32 & 0xff), unsigned(value >> 24 & 0xff), unsigned(value >> 16 & 0xff),
                  unsigned(value >> 8 & 0xff), unsigned(value & 0xff));
    return text;
}

const DevSimDevice* DevSimState::Find(std::string_view mac) const {
    const std::string wanted = Lower(mac);
    for (const DevSimDevice& device : devices) {
        if (Lower(device.mac) == wanted)
            return &device;
    }
    return nullptr;
}

bool ParseDevSimState(std::string_view json, DevSimState& state, std::string& error) {
    JsonValue root;
    if (!ParseJson(json, root, error))
        return false;
    if (root.type != JsonValue::Type::kObject || root["devices"].type != JsonValue::Type::kArray) {
        error = "dump has no device list";
        return false;
    }
    state = DevSimState();
    state.frames = root["frames"].AsU64();
    state.unaddressed = root["unaddressed"].AsU64();
    state.send_errors = root["send_errors"].AsU64();
    for (const JsonValue& d : root["devices"].items) {
        DevSimDevice device;
        device.mac = d["mac"].text;
        device.frames = d["frames"].AsU64();
        device.dropped = d["dropped"].AsU64();
        device.discover_requests = d["discover_requests"].AsU64();
        device.answers_sent = d["answers_sent"].AsU64();
        device.acks_sent = d["acks_sent"].AsU64();
        device.reports_sent = d["reports_sent"].AsU64();
        device.segments = d["segments"].AsU64();
        device.retransmissions = d["retransmissions"].AsU64();
        device.duplicates = d["duplicates"].AsU64();
        device.ignored = d["ignored"].AsU64();
        device.violation_count = d["violation_count"].AsU64();
        for (const JsonValue& f : d["files"].items) {
            device.files.push_back({f["module"].AsInt(), f["total"].AsInt(), f["segments"].AsU64(),
                                    f["size"].AsU64(), f["result"].AsInt(), f["sha256"].text, f["hex"].text,
                                    f["path"].text});
        }
        for (const JsonValue& c : d["commands"].items)
            device.commands.push_back({c["text"].text, c["result"].AsInt()});
        for (const JsonValue& r : d["reports"].items)
            device.reports.push_back({r["module"].AsInt(), r["msg"].AsInt()});
        for (const JsonValue& p : d["partial"].items) {
            device.partial.push_back({p["module"].AsInt(), p["segments"].AsU64(), p["size"].AsU64()});
        }
        for (const JsonValue& v : d["violations"].items)
            device.violations.push_back(v.text);
        state.devices.push_back(std::move(device));
    }
    return true;
}

DevSim::DevSim() {
    char pattern[] = "/tmp/provix-devsim-XXXXXX";
    if (mkdtemp(pattern))
        folder = pattern;
    dump_path = folder + "/dump.json";
}

DevSim::~DevSim() {
    Kill();
    if (!folder.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
}

void DevSim::Kill() {
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
    if (out_fd >= 0) {
        close(out_fd);
        out_fd = -1;
    }
}

::testing::AssertionResult DevSim::Start(const std::vector<std::string>& options) {
    if (pid > 0)
        return ::testing::AssertionFailure() << "devsim is already running";
    if (folder.empty())
        return ::testing::AssertionFailure() << "no temporary folder for devsim";
    // Never let a test put emulated devices on a real segment.
    if (Env("PROVIX_IN_NETNS") != "1") {
        return ::testing::AssertionFailure() << "refusing to start devsim outside the test namespace";
    }
    const std::string program = Env("PROVIX_DEVSIM");
    const std::string peer = TestPeer();
    if (program.empty() || peer.empty()) {
        return ::testing::AssertionFailure() << "PROVIX_DEVSIM or PROVIX_TEST_PEER is not set";
    }
    std::filesystem::create_directories(folder + "/out");
    std::vector<std::string> args = {program,   "--interface", peer,           "--dump",
                                     dump_path, "--out",       folder + "/out"};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return ::testing::AssertionFailure() << "pipe: " << std::strerror(errno);
    const pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return ::testing::AssertionFailure() << "fork: " << std::strerror(errno);
    }
    if (child == 0) {
        // Dies with the test, so a crashed test leaves no emulator behind.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(fds[1], STDOUT_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    pid = child;
    out_fd = fds[0];
    pending.clear();
    dumps = 0;
    auto ready = WaitForLine("ready");
    if (!ready)
        Kill();
    return ready;
}

::testing::AssertionResult DevSim::WaitForLine(std::string_view prefix) {
    int waited_ms = 0;
    while (true) {
        for (size_t nl = pending.find('\n'); nl != std::string::npos; nl = pending.find('\n')) {
            const std::string line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            if (line.rfind(prefix, 0) == 0)
                return ::testing::AssertionSuccess();
        }
        if (waited_ms >= kStartWaitMs) {
            return ::testing::AssertionFailure() << "devsim did not print \"" << prefix << "\"";
        }
        pollfd pfd{out_fd, POLLIN, 0};
        const int n = poll(&pfd, 1, 100);
        if (n == 0) {
            waited_ms += 100;
            continue;
        }
        char buffer[512];
        const ssize_t got = read(out_fd, buffer, sizeof buffer);
        if (got > 0) {
            pending.append(buffer, static_cast<size_t>(got));
        } else if (got == 0 || (got < 0 && errno != EINTR)) {
            int status = 0;
            waitpid(pid, &status, 0);
            pid = -1;
            return ::testing::AssertionFailure()
                   << "devsim ended before printing \"" << prefix << "\" (exit status "
                   << (WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status)) << ", see its stderr)";
        }
    }
}

::testing::AssertionResult DevSim::ReadDump(DevSimState& state) {
    std::ifstream stream(dump_path, std::ios::binary);
    if (!stream)
        return ::testing::AssertionFailure() << "no dump at " << dump_path;
    std::stringstream text;
    text << stream.rdbuf();
    std::string error;
    if (!ParseDevSimState(text.str(), state, error)) {
        return ::testing::AssertionFailure() << "dump " << dump_path << ": " << error;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult DevSim::Dump(DevSimState& state) {
    if (pid <= 0)
        return ::testing::AssertionFailure() << "devsim is not running";
    kill(pid, SIGUSR1);
    ++dumps;
    auto line = WaitForLine("dumped " + std::to_string(dumps));
    if (!line)
        return line;
    return ReadDump(state);
}

::testing::AssertionResult DevSim::Stop(DevSimState& state) {
    if (pid <= 0)
        return ::testing::AssertionFailure() << "devsim is not running";
    kill(pid, SIGTERM);
    int status = 0;
    int waited_ms = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (waited_ms >= kStopWaitMs) {
            Kill();
            return ::testing::AssertionFailure() << "devsim did not stop on SIGTERM";
        }
        poll(nullptr, 0, 10);
        waited_ms += 10;
    }
    pid = -1;
    close(out_fd);
    out_fd = -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return ::testing::AssertionFailure() << "devsim ended with status "
                                             << (WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status));
    }
    return ReadDump(state);
}

::testing::AssertionResult DevSim::WaitForExit(int& exit_code, DevSimState& state) {
    if (pid <= 0)
        return ::testing::AssertionFailure() << "devsim is not running";
    int status = 0;
    int waited_ms = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (waited_ms >= kStopWaitMs) {
            Kill();
            return ::testing::AssertionFailure() << "devsim did not end by itself";
        }
        poll(nullptr, 0, 10);
        waited_ms += 10;
    }
    pid = -1;
    close(out_fd);
    out_fd = -1;
    if (!WIFEXITED(status))
        return ::testing::AssertionFailure() << "devsim was killed by signal " << WTERMSIG(status);
    exit_code = WEXITSTATUS(status);
    return ReadDump(state);
}

}  // namespace provix::test
