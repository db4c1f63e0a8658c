// The engine against the device emulator on the far end of the namespace's veth pair: scans,
// transfers of every kind, retransmission, give-up, device verdicts, logs and thread restarts.
#include "protocol/AcTransmitManage.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "DevSim.h"
#include "EngineTestData.h"
#include "TestPort.h"
#include "antitheft/AntiTheftCommand.h"
#include "devices/CSqlManagement.h"
#include "protocol/AdapterList.h"
#include "protocol/DeviceScan.h"

namespace provix {
namespace {

using namespace std::chrono_literals;
using test::DevSim;
using test::DevSimMac;
using test::DevSimState;
using testing::RandomBytes;

// Bound for results that normally arrive within milliseconds; it only keeps a fault from hanging.
constexpr auto kPatience = 30s;

bool WaitUntil(const std::function<bool()>& done, std::chrono::seconds limit = kPatience) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

MacAddress Mac(const std::string& text) {
    return ParseMac(text).value();
}

class EngineNetns : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::RequireNetns()) {
            return;
        }
        std::string tmpl = (std::filesystem::temp_directory_path() / "provix-engine-XXXXXX").string();
        folder = mkdtemp(tmpl.data());
        store = std::make_unique<CSqlManagement>((folder / "data.db").string());
        ASSERT_TRUE(store->IsOpen());
        manager = std::make_unique<AcTransmitManage>(*store, folder.string() + "/");
        std::vector<local_adapter_stu> adapters;
        GetAdapterList(adapters);
        for (const local_adapter_stu& a : adapters) {
            if (a.name == test::TestAdapter()) {
                adapter = a;
            }
        }
        ASSERT_EQ(adapter.name, test::TestAdapter()) << "the namespace's adapter is not offered";
    }

    void TearDown() override {
        manager.reset();
        store.reset();
        if (!folder.empty()) {
            std::filesystem::remove_all(folder);
        }
    }

    // Starts the engine on the adapter with an emptied store, as a scan does, without its timer.
    void StartEngine() {
        ScanStart start = BeginScan(*manager, *store, &adapter);
        ASSERT_TRUE(start.threads_running) << start.capture_error.text;
        ASSERT_TRUE(start.request_sent) << start.capture_error.text;
    }

    // The discovery threads on the adapter, with no request sent.
    void StartThreadsOnly() {
        ASSERT_TRUE(manager->ChooseAdapter(adapter));
        ASSERT_TRUE(manager->Init()) << manager->LastCaptureError().text;
    }

    std::map<std::string, ap_info_stu> Rows() { return testing::RowsByMac(*store); }

    // Starts one transfer per request and waits until every worker has finished.
    void Transfer(const std::vector<transmit_param_stu>& requests) {
        for (const transmit_param_stu& r : requests) {
            ASSERT_TRUE(manager->StartTransmit(r));
        }
        ASSERT_TRUE(WaitUntil([&] { return manager->RunningTransfers() == 0; }, 120s));
    }

    std::string WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::filesystem::path path = folder / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return path.string();
    }

    // The lines of today's log file, header excluded.
    std::vector<std::string> LogLines(const char* file) {
        std::vector<std::string> lines;
        for (const auto& day : std::filesystem::directory_iterator(folder / "Log")) {
            std::istringstream in(ReadFile(day.path() / file));
            for (std::string line; std::getline(in, line);) {
                if (!line.empty() && line != "\r" && line.rfind("MAC\t", 0) != 0) {
                    lines.push_back(line);
                }
            }
        }
        return lines;
    }

    std::filesystem::path folder;
    std::unique_ptr<CSqlManagement> store;
    std::unique_ptr<AcTransmitManage> manager;
    local_adapter_stu adapter;
    DevSim sim;
};

