// The engine's own rules, without a network: discovery answers into the table and the store, and
// what happens when the adapter cannot be opened or the workers are told to stop.
#include "protocol/AcTransmitManage.h"

#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestData.h"

namespace provix {
namespace {

using namespace std::chrono_literals;

const MacAddress kAdapter{0x00, 0xe0, 0x4c, 0x68, 0x01, 0x02};
const MacAddress kDeviceA{0xc8, 0x3a, 0x35, 0xa1, 0xb2, 0xc3};
const MacAddress kDeviceB{0xc8, 0x3a, 0x35, 0xa1, 0xb2, 0xc4};

class EngineRules : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (std::filesystem::temp_directory_path() / "provix-engine-XXXXXX").string();
        folder = mkdtemp(tmpl.data());
        store = std::make_unique<CSqlManagement>((folder / "data.db").string());
        ASSERT_TRUE(store->IsOpen());
        manager = std::make_unique<AcTransmitManage>(*store, folder.string() + "/");
    }
    void TearDown() override {
        manager.reset();
        store.reset();
        std::filesystem::remove_all(folder);
    }

    std::map<std::string, ap_info_stu> Rows() { return testing::RowsByMac(*store); }

    std::filesystem::path folder;
    std::unique_ptr<CSqlManagement> store;
    std::unique_ptr<AcTransmitManage> manager;
};

ether_frame_stu Answer(const MacAddress& device, const std::string& ssid) {
    return BuildDiscoverAnswer(kAdapter, device, {ssid, ssid + "-5G", "key24", "key5"});
}

TEST_F(EngineRules, FirstAnswerPerScanWinsAndClearDevicesStartsOver) {
    manager->ProcessDiscover(Answer(kDeviceA, "first"));
    manager->ProcessDiscover(Answer(kDeviceB, "other"));
    manager->ProcessDiscover(Answer(kDeviceA, "second"));

    std::vector<ap_discover_stu> table = manager->Devices();
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].mac, "C8:3A:35:A1:B2:C3");
    EXPECT_EQ(table[0].ssid2, "first");
    EXPECT_EQ(table[0].ssid5, "first-5G");
    EXPECT_EQ(table[0].wpakey2, "key24");
    EXPECT_EQ(table[0].wpakey5, "key5");
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows["C8:3A:35:A1:B2:C3"].ssid2, "first");

    // A later scan: the device is recorded again, its row overwritten and its statuses reset.
    store->SetParaStatus("C8:3A:35:A1:B2:C3", OperateSuccess);
    manager->ClearDevices();
    EXPECT_TRUE(manager->Devices().empty());
    manager->ProcessDiscover(Answer(kDeviceA, "again"));
    rows = Rows();
    EXPECT_EQ(rows["C8:3A:35:A1:B2:C3"].ssid2, "again");
    EXPECT_EQ(rows["C8:3A:35:A1:B2:C3"].para_status, WaitOperate);
    EXPECT_EQ(manager->Devices().size(), 1u);
}

// An answer cut short reads as zero-padded: the device is recorded with empty keys.
TEST_F(EngineRules, ShortAnswerGivesEmptyTexts) {
    const ether_frame_stu full = Answer(kDeviceA, "ssid");
    const ether_frame_stu cut = FrameFromBytes(std::span<const std::uint8_t>(full.bytes.data(), 90));
    manager->ProcessDiscover(cut);
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows.begin()->second.ssid2, "ssid");
    EXPECT_EQ(rows.begin()->second.wpakey2, "");
    EXPECT_EQ(rows.begin()->second.wpakey5, "");
}

TEST_F(EngineRules, AdapterThatCannotBeOpenedIsReported) {
    manager->SetAdapter(kAdapter, "provix-no-such-adapter");
    EXPECT_FALSE(manager->Init());
    EXPECT_FALSE(manager->LastCaptureError().text.empty());
    EXPECT_FALSE(manager->SendDiscover());
    EXPECT_FALSE(manager->LastCaptureError().text.empty());
}

// Ten failed opens, 100 ms apart, fail the transfer; a worker told to stop meanwhile records nothing
// and leaves the status its caller set.
TEST_F(EngineRules, TransferOnAMissingAdapterFailsOrStopsQuietly) {
    manager->SetAdapter(kAdapter, "provix-no-such-adapter");
    for (const MacAddress& mac : {kDeviceA, kDeviceB}) {
        manager->ProcessDiscover(Answer(mac, "x"));
    }
    const std::string a = FormatMacUpper(kDeviceA);
    const std::string b = FormatMacUpper(kDeviceB);
    store->SetAntiTheftStatus(a, Operating);
    transmit_param_stu request = manager->MakeRequest(kDeviceA, KIND_JSON);
    EXPECT_EQ(request.src_mac, kAdapter);
    request.command = "{}";
    ASSERT_TRUE(manager->StartTransmit(request));
    const auto give_up = std::chrono::steady_clock::now() + 30s;  // only keeps a fault from hanging
    while (manager->RunningTransfers() > 0 && std::chrono::steady_clock::now() < give_up) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(manager->RunningTransfers(), 0u);
    EXPECT_EQ(Rows()[a].antitheft_status, TransmitFail);

    store->SetAntiTheftStatus(b, Operating);
    request = manager->MakeRequest(kDeviceB, KIND_JSON);
    request.command = "{}";
    ASSERT_TRUE(manager->StartTransmit(request));
    manager->StopTransfers();
    EXPECT_EQ(manager->RunningTransfers(), 0u);
    EXPECT_EQ(Rows()[b].antitheft_status, Operating);
}

}  // namespace
}  // namespace provix
