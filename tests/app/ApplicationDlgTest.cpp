#include "app/CApplicationDlg.h"

#include "ScriptedScanEngine.h"
#include "ShellFixture.h"
#include "app/CSelectAdapterDlg.h"
#include "ui/CTButtonPicture.h"
#include "ui/SkinResources.h"

#include <QSystemTrayIcon>

namespace provix {
namespace {

class MainWindow : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        engine.adapters = {Adapter("provix0", 1)};
    }
    ScriptedScanEngine engine;
};

TEST_F(MainWindow, ShowScreenShowsOneScreenWithItsButtons) {
    CApplicationDlg window(engine);
    EXPECT_EQ(window.size(), QSize(817, 540));
    EXPECT_EQ(window.CurrentScreen(), 160);
    EXPECT_EQ(window.AdapterScreen()->pos(), QPoint(247, 126));

    const SkinImagePaths& skin = SkinImages();
    const struct {
        int id;
        bool minimise_shown;
        bool close_shown;
        std::string close_image;
        QPoint position;
    } cases[] = {
        {161, true, true, skin.btn_close_normal, {0, 48}},
        {160, false, true, skin.btn_close_normal2, {247, 126}},  // the close button stays as it was
        {162, false, false, skin.btn_close_normal, {200, 142}},
        {160, false, false, skin.btn_close_normal2, {247, 126}},
        {163, false, false, skin.btn_close_normal, {198, 57}},
        {161, true, true, skin.btn_close_normal, {0, 48}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        window.ShowScreen(c.id);
        EXPECT_EQ(window.CurrentScreen(), c.id);
        for (int id : {160, 161, 162, 163})
            EXPECT_EQ(window.Screen(id)->isHidden(), id != c.id) << id;
        EXPECT_EQ(window.Screen(c.id)->pos(), c.position);
        EXPECT_EQ(window.MinimiseButton()->isHidden(), !c.minimise_shown);
        EXPECT_EQ(window.CloseButton()->isHidden(), !c.close_shown);
        const QImage expected = LoadSkinImage(QString::fromStdString(c.close_image));
        ASSERT_FALSE(expected.isNull());
        EXPECT_EQ(window.CloseButton()->StateImage(SkinNormal), expected);
        EXPECT_EQ(window.CloseButton()->StateImage(SkinHover),
                  LoadSkinImage(QString::fromStdString(skin.btn_close_over)));
    }
    window.ShowScreen(999);
    EXPECT_EQ(window.CurrentScreen(), 161) << "an unknown screen changes nothing";
}

TEST_F(MainWindow, CompletedScanLeadsToTheDevicesScreenAndChangeLeadsBack) {
    CApplicationDlg window(engine);
    CSelectAdapterDlg* screen = window.AdapterScreen();
    screen->OnScanDevices();
    for (int i = 0; i < 10 && !screen->ScanReady(); ++i)
        screen->OnScanTick();
    EXPECT_EQ(window.CurrentScreen(), 161);

    engine.adapters.push_back(Adapter("provix9", 9));
    window.OnChangeAdapter();
    EXPECT_EQ(window.CurrentScreen(), 160);
    EXPECT_EQ(engine.adapter_reads, 2) << "the list is read again before the screen comes back";
}

TEST_F(MainWindow, ClosingAsksFirstAndOnlyOkCloses) {
    const struct {
        const char* name;
        void (CApplicationDlg::*ask)();
        const char* title;
        const char* question;
    } ways[] = {
        {"close button", &CApplicationDlg::OnClose, "Confirm Exit", "Are you sure you want to exit Provix?"},
        {"tray exit", &CApplicationDlg::OnTrayExit, "Note", "Are you sure close program?"},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        CApplicationDlg window(engine);
        window.show();
        NoteCatcher cancel;
        cancel.Arm(QDialog::Rejected);
        (window.*way.ask)();
        EXPECT_TRUE(cancel.seen);
        EXPECT_TRUE(cancel.with_cancel);
        EXPECT_EQ(cancel.title, way.title);
        EXPECT_EQ(cancel.note, way.question);
        EXPECT_TRUE(window.isVisible());

        NoteCatcher ok;
        ok.Arm(QDialog::Accepted);
        (window.*way.ask)();
        EXPECT_TRUE(ok.seen);
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(window.result(), QDialog::Accepted);
    }
}

TEST_F(MainWindow, DesktopCloseRequestAsksLikeTheCloseButton) {
    CApplicationDlg window(engine);
    window.show();
    NoteCatcher cancel;
    cancel.Arm(QDialog::Rejected);
    window.close();
    EXPECT_TRUE(cancel.seen);
    EXPECT_TRUE(window.isVisible());
}

TEST_F(MainWindow, MinimiseNeverLeavesAnUnreachableWindow) {
    CApplicationDlg window(engine);
    window.show();
    window.ShowScreen(161);
    window.OnMinimise();
    if (window.TrayIcon() != nullptr && window.TrayIcon()->isVisible()) {
        EXPECT_FALSE(window.isVisible());
    } else {
        // No tray here: the window is minimised, not hidden.
        EXPECT_TRUE(window.isVisible());
    }
    window.OnShowUtility();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.CurrentScreen(), 161);
}

}  // namespace
}  // namespace provix
