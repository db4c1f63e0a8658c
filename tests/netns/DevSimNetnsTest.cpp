// The device emulator seen from the wire: a raw port of the test's own sends hand-made frames from
// provix0 and checks what comes back from devsim on provix1. Offsets are written out here rather
// than taken from either side's frame code, so that this test is a third reading of the layout.
#include "DevSim.h"
#include "TestPort.h"

#include "Sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace provix::test {
namespace {

using Bytes = std::vector<uint8_t>;
using MacBytes = std::array<uint8_t, 6>;

constexpr size_t kFrame = 1286;
constexpr int kWaitMs = 5000;  // bound for an answer that normally takes microseconds

uint16_t U16(const Bytes& f, size_t off) {
    return static_cast<uint16_t>(f[off] << 8 | f[off + 1]);
}
void Put16(Bytes& f, size_t off, uint16_t v) {
    f[off] = static_cast<uint8_t>(v >> 8);
    f[off + 1] = static_cast<uint8_t>(v);
}

MacBytes MacOf(const std::string& text) {
    MacBytes mac{};
    unsigned v[6];
    std::sscanf(text.c_str(), "%02X:%02X:%02X:%02X:%02X:%02X", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
    for (int i = 0; i < 6; ++i)
        mac[i] = static_cast<uint8_t>(v[i]);
    return mac;
}

std::string MacTextOf(const Bytes& f, size_t off) {
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", f[off], f[off + 1], f[off + 2],
                  f[off + 3], f[off + 4], f[off + 5]);
    return text;
}

// module at 14, seq 16, msg 18, total 20, seg_flag 222, data 260, data_len 1284.
Bytes MakeFrame(const MacBytes& dst, const MacBytes& src, uint16_t module, uint16_t msg, uint16_t seq = 0,
                uint16_t total = 0, uint16_t flag = 0, const uint8_t* data = nullptr, size_t len = 0) {
    Bytes f(kFrame, 0);
    std::copy(dst.begin(), dst.end(), f.begin());
    std::copy(src.begin(), src.end(), f.begin() + 6);
    f[12] = 0x62;
    f[13] = 0x62;
    Put16(f, 14, module);
    Put16(f, 16, seq);
    Put16(f, 18, msg);
    Put16(f, 20, total);
    Put16(f, 222, flag);
    if (len)
        std::memcpy(f.data() + 260, data, len);
    Put16(f, 1284, static_cast<uint16_t>(len));
    return f;
}

std::string Slot(const Bytes& f, size_t off, size_t size) {
    const char* begin = reinterpret_cast<const char*>(f.data() + off);
    const void* nul = std::memchr(begin, 0, size);
    return std::string(begin, nul ? static_cast<const char*>(nul) - begin : size);
}

Bytes Pattern(size_t size, uint8_t salt) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>((i * 131 + salt) ^ (i >> 8));
    return bytes;
}

std::string Hex(const Bytes& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

Bytes ReadFile(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(stream), {});
}

std::string Command(const std::string& lockcode) {
    return "{\"Lockcode\":\"" + lockcode +
           "\",\"Enable\":\"1\",\"ACName\":\"AC1\",\"DNS1\":\"0.0.0.0\",\"DNS2\":\"8.8.4.4\"}";
}

class DevSimNetns : public ::testing::Test {
protected:
    void SetUp() override {
        if (!RequireNetns())
            return;
        ASSERT_TRUE(port.Open());
    }

    // The next frame from the device with this module and msg; other frames are kept in `others`.
    bool Expect(const std::string& mac, uint16_t module, uint16_t msg, Bytes* out = nullptr) {
        Bytes f;
        while (port.Receive(f, kWaitMs)) {
            if (MacTextOf(f, 6) == mac && U16(f, 14) == module && U16(f, 18) == msg) {
                if (out)
                    *out = f;
                return true;
            }
            others.push_back(f);
        }
        return false;
    }