TEST_F(EngineNetns, ScanRecordsEachDeviceOnceWithItsFirstAnswer) {
    ASSERT_TRUE(
        sim.Start({"--devices", "40", "--discover-twice", "--ssid2", "net-{tail}", "--key2", "k{n}"}));
    ScanSummary scan = RunScan(*manager, *store, &adapter, 100ms);
    EXPECT_TRUE(scan.start.threads_running);
    EXPECT_EQ(scan.start.adapter_text, AdapterDisplayText(adapter));

    // Answers arrive within microseconds, so the count at tick 1 already holds; the store may only
    // show them a little later under load, which a longer scan would absorb.
    ASSERT_TRUE(WaitUntil([&] { return store->DeviceCount() == 40; }));
    std::map<std::string, ap_info_stu> rows = Rows();
    ASSERT_EQ(rows.size(), 40u);
    for (int n = 1; n <= 40; ++n) {
        const ap_info_stu& row = rows[DevSimMac(n)];
        EXPECT_EQ(row.mac, DevSimMac(n));
        EXPECT_EQ(row.ssid2.rfind("net-", 0), 0u) << row.ssid2;
        EXPECT_EQ(row.wpakey2, "k" + std::to_string(n)) << "the second answer (ending in #2) must not win";
        EXPECT_EQ(row.date.size(), 19u);
        EXPECT_EQ(row.para_status, WaitOperate);
    }
    EXPECT_EQ(manager->Devices().size(), 40u);
}

TEST_F(EngineNetns, ManyDevicesAnswerAtOnce) {
    ASSERT_TRUE(sim.Start({"--devices", "2000"}));
    StartEngine();
    EXPECT_TRUE(WaitUntil([&] { return store->DeviceCount() == 2000; })) << store->DeviceCount();
    EXPECT_EQ(manager->Devices().size(), 2000u);
}

// The comparison at the 4th tick ends a scan that saw nothing; an answer after that is still
// recorded because the discovery threads keep running.
TEST_F(EngineNetns, LateAnswerArrivesAfterTheScanEnded) {
    ASSERT_TRUE(sim.Start({"--devices", "1", "--discover-delay", "1500"}));
    ScanSummary scan = RunScan(*manager, *store, &adapter, 100ms);
    EXPECT_EQ(scan.ticks, 4);
    EXPECT_EQ(scan.devices, 0);
    EXPECT_TRUE(WaitUntil([&] { return store->DeviceCount() == 1; }));
}

// A second scan deletes the old rows and empties the table: a known device is recorded afresh.
TEST_F(EngineNetns, SecondScanRecordsKnownDevicesAgain) {
    ASSERT_TRUE(sim.Start({"--devices", "3"}));
    StartEngine();
    ASSERT_TRUE(WaitUntil([&] { return store->DeviceCount() == 3; }));
    store->SetParaStatus(DevSimMac(2), TransmitFail);
    store->SaveDevice({"0A:0B:0C:0D:0E:0F", "2020-01-01 00:00:00", "", "", "", ""});  // gone since

    StartEngine();
    ASSERT_TRUE(WaitUntil([&] { return store->DeviceCount() == 3 && manager->Devices().size() == 3; }));
    std::map<std::string, ap_info_stu> rows = Rows();
    EXPECT_EQ(rows.count("0A:0B:0C:0D:0E:0F"), 0u);
    EXPECT_EQ(rows[DevSimMac(2)].para_status, WaitOperate);
}

struct TransferCase {
    const char* name;
    std::int32_t kind;
    std::size_t logo_size;
    std::size_t para_size;
};

class EngineTransfer : public EngineNetns, public ::testing::WithParamInterface<TransferCase> {};

