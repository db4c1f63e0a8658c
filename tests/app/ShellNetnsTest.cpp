// The desktop shell on a real engine: inside the test's private namespace, against the device
// emulator on the far end of the veth pair.
#include "app/CApplicationDlg.h"
#include "app/CSelectAdapterDlg.h"
#include "app/ScanEngine.h"

#include "DevSim.h"
#include "ShellFixture.h"
#include "devices/CSqlManagement.h"
#include "protocol/AcTransmitManage.h"
#include "protocol/AdapterList.h"
#include "protocol/CurrentAdapter.h"
#include "ui/CCustomComboBox.h"

#include <QSignalSpy>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace provix {
namespace {

bool WaitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Takes raw-frame rights out of this thread's effective set, as for an ordinary user without the
// capabilities, and puts them back afterwards.
class WithoutCaptureRights {
public:
    WithoutCaptureRights() {
        header.version = _LINUX_CAPABILITY_VERSION_3;
        header.pid = 0;
        ok = syscall(SYS_capget, &header, saved) == 0;
        if (!ok)
            return;
        __user_cap_data_struct reduced[2] = {saved[0], saved[1]};
        reduced[0].effective &= ~((1u << CAP_NET_RAW) | (1u << CAP_NET_ADMIN));
        ok = syscall(SYS_capset, &header, reduced) == 0;
    }
    ~WithoutCaptureRights() {
        if (ok)
            syscall(SYS_capset, &header, saved);
    }
    bool ok = false;

private:
    __user_cap_header_struct header{};
    __user_cap_data_struct saved[2]{};
};

class ShellNetns : public ShellTest {
protected:
    void SetUp() override {
        if (!test::RequireNetns())
            return;
        ShellTest::SetUp();
        std::string pattern = (std::filesystem::temp_directory_path() / "provix-shell-XXXXXX").string();
        folder = mkdtemp(pattern.data());
        store = std::make_unique<CSqlManagement>((folder / "data.db").string());
        manager = std::make_unique<AcTransmitManage>(*store, folder.string() + "/");
        engine = std::make_unique<EngineScan>(*manager, *store);
        window = std::make_unique<CApplicationDlg>(*engine);
    }
    void TearDown() override {
        window.reset();
        engine.reset();
        manager.reset();
        store.reset();
        if (!folder.empty())
            std::filesystem::remove_all(folder);
        ShellTest::TearDown();
    }

    // Picks the namespace's adapter in the list, as the operator would.
    void ChooseTestAdapter() {
        CCustomComboBox* list = window->AdapterScreen()->AdapterList();
        const std::string wanted = test::TestAdapter();
        std::vector<local_adapter_stu> adapters;
        GetAdapterList(adapters);
        for (std::size_t i = 0; i < adapters.size(); ++i) {
            if (adapters[i].name == wanted) {
                ASSERT_EQ(list->GetItemText(static_cast<int>(i)).toStdString(),
                          AdapterDisplayText(adapters[i]));
                list->SetCurrentIndex(static_cast<int>(i));
                return;
            }
        }
        FAIL() << wanted << " is not offered";
    }

    std::filesystem::path folder;
    std::unique_ptr<CSqlManagement> store;
    std::unique_ptr<AcTransmitManage> manager;
    std::unique_ptr<EngineScan> engine;
    std::unique_ptr<CApplicationDlg> window;
    test::DevSim sim;
};

TEST_F(ShellNetns, ScanFindsTheEmulatedDevicesAndShowsTheDevicesScreen) {
    ASSERT_TRUE(sim.Start({"--devices", "8"}));
    ChooseTestAdapter();
    CSelectAdapterDlg* screen = window->AdapterScreen();
    QSignalSpy finished(screen, &CSelectAdapterDlg::ScanFinished);

    screen->OnScanDevices();
    ASSERT_FALSE(screen->ScanReady());
    EXPECT_NE(CurrentAdapterText().find(test::TestAdapter()), std::string::npos);
    // The timer's ticks are given by hand once the answers are in, so the end does not depend on
    // how fast this machine is.
    ASSERT_TRUE(WaitUntil([&] { return store->DeviceCount() == 8; }));
    for (int tick = 0; tick < 20 && finished.isEmpty(); ++tick)
        screen->OnScanTick();
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(window->CurrentScreen(), CApplicationDlg::kDevicesScreen);
    EXPECT_EQ(store->DeviceCount(), 8);
    for (int n = 1; n <= 8; ++n) {
        ap_info_stu info;
        ASSERT_TRUE(store->GetDeviceInfo(info, test::DevSimMac(n)));
        EXPECT_EQ(info.mac, test::DevSimMac(n));
    }
}

TEST_F(ShellNetns, AdapterWithoutCaptureRightsGetsANoteNamingTheFix) {
    ChooseTestAdapter();
    CSelectAdapterDlg* screen = window->AdapterScreen();
    QSignalSpy finished(screen, &CSelectAdapterDlg::ScanFinished);
    NoteCatcher catcher;
    {
        WithoutCaptureRights restricted;
        ASSERT_TRUE(restricted.ok);
        catcher.Arm(QDialog::Accepted);
        screen->OnScanDevices();
    }
    EXPECT_TRUE(catcher.seen);
    EXPECT_TRUE(catcher.note.contains("setcap cap_net_raw,cap_net_admin=eip")) << catcher.note.toStdString();
    EXPECT_TRUE(screen->ScanReady());
    EXPECT_EQ(finished.count(), 0);
    EXPECT_EQ(window->CurrentScreen(), CApplicationDlg::kAdapterScreen);
}

}  // namespace
}  // namespace provix