    Bytes Discovery() const { return MakeFrame({0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, port.mac(), 0, 1); }

    // Sends a payload the way the tool cuts it, waiting for each segment's acknowledgement.
    void SendFile(const std::string& mac, uint16_t module, const Bytes& payload, uint16_t total,
                  uint16_t ack_seq_override = 0) {
        const uint16_t msg = module == 1 ? 2 : 3;
        size_t offset = 0;
        uint32_t n = 0;
        do {
            const size_t len = std::min<size_t>(1024, payload.size() - offset);
            uint16_t flag = offset == 0 ? 1 : 0;
            if (offset + len == payload.size())
                flag = 2;
            ++n;
            const uint16_t seq = static_cast<uint16_t>(n);
            ASSERT_TRUE(port.Send(MakeFrame(MacOf(mac), port.mac(), module, msg, seq, total, flag,
                                            payload.data() + offset, len)));
            Bytes ack;
            ASSERT_TRUE(Expect(mac, module, 4, &ack)) << "no acknowledgement of segment " << n;
            EXPECT_EQ(U16(ack, 16), ack_seq_override ? ack_seq_override : seq);
            EXPECT_EQ(MacTextOf(ack, 0), MacTextOf(Bytes(port.mac().begin(), port.mac().end()), 0));
            offset += len;
        } while (offset < payload.size());
    }

    TestPort port;
    DevSim sim;
    std::vector<Bytes> others;
};

TEST_F(DevSimNetns, EveryDeviceAnswersDiscoveryWithItsOwnTexts) {
    ASSERT_TRUE(sim.Start({"--devices", "5", "--ssid2", "net-{n}", "--key5", "{mac}"}));
    ASSERT_TRUE(port.Send(Discovery()));

    std::set<std::string> seen;
    for (int i = 0; i < 5; ++i) {
        Bytes f;
        ASSERT_TRUE(port.Receive(f, kWaitMs)) << "only " << i << " answers";
        EXPECT_EQ(f.size(), kFrame);
        EXPECT_EQ(U16(f, 12), 0x6262);
        EXPECT_EQ(U16(f, 14), 0);
        EXPECT_EQ(U16(f, 18), 4);
        const std::string mac = MacTextOf(f, 6);
        seen.insert(mac);
        int n = 0;
        for (int k = 1; k <= 5; ++k) {
            if (DevSimMac(k) == mac)
                n = k;
        }
        ASSERT_NE(n, 0) << "answer from unknown MAC " << mac;
        EXPECT_EQ(Slot(f, 22, 34), "net-" + std::to_string(n));
        std::string hex = mac;
        hex.erase(std::remove(hex.begin(), hex.end(), ':'), hex.end());
        EXPECT_EQ(Slot(f, 156, 66), hex);
        EXPECT_EQ(Slot(f, 56, 34), "SIM_" + hex.substr(6) + "_5G");
    }
    EXPECT_EQ(seen.size(), 5u);

    DevSimState state;
    ASSERT_TRUE(sim.Stop(state));
    ASSERT_EQ(state.devices.size(), 5u);
    for (const DevSimDevice& d : state.devices) {
        EXPECT_EQ(d.discover_requests, 1u) << d.mac;
        EXPECT_EQ(d.answers_sent, 1u) << d.mac;
        EXPECT_TRUE(d.violations.empty()) << d.mac << ": " << d.violations.front();
    }
}

TEST_F(DevSimNetns, InfoTextsAreCutToTheirSlot) {
    struct Case {
        std::string ssid2;
        std::string key2;
        std::string sent_ssid2;  // as read up to the NUL or the end of the slot
        bool ssid2_has_nul;
    };
    const std::vector<Case> cases = {
        {std::string(33, 'a'), "k", std::string(33, 'a'), true},
        {std::string(34, 'b'), std::string(65, 'x'), std::string(34, 'b'), false},
        {std::string(40, 'c'), std::string(70, 'y'), std::string(34, 'c'), false},
        {"", "", "", true},
    };
    std::vector<std::string> options = {"--devices", std::to_string(cases.size())};
    for (size_t i = 0; i < cases.size(); ++i) {
        options.insert(options.end(),
                       {"--for", std::to_string(i + 1), "--ssid2", cases[i].ssid2, "--key2", cases[i].key2});
    }
    ASSERT_TRUE(sim.Start(options));
    ASSERT_TRUE(port.Send(Discovery()));
    for (size_t i = 0; i < cases.size(); ++i) {
        Bytes f;
        ASSERT_TRUE(Expect(DevSimMac(static_cast<int>(i + 1)), 0, 4, &f));
        EXPECT_EQ(Slot(f, 22, 34), cases[i].sent_ssid2) << "case " << i;
        EXPECT_EQ(std::memchr(f.data() + 22, 0, 34) != nullptr, cases[i].ssid2_has_nul) << "case " << i;
        EXPECT_EQ(Slot(f, 90, 66), cases[i].key2.substr(0, 66)) << "case " << i;
    }
}

struct FileCase {
    uint16_t module;
    size_t size;
    bool fail;
    uint64_t segments;
    uint16_t report;
};

class DevSimFileTransfer : public DevSimNetns, public ::testing::WithParamInterface<FileCase> {};

TEST_P(DevSimFileTransfer, PayloadIsAcknowledgedReportedAndSavedExactly) {
    const FileCase& c = GetParam();
    std::vector<std::string> options = {"--devices", "2"};
    if (c.fail)
        options.push_back("--fail");
    ASSERT_TRUE(sim.Start(options));
    const std::string mac = DevSimMac(2);
    const Bytes payload = Pattern(c.size, static_cast<uint8_t>(c.size));
    SendFile(mac, c.module, payload, 1);
    if (HasFatalFailure())
        return;
    Bytes report;
    ASSERT_TRUE(Expect(mac, c.module, c.report, &report));

    DevSimState state;
    ASSERT_TRUE(sim.Stop(state));
    const DevSimDevice* d = state.Find(mac);
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(d->files.size(), 1u);
    const DevSimFile& f = d->files[0];
    EXPECT_EQ(f.module, c.module);
    EXPECT_EQ(f.size, c.size);
    EXPECT_EQ(f.segments, c.segments);
    EXPECT_EQ(f.total, 1);
    EXPECT_EQ(f.result, c.report);
    EXPECT_EQ(f.sha256, devsim::Sha256::HexOf(payload.data(), payload.size()));
    if (c.size <= 256) {
        EXPECT_EQ(f.hex, Hex(payload));
    }
    EXPECT_EQ(ReadFile(f.path), payload);
    EXPECT_EQ(d->acks_sent, c.segments);
    EXPECT_EQ(d->violation_count, 0u) << d->violations.front();
    EXPECT_TRUE(state.Find(DevSimMac(1))->files.empty()) << "the other device got the payload too";
}

INSTANTIATE_TEST_SUITE_P(Sizes, DevSimFileTransfer,
                         ::testing::Values(FileCase{1, 0, false, 1, 6}, FileCase{2, 1, false, 1, 8},
                                           FileCase{1, 1024, false, 1, 6}, FileCase{2, 1025, false, 2, 8},
                                           FileCase{1, 2048, false, 2, 6}, FileCase{2, 3000, false, 3, 8},
                                           FileCase{2, 262144, false, 256, 8}, FileCase{1, 3000, true, 3, 5},
                                           FileCase{2, 10, true, 1, 7}));

TEST_F(DevSimNetns, TwoPayloadsInARowAreBothReported) {
    ASSERT_TRUE(sim.Start({}));
    const std::string mac = DevSimMac(1);
    const Bytes logo = Pattern(1500, 1), para = Pattern(700, 2);
    SendFile(mac, 2, logo, 2);
    ASSERT_TRUE(Expect(mac, 2, 8));
    SendFile(mac, 1, para, 2);
    ASSERT_TRUE(Expect(mac, 1, 6));

    DevSimState state;
    ASSERT_TRUE(sim.Stop(state));
    const DevSimDevice* d = state.Find(mac);
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(d->files.size(), 2u);
    EXPECT_EQ(ReadFile(d->files[0].path), logo);
    EXPECT_EQ(ReadFile(d->files[1].path), para);
    EXPECT_EQ(d->files[0].total, 2);
    EXPECT_EQ(d->files[1].total, 2);
}

TEST_F(DevSimNetns, CommandResultFollowsTheLockCode) {
    struct Case {
        std::string device_lockcode;  // empty: the device accepts any
        bool fail;
        std::string command_lockcode;
        uint16_t report;
    };
    const std::vector<Case> cases = {
        {"", false, "anything", 10}, {"abc123", false, "abc123", 10}, {"abc123", false, "ABC123", 9},
        {"abc123", false, "", 9},    {"", true, "abc123", 9},
    };
    std::vector<std::string> options = {"--devices", std::to_string(cases.size())};
    for (size_t i = 0; i < cases.size(); ++i) {
        options.insert(options.end(), {"--for", DevSimMac(static_cast<int>(i + 1))});
        if (!cases[i].device_lockcode.empty())
            options.insert(options.end(), {"--lockcode", cases[i].device_lockcode});
        if (cases[i].fail)
            options.push_back("--fail");
    }
    ASSERT_TRUE(sim.Start(options));
    for (size_t i = 0; i < cases.size(); ++i) {
        const std::string mac = DevSimMac(static_cast<int>(i + 1));
        const std::string text = Command(cases[i].command_lockcode);
        ASSERT_TRUE(port.Send(MakeFrame(MacOf(mac), port.mac(), 3, 11, 1, 1, 2,
                                        reinterpret_cast<const uint8_t*>(text.c_str()), text.size())));
        Bytes ack;
        ASSERT_TRUE(Expect(mac, 3, 4, &ack)) << "case " << i;
        EXPECT_EQ(U16(ack, 16), 1) << "case " << i;
        EXPECT_TRUE(Expect(mac, 3, cases[i].report)) << "case " << i;
    }
    DevSimState state;
    ASSERT_TRUE(sim.Stop(state));
    for (size_t i = 0; i < cases.size(); ++i) {
        const DevSimDevice* d = state.Find(DevSimMac(static_cast<int>(i + 1)));
        ASSERT_NE(d, nullptr);
        ASSERT_EQ(d->commands.size(), 1u) << "case " << i;
        EXPECT_EQ(d->commands[0].text, Command(cases[i].command_lockcode)) << "case " << i;
        EXPECT_EQ(d->commands[0].result, cases[i].report) << "case " << i;
    }
}

TEST_F(DevSimNetns, AckFfffModeAcknowledgesEverySegmentWithFfff) {
    ASSERT_TRUE(sim.Start({"--ack-ffff"}));
    const std::string mac = DevSimMac(1);
    SendFile(mac, 1, Pattern(2500, 3), 1, 0xffff);
    ASSERT_TRUE(Expect(mac, 1, 6));
    const std::string text = Command("x");
    ASSERT_TRUE(port.Send(MakeFrame(MacOf(mac), port.mac(), 3, 11, 1, 1, 2,
                                    reinterpret_cast<const uint8_t*>(text.c_str()), text.size())));
    Bytes ack;
    ASSERT_TRUE(Expect(mac, 3, 4, &ack));
    EXPECT_EQ(U16(ack, 16), 0xffff);
}

// A quiet device must send nothing at all. The well-behaved third device is the barrier: the
// emulator handles frames in arrival order, so its answer arrives after anything the quiet ones
// would have sent.
TEST_F(DevSimNetns, QuietDevicesSendNothingButRecordWhatTheyGot) {
    ASSERT_TRUE(sim.Start({"--devices", "3", "--for", "1", "--silent", "--for", "2", "--drop", "1"}));
    const std::string quiet[] = {DevSimMac(1), DevSimMac(2)};
    const Bytes data = Pattern(100, 4);
    const std::string text = Command("x");
    ASSERT_TRUE(port.Send(Discovery()));
    for (const std::string& mac : quiet) {
        ASSERT_TRUE(port.Send(MakeFrame(MacOf(mac), port.mac(), 1, 2, 1, 1, 2, data.data(), data.size())));
        ASSERT_TRUE(port.Send(MakeFrame(MacOf(mac), port.mac(), 3, 11, 1, 1, 2,
                                        reinterpret_cast<const uint8_t*>(text.c_str()), text.size())));
    }
    const std::string barrier = DevSimMac(3);
    ASSERT_TRUE(port.Send(MakeFrame(MacOf(barrier), port.mac(), 2, 3, 1, 1, 2, data.data(), data.size())));
    ASSERT_TRUE(Expect(barrier, 2, 4));
    for (const Bytes& f : others) {
        EXPECT_EQ(MacTextOf(f, 6), barrier)
            << "a quiet device sent module " << U16(f, 14) << " msg " << U16(f, 18);
    }

    DevSimState state;
    ASSERT_TRUE(sim.Dump(state));
    const DevSimDevice* silent = state.Find(quiet[0]);
    const DevSimDevice* lossy = state.Find(quiet[1]);
    ASSERT_TRUE(silent && lossy);
    EXPECT_EQ(silent->frames, 3u);
    EXPECT_EQ(silent->files.size(), 1u);
    EXPECT_EQ(silent->commands.size(), 1u);
    EXPECT_EQ(silent->answers_sent + silent->acks_sent + silent->reports_sent, 0u);
    EXPECT_EQ(lossy->frames, 3u);
    EXPECT_EQ(lossy->dropped, 3u);
    EXPECT_TRUE(lossy->files.empty());
    EXPECT_TRUE(lossy->commands.empty());
    ASSERT_TRUE(sim.Stop(state));
}

TEST_F(DevSimNetns, DumpShowsRetransmissionsViolationsAndUnfinishedPayloads) {
    ASSERT_TRUE(sim.Start({}));
    const std::string mac = DevSimMac(1);
    const Bytes full = Pattern(1024, 5);
    auto segment = [&](uint16_t seq, uint16_t flag, size_t len) {
        return MakeFrame(MacOf(mac), port.mac(), 1, 2, seq, 1, flag, full.data(), len);
    };
    ASSERT_TRUE(port.Send(segment(1, 1, 1024)));
    ASSERT_TRUE(Expect(mac, 1, 4));
    ASSERT_TRUE(port.Send(segment(1, 1, 1024)));  // the tool resending after a lost ack
    ASSERT_TRUE(Expect(mac, 1, 4));
    ASSERT_TRUE(port.Send(segment(3, 0, 1024)));  // a gap: not acknowledged
    ASSERT_TRUE(port.Send(segment(2, 1, 1000)));  // flagged first and short, yet the next in order
    Bytes ack;
    ASSERT_TRUE(Expect(mac, 1, 4, &ack));
    EXPECT_EQ(U16(ack, 16), 2) << "the gap was acknowledged";
    Bytes cut = MakeFrame(MacOf(mac), port.mac(), 0, 1);
    cut.resize(600);
    ASSERT_TRUE(port.Send(cut));
    ASSERT_TRUE(Expect(mac, 0, 4));

    DevSimState state;
    ASSERT_TRUE(sim.Dump(state));
    const DevSimDevice* d = state.Find(mac);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->retransmissions, 1u);
    EXPECT_EQ(d->segments, 2u);
    ASSERT_EQ(d->partial.size(), 1u);
    EXPECT_EQ(d->partial[0].segments, 2u);
    EXPECT_EQ(d->partial[0].size, 2024u);
    EXPECT_TRUE(d->files.empty());
    const std::vector<std::string> expected = {"out of order", "flagged first", "not the last",
                                               "frame of 600 bytes"};
    for (const std::string& text : expected) {
        EXPECT_TRUE(std::any_of(d->violations.begin(), d->violations.end(),
                                [&](const std::string& v) { return v.find(text) != std::string::npos; }))
            << "no violation mentioning \"" << text << "\"";
    }
    EXPECT_EQ(d->violation_count, d->violations.size());
    ASSERT_TRUE(sim.Stop(state));
}