// Every kind, with the segment edge cases: the device receives the payload byte-exact, reports
// success, and the device's verdict is what the store ends with.
TEST_P(EngineTransfer, DeliversAndRecordsTheDevicesVerdict) {
    const TransferCase& c = GetParam();
    ASSERT_TRUE(sim.Start({"--devices", "2"}));
    StartEngine();
    ASSERT_TRUE(WaitUntil([&] { return store->DeviceCount() == 2; }));

    const auto logo = RandomBytes(c.logo_size, 1);
    const auto para = RandomBytes(c.para_size, 2);
    std::vector<transmit_param_stu> requests;
    for (int n = 1; n <= 2; ++n) {
        transmit_param_stu r = manager->MakeRequest(Mac(DevSimMac(n)), c.kind);
        r.logo_path = WriteFile("logo.jpg", logo);
        r.para_path = WriteFile("config.xml", para);
        r.command = R"({"Lockcode":"","Enable":"1","ACName":"ac-)" + std::to_string(n) +
                    R"(","DNS1":"1.1.1.1","DNS2":"2.2.2.2"})";
        requests.push_back(r);
    }
    Transfer(requests);

    DevSimState state;
    ASSERT_TRUE(sim.Dump(state));
    const bool sends_logo = c.kind == KIND_LOGO || c.kind == KIND_LOGO_PARA;
    const bool sends_para = c.kind == KIND_PARA || c.kind == KIND_LOGO_PARA;
    // The receive thread records the verdict as the report arrives; give it that moment.
    ASSERT_TRUE(WaitUntil([&] {
        for (const auto& [mac, row] : Rows()) {
            if ((sends_logo && row.logo_status != OperateSuccess) ||
                (sends_para && row.para_status != OperateSuccess) ||
                (c.kind == KIND_JSON && row.antitheft_status != OperateSuccess)) {
                return false;
            }
        }
        return true;
    }));
    for (int n = 1; n <= 2; ++n) {
        const test::DevSimDevice* device = state.Find(DevSimMac(n));
        ASSERT_NE(device, nullptr);
        EXPECT_EQ(device->violation_count, 0u);
        std::size_t file_index = 0;
        for (std::uint16_t module : {MODULE_LOGO, MODULE_PARA}) {
            if ((module == MODULE_LOGO && !sends_logo) || (module == MODULE_PARA && !sends_para)) {
                continue;
            }
            ASSERT_LT(file_index, device->files.size());
            const test::DevSimFile& file = device->files[file_index++];
            const auto& expected = module == MODULE_LOGO ? logo : para;
            EXPECT_EQ(file.module, module);
            EXPECT_EQ(file.total, c.kind == KIND_LOGO_PARA ? 2 : 1);
            EXPECT_EQ(file.size, expected.size());
            EXPECT_EQ(ReadFile(file.path), std::string(expected.begin(), expected.end()));
        }
        EXPECT_EQ(device->files.size(), file_index);
        if (c.kind == KIND_JSON) {
            ASSERT_EQ(device->commands.size(), 1u);
            EXPECT_EQ(device->commands[0].text, requests[static_cast<std::size_t>(n - 1)].command);
        }
    }
    const std::size_t reports =
        2 * ((sends_logo ? 1 : 0) + (sends_para ? 1 : 0) + (c.kind == KIND_JSON ? 1 : 0));
    EXPECT_EQ(LogLines("Success.txt").size(), reports);
}

INSTANTIATE_TEST_SUITE_P(Kinds, EngineTransfer,
                         ::testing::Values(TransferCase{"EmptyPara", KIND_PARA, 0, 0},
                                           TransferCase{"Para1024", KIND_PARA, 0, 1024},
                                           TransferCase{"Para1025", KIND_PARA, 0, 1025},
                                           TransferCase{"Logo2048", KIND_LOGO, 2048, 0},
                                           TransferCase{"LogoPara", KIND_LOGO_PARA, 30000, 5000},
                                           TransferCase{"Json", KIND_JSON, 0, 0}),
                         [](const ::testing::TestParamInfo<TransferCase>& info) {
                             return std::string(info.param.name);
                         });

