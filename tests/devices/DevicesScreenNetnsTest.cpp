// The devices screen following a real anti-theft operation: the emulator's devices are scanned
// over the namespace's veth pair, two are ticked through the grid, the command goes out through
// the engine while the screen monitors on its own timers, and the icons and counters follow.
#include "devices/CDevicesControlDlg.h"

#include "../ui/SkinImageFiles.h"
#include "DevSim.h"
#include "antitheft/AntiTheftCommand.h"
#include "devices/CSqlManagement.h"
#include "devices/DeviceGridHeader.h"
#include "devices/DeviceGridView.h"
#include "devices/DeviceSelectionReceiver.h"
#include "devices/OperationStartEvent.h"
#include "protocol/AcTransmitManage.h"
#include "protocol/AdapterList.h"
#include "protocol/CurrentAdapter.h"
#include "protocol/DeviceScan.h"
#include "ui/AppSettings.h"
#include "ui/CTButtonPicture.h"
#include "ui/CTStaticGdiplus.h"

#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

namespace provix {
namespace {

using test::DevSim;
using test::DevSimMac;

const QColor kUnselect(120, 120, 120);
const QColor kSelect(0, 160, 0);
const QColor kSuccess(0, 200, 100);
const QColor kOperating(230, 180, 0);

// Stands in for the anti-theft screen: it starts the operation the way that screen does once
// the operator confirmed.
struct AntiTheftStarter : QObject, DeviceSelectionReceiver {
    void SetDevices(SelectionQueue queue) override { devices = std::move(queue); }
    SelectionQueue devices;
};

class DevicesScreenNetns : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::RequireNetns())
            return;
        const QString skin = skin_dir.filePath("Skin/");
        const std::pair<const char*, QColor> pictures[] = {{"unselect.bmp", kUnselect},
                                                           {"select.bmp", kSelect},
                                                           {"success.bmp", kSuccess},
                                                           {"operating.bmp", kOperating}};
        for (const auto& [name, colour] : pictures)
            test::WriteSolidImage(skin + name, QSize(24, 24), colour);
        LoadSkinPaths(skin_dir.path().toStdString() + "/");

        folder = skin_dir.path().toStdString() + "/";
        store = std::make_unique<CSqlManagement>(folder + "data.db");
        ASSERT_TRUE(store->IsOpen());
        manager = std::make_unique<AcTransmitManage>(*store, folder);
        std::vector<local_adapter_stu> adapters;
        GetAdapterList(adapters);
        for (const local_adapter_stu& a : adapters)
            if (a.name == test::TestAdapter())
                adapter = a;
        ASSERT_EQ(adapter.name, test::TestAdapter()) << "the namespace's adapter is not offered";
    }

    void TearDown() override {
        screen.reset();
        manager.reset();
        store.reset();
    }

    QPoint PicturePoint(int row, int column) {
        DeviceGridView& view = *screen->View();
        const QRect cell = view.visualRect(view.model()->index(row - 1, column));
        return QPoint(cell.left() + DeviceGridView::kCellMargin + 12, cell.center().y());
    }

    QTemporaryDir skin_dir;
    std::string folder;
    std::unique_ptr<CSqlManagement> store;
    std::unique_ptr<AcTransmitManage> manager;
    local_adapter_stu adapter;
    DevSim sim;
    std::unique_ptr<CDevicesControlDlg> screen;
};

TEST_F(DevicesScreenNetns, AntiTheftOnTwoTickedDevicesEndsWithTwoSuccesses) {
    ASSERT_TRUE(sim.Start({"--devices", "3"}));
    const ScanStart start = BeginScan(*manager, *store, &adapter);
    ASSERT_TRUE(start.threads_running) << start.capture_error.text;
    ASSERT_TRUE(start.request_sent) << start.capture_error.text;
    // Bound only against a hang; the answers arrive within milliseconds.
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->DeviceCount() == 3; }, 30000));

    screen = std::make_unique<CDevicesControlDlg>(store.get(), nullptr);
    AntiTheftStarter antitheft;
    screen->SetOperationScreens(nullptr, &antitheft);
    screen->RebuildFromStore();
    screen->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(screen.get()));
    EXPECT_EQ(screen->AdapterLabel()->Text(), "NIC:" + QString::fromStdString(CurrentAdapterText()).left(70));

    DeviceGridView& view = *screen->View();
    ASSERT_EQ(view.model()->rowCount(), 3);
    for (int row : {1, 3})
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                          view.visualRect(view.model()->index(row - 1, 0)).center());
    EXPECT_EQ(test::PixelOf(*view.viewport(), PicturePoint(3, 0)), kSelect);
    QTest::mouseClick(screen->AntiTheftButton(), Qt::LeftButton);
    ASSERT_EQ(antitheft.devices, (SelectionQueue{{DevSimMac(1)}, {DevSimMac(3)}}));

    // What the anti-theft screen does on Apply: post the start, reset, mark and send.
    AntiTheftInput input;
    input.lock_code = input.confirm_lock_code = "lock-1";
    input.ac_name = "ac";
    input.primary_dns = "8.8.8.8";
    input.secondary_dns = "1.1.1.1";
    std::string command;
    ASSERT_TRUE(BuildAntiTheftCommand(input, command).Passed());
    PostOperationStart(screen.get(), WM_ANTITHEFT_START, &antitheft);
    ASSERT_TRUE(store->ResetAllStatuses());
    for (const mac_stu& device : antitheft.devices) {
        ASSERT_TRUE(store->SetAntiTheftStatus(device.mac, Operating));
        transmit_param_stu request = manager->MakeRequest(ParseMac(device.mac).value(), KIND_JSON);
        request.command = command;
        ASSERT_TRUE(manager->StartTransmit(request));
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(screen->Monitor().IsMonitoring());
    EXPECT_FALSE(view.isEnabled());

    // Monitoring ends by itself once both verdicts are counted, at the latest after 15 s.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !screen->Monitor().IsMonitoring(); }, 30000));
    EXPECT_EQ(screen->SuccessCountLabel()->Text(), "2");
    EXPECT_EQ(screen->FailCountLabel()->Text(), "0");
    EXPECT_EQ(screen->Grid().StatusImage(1), IMG_SUCCESS);
    EXPECT_EQ(screen->Grid().StatusImage(2), IMG_NONE);
    EXPECT_EQ(screen->Grid().StatusImage(3), IMG_SUCCESS);
    EXPECT_EQ(test::PixelOf(*view.viewport(), PicturePoint(1, 3)), kSuccess);
    EXPECT_EQ(test::PixelOf(*view.viewport(), PicturePoint(3, 3)), kSuccess);
    EXPECT_EQ(test::PixelOf(*view.viewport(), PicturePoint(3, 0)), kUnselect);
    EXPECT_EQ(screen->Grid().TickedCount(), 0);
    EXPECT_TRUE(view.isEnabled());
    EXPECT_TRUE(screen->AntiTheftButton()->isEnabled());

    test::DevSimState state;
    ASSERT_TRUE(sim.Dump(state));
    for (int n : {1, 3}) {
        const test::DevSimDevice* device = state.Find(DevSimMac(n));
        ASSERT_NE(device, nullptr);
        ASSERT_EQ(device->commands.size(), 1u);
        EXPECT_EQ(device->commands[0].text, command);
    }
    ASSERT_NE(state.Find(DevSimMac(2)), nullptr);
    EXPECT_TRUE(state.Find(DevSimMac(2))->commands.empty());
}

}  // namespace
}  // namespace provix