TEST_F(DevSimNetns, DelaysReorderRepliesAndDoubleAnswersDiffer) {
    ASSERT_TRUE(sim.Start({"--devices", "3", "--for", "1", "--discover-delay", "300", "--ack-delay", "300",
                           "--for", "3", "--discover-twice"}));
    ASSERT_TRUE(port.Send(Discovery()));
    std::vector<std::pair<std::string, std::string>> answers;  // MAC, SSID 2.4 GHz
    Bytes f;
    while (answers.size() < 4 && port.Receive(f, kWaitMs))
        answers.emplace_back(MacTextOf(f, 6), Slot(f, 22, 34));
    ASSERT_EQ(answers.size(), 4u);
    EXPECT_EQ(answers[0].first, DevSimMac(2));
    EXPECT_EQ(answers[1].first, DevSimMac(3));
    EXPECT_EQ(answers[2].first, DevSimMac(3));
    EXPECT_EQ(answers[2].second, answers[1].second + "#2");
    EXPECT_EQ(answers[3].first, DevSimMac(1)) << "the delayed answer came early";

    const Bytes data = Pattern(10, 6);
    for (int n : {1, 2}) {
        ASSERT_TRUE(
            port.Send(MakeFrame(MacOf(DevSimMac(n)), port.mac(), 2, 3, 1, 1, 2, data.data(), data.size())));
    }
    ASSERT_TRUE(port.Receive(f, kWaitMs));
    EXPECT_EQ(MacTextOf(f, 6), DevSimMac(2)) << "the delayed acknowledgement came first";
}