// The device loses a share of the segments; each loss costs a one-second retransmission and the file
// still arrives whole.
TEST_F(EngineNetns, RetransmissionRecoversDroppedSegments) {
    ASSERT_TRUE(sim.Start({"--devices", "1", "--drop", "0.3", "--seed", "1"}));
    StartThreadsOnly();
    store->SaveDevice({DevSimMac(1), "2020-01-01 00:00:00", "", "", "", ""});
    const auto para = RandomBytes(5 * 1024 + 100, 3);
    transmit_param_stu r = manager->MakeRequest(Mac(DevSimMac(1)), KIND_PARA);
    r.para_path = WriteFile("config.xml", para);
    Transfer({r});

    DevSimState state;
    ASSERT_TRUE(sim.Dump(state));
    const test::DevSimDevice* device = state.Find(DevSimMac(1));
    ASSERT_NE(device, nullptr);
    EXPECT_GT(device->dropped, 0u) << "the seed must make the device lose something";
    ASSERT_EQ(device->files.size(), 1u);
    EXPECT_EQ(ReadFile(device->files[0].path), std::string(para.begin(), para.end()));
    EXPECT_TRUE(WaitUntil([&] { return Rows()[DevSimMac(1)].para_status == OperateSuccess; }));
}

// A file of more than 65535 segments: the 16-bit numbers wrap (segment 65536 carries 0xFFFF, then 1,
// 2, ...), and from there on only a 0xFFFF answer acknowledges. The test plays the device so that it
// answers each segment once: a device that also answers retransmissions with 0xFFFF would let a late
// duplicate acknowledge the next segment, which the protocol cannot tell apart.
TEST_F(EngineNetns, FileBeyondSixteenBitSegmentNumbers) {
    test::TestPort device;
    ASSERT_TRUE(device.Open(test::TestPeer()));
    StartThreadsOnly();
    const MacAddress device_mac = device.mac();
    const MacAddress adapter_mac = manager->AdapterMac();
    const std::vector<std::uint8_t> para = RandomBytes(65537u * 1024u + 3u, 6);
    transmit_param_stu r = manager->MakeRequest(device_mac, KIND_PARA);
    r.para_path = WriteFile("config.xml", para);
    ASSERT_TRUE(manager->StartTransmit(r));

    std::vector<std::uint8_t> received;
    std::vector<std::uint16_t> seqs_from_65535;
    ether_frame_stu last;
    std::uint64_t segments = 0;
    std::vector<std::uint8_t> in;
    while (segments < 65538 && device.Receive(in, 10000)) {
        const ether_frame_stu frame = FrameFromBytes(in);
        if (segments > 0 && frame == last) {
            continue;  // a retransmission of a segment already answered
        }
        last = frame;
        ++segments;
        if (segments >= 65535) {
            seqs_from_65535.push_back(frame.Seq());
        }
        const auto data = frame.Data();
        received.insert(received.end(), data.begin(), data.end());
        const std::uint16_t ack_seq = segments >= 65536 ? kSeqWrap : frame.Seq();
        const ether_frame_stu ack = BuildReply(adapter_mac, device_mac, MODULE_PARA, ack_seq);
        ASSERT_TRUE(device.Send({ack.bytes.begin(), ack.bytes.end()}));
    }
    ASSERT_TRUE(WaitUntil([&] { return manager->RunningTransfers() == 0; }));
    EXPECT_EQ(segments, 65538u);
    EXPECT_EQ(seqs_from_65535, (std::vector<std::uint16_t>{0xFFFF, 0xFFFF, 1, 2}));
    EXPECT_EQ(last.SegFlag(), SEG_LAST);
    EXPECT_TRUE(received == para) << "received " << received.size() << " of " << para.size() << " bytes";
}

