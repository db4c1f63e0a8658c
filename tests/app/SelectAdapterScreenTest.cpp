#include "app/CSelectAdapterDlg.h"

#include "ScriptedScanEngine.h"
#include "ShellFixture.h"
#include "protocol/CurrentAdapter.h"
#include "ui/CCustomComboBox.h"
#include "ui/CTButtonPicture.h"
#include "ui/CTPicture.h"

#include <QSignalSpy>

namespace provix {
namespace {

class AdapterScreen : public ShellTest {
protected:
    // Presses "Scan Devices" and feeds timer ticks until the scan ends; the tick it ended at, or 0.
    int ScanToEnd(CSelectAdapterDlg& screen, QSignalSpy& finished, int limit = 100) {
        screen.OnScanDevices();
        for (int tick = 1; tick <= limit; ++tick) {
            screen.OnScanTick();
            if (!finished.isEmpty())
                return tick;
        }
        return 0;
    }
};

TEST_F(AdapterScreen, ScanEndsWhenTheCountStopsGrowing) {
    const struct {
        const char* name;
        std::function<int(int)> count_at;
        int end_tick;
        int requests;  // the first included
    } cases[] = {
        {"no device answers", [](int) { return 0; }, 4, 1},
        {"ten answer in the first second", [](int) { return 10; }, 4, 1},
        {"one answers at the 6th second after an empty start", [](int t) { return t >= 6 ? 1 : 0; }, 4, 1},
        {"growth until the 7th second", [](int t) { return std::min(t, 7); }, 12, 1},
        {"growth until the 13th second", [](int t) { return std::min(t, 13); }, 20, 2},
        {"growth until the 30th second", [](int t) { return std::min(t, 30); }, 36, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedScanEngine engine;
        engine.adapters = {Adapter("provix0", 1)};
        engine.count_at = c.count_at;
        CSelectAdapterDlg screen(engine, nullptr);
        QSignalSpy finished(&screen, &CSelectAdapterDlg::ScanFinished);

        EXPECT_EQ(ScanToEnd(screen, finished), c.end_tick);
        EXPECT_EQ(engine.requests, c.requests);
        EXPECT_EQ(finished.count(), 1);
        EXPECT_TRUE(screen.ScanReady());
        EXPECT_FALSE(screen.ScanTimer().isActive());
        EXPECT_EQ(screen.ScanTicks(), 0);
    }
}

TEST_F(AdapterScreen, ScanningStateShowsOnTheScreenAndPressingAgainDoesNothing) {
    ScriptedScanEngine engine;
    engine.adapters = {Adapter("provix0", 1)};
    engine.count_at = [](int t) { return t; };
    CSelectAdapterDlg screen(engine, nullptr);
    ASSERT_TRUE(screen.ScanButton()->isEnabled());
    ASSERT_TRUE(screen.WaitPicture()->isHidden());

    screen.OnScanDevices();
    EXPECT_FALSE(screen.ScanReady());
    EXPECT_FALSE(screen.ScanButton()->isEnabled());
    EXPECT_EQ(screen.ScanButton()->text(), "Scanning for devices");
    EXPECT_FALSE(screen.WaitPicture()->isHidden());
    EXPECT_TRUE(screen.ScanTimer().isActive());
    EXPECT_EQ(screen.ScanTimer().interval(), 1000);

    screen.OnScanTick();
    screen.OnScanDevices();
    EXPECT_EQ(engine.begin_calls, 1);
    EXPECT_EQ(screen.ScanTicks(), 1) << "a second press must not restart the count";

    engine.count_at = [](int) { return 1; };
    QSignalSpy finished(&screen, &CSelectAdapterDlg::ScanFinished);
    for (int i = 0; i < 10 && finished.isEmpty(); ++i)
        screen.OnScanTick();
    ASSERT_EQ(finished.count(), 1);
    EXPECT_TRUE(screen.ScanButton()->isEnabled());
    EXPECT_EQ(screen.ScanButton()->text(), "Scan Devices");
    EXPECT_TRUE(screen.WaitPicture()->isHidden());

    // A second scan starts from scratch.
    screen.OnScanDevices();
    EXPECT_EQ(engine.begin_calls, 2);
    EXPECT_EQ(screen.ScanTicks(), 0);
}

TEST_F(AdapterScreen, EmptyAdapterListAnswersWithANoteAndRefreshes) {
    ScriptedScanEngine engine;
    CSelectAdapterDlg screen(engine, nullptr);
    ASSERT_EQ(screen.AdapterList()->Items().Count(), 0);

    engine.adapters = {Adapter("provix0", 1)};  // enabled while the note was up
    NoteCatcher catcher;
    catcher.Arm(QDialog::Accepted);
    screen.OnScanDevices();

    EXPECT_TRUE(catcher.seen);
    EXPECT_EQ(catcher.note, "Ensure the computer's NIC is enabled!");
    EXPECT_FALSE(catcher.with_cancel);
    EXPECT_EQ(engine.begin_calls, 0);
    EXPECT_TRUE(screen.ScanReady());
    EXPECT_EQ(screen.AdapterList()->CurrentIndex(), 0);
    EXPECT_EQ(screen.AdapterList()->GetItemText(0),
              QString::fromStdString(AdapterDisplayText(engine.adapters[0])));
}

TEST_F(AdapterScreen, AdapterThatCannotBeOpenedIsReportedInsteadOfAnEmptyScan) {
    const struct {
        const char* name;
        CaptureError error;
        const char* expected;
    } cases[] = {
        {"no permission",
         {"provix0: You don't have permission to capture on that device", true},
         "setcap cap_net_raw,cap_net_admin=eip "},
        {"adapter gone", {"provix0: No such device exists", false}, "No such device exists"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedScanEngine engine;
        engine.adapters = {Adapter("provix0", 1)};
        engine.start_result.capture_error = c.error;
        CSelectAdapterDlg screen(engine, nullptr);
        QSignalSpy finished(&screen, &CSelectAdapterDlg::ScanFinished);

        NoteCatcher catcher;
        catcher.Arm(QDialog::Accepted);
        screen.OnScanDevices();

        EXPECT_TRUE(catcher.seen);
        EXPECT_TRUE(catcher.note.contains(c.expected)) << catcher.note.toStdString();
        EXPECT_TRUE(screen.ScanReady());
        EXPECT_FALSE(screen.ScanTimer().isActive());
        EXPECT_TRUE(screen.ScanButton()->isEnabled());
        EXPECT_TRUE(screen.WaitPicture()->isHidden());
        EXPECT_EQ(finished.count(), 0) << "the devices screen must not follow a scan that never ran";
    }
}

TEST_F(AdapterScreen, CaptureDeviceListFailureShowsTheMessageAndTheScanGoesOn) {
    ScriptedScanEngine engine;
    engine.adapters = {Adapter("provix0", 1)};
    engine.start_result.list_error = "pcap_findalldevs error";
    engine.list_error_on_choose = "pcap_findalldevs error";
    QStringList shown;
    // The first refresh runs in the constructor, before a test can hook the message box; the
    // adapter list of the engine is empty until after it.
    auto saved = engine.adapters;
    engine.adapters.clear();
    CSelectAdapterDlg screen(engine, nullptr);
    screen.show_list_error = [&](const QString& text) { shown << text; };
    engine.adapters = saved;

    screen.RefreshAdapters();
    screen.OnScanDevices();
    EXPECT_EQ(shown, QStringList({"pcap_findalldevs error", "pcap_findalldevs error"}));
    EXPECT_FALSE(screen.ScanReady());
    EXPECT_TRUE(screen.ScanTimer().isActive());
}

TEST_F(AdapterScreen, RefreshKeepsTheAdapterUsedLastAndFallsBackToTheFirst) {
    ScriptedScanEngine engine;
    // The first two share a description: the MAC in the text tells them apart.
    engine.adapters = {Adapter("eth0", 1, "USB Ethernet"), Adapter("eth1", 2, "USB Ethernet"),
                       Adapter("eth2", 3)};
    CSelectAdapterDlg screen(engine, nullptr);
    EXPECT_EQ(screen.AdapterList()->CurrentIndex(), 0);
    EXPECT_EQ(engine.chosen.back(), "eth0");
    EXPECT_EQ(CurrentAdapterText(), AdapterDisplayText(engine.adapters[0]));

    // Choosing in the list alone changes nothing until a scan starts.
    screen.AdapterList()->SetCurrentIndex(1);
    screen.RefreshAdapters();
    EXPECT_EQ(screen.AdapterList()->CurrentIndex(), 0);

    screen.AdapterList()->SetCurrentIndex(1);
    screen.OnScanDevices();
    EXPECT_EQ(engine.begin_selected, 1);
    EXPECT_EQ(screen.AdapterText(), AdapterDisplayText(engine.adapters[1]));

    const struct {
        const char* name;
        std::vector<local_adapter_stu> adapters;
        int selected;
        const char* chosen;
    } cases[] = {
        {"still there",
         {Adapter("eth0", 1, "USB Ethernet"), Adapter("eth1", 2, "USB Ethernet"), Adapter("eth2", 3)},
         1,
         "eth1"},
        {"moved down the list",
         {Adapter("eth2", 3), Adapter("eth0", 1, "USB Ethernet"), Adapter("eth1", 2, "USB Ethernet")},
         2,
         "eth1"},
        {"removed", {Adapter("eth0", 1, "USB Ethernet"), Adapter("eth2", 3)}, 0, "eth0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        engine.adapters = c.adapters;
        screen.RefreshAdapters();
        EXPECT_EQ(screen.AdapterList()->CurrentIndex(), c.selected);
        EXPECT_EQ(engine.chosen.back(), c.chosen);
        EXPECT_EQ(CurrentAdapterText(), screen.AdapterText());
    }
    // Once the first was taken in place of the removed one, it is the one remembered.
    engine.adapters = {Adapter("eth2", 3), Adapter("eth0", 1, "USB Ethernet"),
                       Adapter("eth1", 2, "USB Ethernet")};
    screen.RefreshAdapters();
    EXPECT_EQ(engine.chosen.back(), "eth0");
}

TEST_F(AdapterScreen, EmptyListChoosesNothing) {
    ScriptedScanEngine engine;
    CSelectAdapterDlg screen(engine, nullptr);
    EXPECT_EQ(screen.AdapterList()->CurrentIndex(), -1);
    EXPECT_TRUE(engine.chosen.empty());
    EXPECT_TRUE(screen.AdapterText().empty());
}

}  // namespace
}  // namespace provix