// Many devices at once: nothing may be lost between the emulator's socket and its batched sends.
TEST_F(DevSimNetns, ThousandDevicesAnswerOneDiscoveryAndOneCommandEach) {
    const int count = 1000;
    ASSERT_TRUE(sim.Start({"--devices", std::to_string(count)}));
    ASSERT_TRUE(port.Send(Discovery()));
    std::set<std::string> answered;
    Bytes f;
    while (answered.size() < static_cast<size_t>(count) && port.Receive(f, kWaitMs)) {
        if (U16(f, 14) == 0 && U16(f, 18) == 4)
            answered.insert(MacTextOf(f, 6));
    }
    ASSERT_EQ(answered.size(), static_cast<size_t>(count));

    const std::string text = Command("k");
    for (int n = 1; n <= count; ++n) {
        ASSERT_TRUE(port.Send(MakeFrame(MacOf(DevSimMac(n)), port.mac(), 3, 11, 1, 1, 2,
                                        reinterpret_cast<const uint8_t*>(text.c_str()), text.size())));
    }
    std::set<std::string> acked, reported;
    while ((acked.size() < static_cast<size_t>(count) || reported.size() < static_cast<size_t>(count)) &&
           port.Receive(f, kWaitMs)) {
        if (U16(f, 14) != 3)
            continue;
        (U16(f, 18) == 4 ? acked : reported).insert(MacTextOf(f, 6));
    }
    EXPECT_EQ(acked.size(), static_cast<size_t>(count));
    EXPECT_EQ(reported.size(), static_cast<size_t>(count));

    DevSimState state;
    ASSERT_TRUE(sim.Stop(state));
    EXPECT_EQ(state.send_errors, 0u);
    for (const DevSimDevice& d : state.devices)
        ASSERT_EQ(d.commands.size(), 1u) << d.mac;
}