// A device that never answers: every payload is sent five times and fails; the configuration file of
// a logo-and-configuration request still gets its own attempt. Both devices wait in parallel.
TEST_F(EngineNetns, SilentDeviceFailsAfterFiveSendings) {
    ASSERT_TRUE(sim.Start({"--devices", "2", "--for", "2", "--silent"}));
    StartEngine();
    ASSERT_TRUE(WaitUntil([&] { return store->DeviceCount() == 1; }));
    store->SaveDevice({DevSimMac(2), "2020-01-01 00:00:00", "", "", "", ""});  // known from an earlier scan

    transmit_param_stu command = manager->MakeRequest(Mac(DevSimMac(2)), KIND_JSON);
    command.command = R"({"Lockcode":"","Enable":"1","ACName":"","DNS1":"","DNS2":""})";
    transmit_param_stu files = manager->MakeRequest(Mac(DevSimMac(2)), KIND_PARA);
    files.para_path = WriteFile("config.xml", RandomBytes(3000, 4));
    transmit_param_stu healthy = manager->MakeRequest(Mac(DevSimMac(1)), KIND_PARA);
    healthy.para_path = files.para_path;
    Transfer({command, files, healthy});

    std::map<std::string, ap_info_stu> rows = Rows();
    EXPECT_EQ(rows[DevSimMac(2)].antitheft_status, TransmitFail);
    EXPECT_EQ(rows[DevSimMac(2)].para_status, TransmitFail);
    EXPECT_TRUE(WaitUntil([&] { return Rows()[DevSimMac(1)].para_status == OperateSuccess; }));

    DevSimState state;
    ASSERT_TRUE(sim.Dump(state));
    const test::DevSimDevice* silent = state.Find(DevSimMac(2));
    ASSERT_NE(silent, nullptr);
    // The command and the first segment, five times each; nothing past the first segment.
    EXPECT_EQ(silent->frames - silent->discover_requests, 10u);
    EXPECT_EQ(silent->acks_sent, 0u);
    EXPECT_TRUE(LogLines("Fail.txt").empty()) << "transfer failures are not device reports";
}

// The device refuses a command with another lock code: the store shows the mismatch and the failure log
// holds the line; the right code succeeds.
TEST_F(EngineNetns, LockCodeDecidesTheCommandsVerdict) {
    ASSERT_TRUE(sim.Start({"--devices", "2", "--lockcode", "4321"}));
    StartEngine();
    ASSERT_TRUE(WaitUntil([&] { return store->DeviceCount() == 2; }));
    // The commands as the anti-theft form builds them.
    const auto command_with = [](const std::string& lock_code) {
        AntiTheftInput input{lock_code, lock_code, true, "ac-main", "8.8.8.8", "2001:db8::1"};
        EXPECT_TRUE(ValidateAntiTheftInput(input).Passed());
        std::string command;
        EXPECT_TRUE(BuildAntiTheftCommand(input, command).Passed());
        return command;
    };
    transmit_param_stu wrong = manager->MakeRequest(Mac(DevSimMac(1)), KIND_JSON);
    wrong.command = command_with("1234");
    transmit_param_stu right = manager->MakeRequest(Mac(DevSimMac(2)), KIND_JSON);
    right.command = command_with("4321");
    Transfer({wrong, right});

    ASSERT_TRUE(WaitUntil([&] {
        auto rows = Rows();
        return rows[DevSimMac(1)].antitheft_status == LockcodeMismatch &&
               rows[DevSimMac(2)].antitheft_status == OperateSuccess;
    }));
    DevSimState state;
    ASSERT_TRUE(sim.Dump(state));
    ASSERT_NE(state.Find(DevSimMac(2)), nullptr);
    ASSERT_EQ(state.Find(DevSimMac(2))->commands.size(), 1u);
    EXPECT_EQ(state.Find(DevSimMac(2))->commands[0].text, right.command);
    const std::vector<std::string> failed = LogLines("Fail.txt");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].rfind(DevSimMac(1) + "\tJSON_CMD_DATA\t", 0), 0u) << failed[0];
    const std::vector<std::string> succeeded = LogLines("Success.txt");
    ASSERT_EQ(succeeded.size(), 1u);
    EXPECT_EQ(succeeded[0].rfind(DevSimMac(2) + "\tJSON_CMD_DATA\t", 0), 0u) << succeeded[0];
}