TEST_F(DevSimNetns, HundredDevicesReceiveLargePayloadsInParallel) {
    const int count = 100;
    const size_t size = 256 * 1024;
    ASSERT_TRUE(sim.Start({"--devices", std::to_string(count)}));
    std::vector<Bytes> payloads;
    std::vector<size_t> sent(count, 0);  // bytes sent and acknowledged per device
    std::vector<uint16_t> seq(count, 0);
    auto send_next = [&](int i) {
        const size_t len = std::min<size_t>(1024, size - sent[i]);
        const uint16_t flag = sent[i] + len == size ? 2 : sent[i] == 0 ? 1 : 0;
        ++seq[i];
        return port.Send(MakeFrame(MacOf(DevSimMac(i + 1)), port.mac(), 2, 3, seq[i], 1, flag,
                                   payloads[i].data() + sent[i], len));
    };
    for (int i = 0; i < count; ++i) {
        payloads.push_back(Pattern(size, static_cast<uint8_t>(i)));
        ASSERT_TRUE(send_next(i));
    }
    int finished = 0, reports = 0;
    Bytes f;
    while ((finished < count || reports < count) && port.Receive(f, kWaitMs)) {
        const int i = static_cast<int>(MacOf(MacTextOf(f, 6))[5]) - 1;
        ASSERT_TRUE(i >= 0 && i < count) << MacTextOf(f, 6);
        if (U16(f, 18) == 8) {
            ++reports;
            continue;
        }
        ASSERT_EQ(U16(f, 18), 4);
        ASSERT_EQ(U16(f, 16), seq[i]) << "device " << i + 1;
        sent[i] += std::min<size_t>(1024, size - sent[i]);
        if (sent[i] == size) {
            ++finished;
        } else {
            ASSERT_TRUE(send_next(i));
        }
    }
    ASSERT_EQ(finished, count);
    ASSERT_EQ(reports, count);

    DevSimState state;
    ASSERT_TRUE(sim.Stop(state));
    for (int i = 0; i < count; ++i) {
        const DevSimDevice* d = state.Find(DevSimMac(i + 1));
        ASSERT_NE(d, nullptr);
        ASSERT_EQ(d->files.size(), 1u) << d->mac;
        EXPECT_EQ(d->files[0].sha256, devsim::Sha256::HexOf(payloads[i].data(), size)) << d->mac;
        EXPECT_EQ(d->violation_count, 0u) << d->mac;
    }
}