// The test plays the device itself on the peer interface, so it can report before acknowledging:
// the worker's TransmitFinish comes after the verdict and must not replace it.
TEST_F(EngineNetns, LateTransmitFinishKeepsTheDevicesVerdict) {
    test::TestPort device;
    ASSERT_TRUE(device.Open(test::TestPeer()));
    StartThreadsOnly();
    const MacAddress device_mac = device.mac();
    const std::string mac = FormatMacUpper(device_mac);
    store->SaveDevice({mac, "2020-01-01 00:00:00", "", "", "", ""});
    const MacAddress adapter_mac = manager->AdapterMac();

    transmit_param_stu r = manager->MakeRequest(device_mac, KIND_JSON);
    r.command = "{}";
    ASSERT_TRUE(manager->StartTransmit(r));
    std::vector<std::uint8_t> in;
    ASSERT_TRUE(device.Receive(in, 5000));
    const ether_frame_stu command = FrameFromBytes(in);
    ASSERT_EQ(command.Msg(), MSG_JSON_CMD);

    const ether_frame_stu report = BuildReport(adapter_mac, device_mac, MODULE_JSON, MSG_JSON_SUCCESS);
    ASSERT_TRUE(device.Send({report.bytes.begin(), report.bytes.end()}));
    ASSERT_TRUE(WaitUntil([&] { return Rows()[mac].antitheft_status == OperateSuccess; }));
    const ether_frame_stu ack = BuildReply(adapter_mac, device_mac, MODULE_JSON, 1);
    ASSERT_TRUE(device.Send({ack.bytes.begin(), ack.bytes.end()}));
    ASSERT_TRUE(WaitUntil([&] { return manager->RunningTransfers() == 0; }));
    EXPECT_EQ(Rows()[mac].antitheft_status, OperateSuccess);

    // A report from a device the store does not know changes no row, yet is logged.
    const MacAddress stranger{0x02, 0x99, 0, 0, 0, 7};
    const ether_frame_stu logo_ok = BuildReport(adapter_mac, stranger, MODULE_LOGO, MSG_LOGO_SUCCESS);
    ASSERT_TRUE(device.Send({logo_ok.bytes.begin(), logo_ok.bytes.end()}));
    ASSERT_TRUE(WaitUntil([&] { return LogLines("Success.txt").size() == 2; }));
    EXPECT_EQ(LogLines("Success.txt")[1].rfind("02:99:00:00:00:07\tLOG_DATA\t", 0), 0u);
    EXPECT_EQ(store->DeviceCount(), 1);
}

std::size_t ThreadCount() {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                                  std::filesystem::directory_iterator()));
}

// Restarting the discovery threads replaces the pair: one more Init leaves the same number of
// threads, and a report is handled once, not by two receive threads.
TEST_F(EngineNetns, InitTwiceLeavesOnePairOfThreads) {
    ASSERT_TRUE(sim.Start({"--devices", "1"}));
    const std::size_t before = ThreadCount();
    StartThreadsOnly();
    const std::size_t after_first = ThreadCount();
    EXPECT_EQ(after_first, before + 2);
    ASSERT_TRUE(manager->Init());
    ASSERT_TRUE(manager->Init());
    EXPECT_EQ(ThreadCount(), after_first);

    // Requested only now: an answer arriving while a pair is replaced has no receiver.
    ASSERT_TRUE(manager->SendDiscover());
    ASSERT_TRUE(WaitUntil([&] { return store->DeviceCount() == 1; }));
    transmit_param_stu command = manager->MakeRequest(Mac(DevSimMac(1)), KIND_JSON);
    command.command = "{}";
    Transfer({command});
    transmit_param_stu file = manager->MakeRequest(Mac(DevSimMac(1)), KIND_PARA);
    file.para_path = WriteFile("config.xml", RandomBytes(10, 5));
    Transfer({file});
    // Once both reports are in, a second receive thread would have logged the first one again.
    const auto logged = [&](const char* label) {
        for (const std::string& line : LogLines("Success.txt")) {
            if (line.find(label) != std::string::npos) {
                return true;
            }
        }
        return false;
    };
    ASSERT_TRUE(WaitUntil([&] { return logged("\tJSON_CMD_DATA\t") && logged("\tPARA_DATA\t"); }));
    EXPECT_EQ(LogLines("Success.txt").size(), 2u);
}

}  // namespace
}  // namespace provix