// What happens to the emulator's interface while it runs. Each case gets a veth pair of its own,
// so that the namespace's provix0/provix1 stay for the other cases.
struct LinkCase {
    const char* name;
    const char* command;  // run on the pair provix2 (test side) <-> provix3 (emulator side)
    bool ends;            // devsim must end by itself; otherwise it must keep serving
};

void PrintTo(const LinkCase& c, std::ostream* os) {
    *os << c.name;
}

class DevSimLinkLoss : public ::testing::TestWithParam<LinkCase> {
protected:
    void SetUp() override {
        if (!RequireNetns())
            return;
        ASSERT_EQ(Ip("link add provix2 type veth peer name provix3"), 0);
        ASSERT_EQ(Ip("link set provix2 up"), 0);
        ASSERT_EQ(Ip("link set provix3 up"), 0);
        ASSERT_TRUE(port.Open("provix2"));
    }
    void TearDown() override { Ip("link del provix2 2>/dev/null"); }

    static int Ip(const std::string& args) { return std::system(("ip " + args).c_str()); }

    // The device's discovery answer. Resent a few times: the test side's queue may drop frames
    // until the kernel has noticed that the link is back.
    bool Discover() {
        const Bytes request = MakeFrame({0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, port.mac(), 0, 1);
        for (int attempt = 0; attempt < 10; ++attempt) {
            if (!port.Send(request))
                return false;
            Bytes f;
            while (port.Receive(f, kWaitMs / 10)) {
                if (MacTextOf(f, 6) == DevSimMac(1) && U16(f, 14) == 0 && U16(f, 18) == 4)
                    return true;
            }
        }
        return false;
    }

    TestPort port;
    DevSim sim;
};

TEST_P(DevSimLinkLoss, EndsWhenTheInterfaceIsGoneAndServesThroughADownUp) {
    const LinkCase& c = GetParam();
    ASSERT_TRUE(sim.Start({"--interface", "provix3"}));
    ASSERT_TRUE(Discover());
    ASSERT_EQ(Ip(c.command), 0);

    DevSimState state;
    if (c.ends) {
        int exit_code = -1;
        ASSERT_TRUE(sim.WaitForExit(exit_code, state));
        EXPECT_EQ(exit_code, 1);
        // The final dump still tells what the device got before the loss.
        ASSERT_NE(state.Find(DevSimMac(1)), nullptr);
        EXPECT_GE(state.Find(DevSimMac(1))->discover_requests, 1u);
        return;
    }
    ASSERT_TRUE(Discover()) << "no answer after: " << c.command;
    ASSERT_TRUE(sim.Stop(state));
    const DevSimDevice* d = state.Find(DevSimMac(1));
    ASSERT_NE(d, nullptr);
    EXPECT_GE(d->discover_requests, 2u);
    EXPECT_EQ(d->answers_sent, d->discover_requests);
}

INSTANTIATE_TEST_SUITE_P(
    Links, DevSimLinkLoss,
    ::testing::Values(LinkCase{"PeerDeleted", "link del provix3", true},
                      LinkCase{"AdapterSideDeleted", "link del provix2", true},
                      // Down first: the socket has reported its error and is silent when the
                      // deletion comes.
                      LinkCase{"DeletedWhileDown", "link set provix3 down && ip link del provix3", true},
                      LinkCase{"DownAndUpAgain", "link set provix3 down && ip link set provix3 up", false}),
    [](const ::testing::TestParamInfo<LinkCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace provix::test
