#include "devices/CDevicesControlDlg.h"

#include "../ui/SkinImageFiles.h"
#include "FakeMonitorTimers.h"
#include "TempFolder.h"
#include "devices/CNoteDlg.h"
#include "devices/CSqlManagement.h"
#include "devices/DeviceGridHeader.h"
#include "devices/DeviceGridView.h"
#include "devices/DeviceSelectionReceiver.h"
#include "devices/OperationStartEvent.h"
#include "protocol/CurrentAdapter.h"
#include "ui/AppSettings.h"
#include "ui/CTButtonPicture.h"
#include "ui/CTStaticGdiplus.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace provix {
namespace {

using test::FakeMonitorTimers;
using test::PixelOf;
using test::TempFolder;

// Each grid picture in its own colour, so that a grab shows which one was drawn.
const QColor kUnselect(120, 120, 120);
const QColor kSelect(0, 160, 0);
const QColor kPartSelect(0, 0, 200);
const QColor kSuccess(0, 200, 100);
const QColor kError(220, 0, 0);
const QColor kOperating(230, 180, 0);

const std::string kMacs[] = {"02:50:00:00:00:0B", "02:50:00:00:00:0A", "02:50:00:00:00:0C"};

struct Receiver : DeviceSelectionReceiver {
    void SetDevices(SelectionQueue queue) override { received.push_back(std::move(queue)); }
    std::vector<SelectionQueue> received;
};

class DevicesScreen : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        skin_dir = new QTemporaryDir;
        const QString skin = skin_dir->filePath("Skin/");
        const std::pair<const char*, QColor> pictures[] = {
            {"unselect.bmp", kUnselect}, {"select.bmp", kSelect}, {"part_select.bmp", kPartSelect},
            {"success.bmp", kSuccess},   {"error.bmp", kError},   {"operating.bmp", kOperating},
        };
        for (const auto& [name, colour] : pictures)
            test::WriteSolidImage(skin + name, QSize(24, 24), colour);
        LoadSkinPaths(skin_dir->path().toStdString() + "/");
    }
    static void TearDownTestSuite() {
        LoadSkinPaths("/nonexistent/");
        delete skin_dir;
        skin_dir = nullptr;
    }

    void SetUp() override {
        SetCurrentAdapterText("veth test adapter");
        for (const std::string& mac : kMacs) {
            ap_discover_stu device;
            device.mac = mac;
            ASSERT_TRUE(store.SaveDevice(device));
        }
        timers.fire = [this](int id) { screen.Monitor().OnTimer(id); };
        screen.SetOperationScreens(&customization, &antitheft);
        screen.RebuildFromStore();
        screen.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
    }
    void TearDown() override { CNoteDlg::ClearNextAnswer(); }

    DeviceGridView& View() { return *screen.View(); }

    // Centre of a body cell (grid row 1..n) in viewport coordinates.
    QPoint CellCentre(int row, int column) {
        return View().visualRect(View().model()->index(row - 1, column)).center();
    }
    // Where a cell's picture is drawn: its left margin plus half a picture, vertically centred.
    QPoint PicturePoint(int row, int column) {
        const QRect cell = View().visualRect(View().model()->index(row - 1, column));
        return QPoint(cell.left() + DeviceGridView::kCellMargin + 12, cell.center().y());
    }
    QColor HeaderBoxColour() {
        DeviceGridHeader& header = *View().Header();
        return PixelOf(header, QPoint(header.sectionViewportPosition(0) + DeviceGridView::kCellMargin + 12,
                                      DeviceGridView::kHeaderHeight / 2));
    }
    void ClickCell(int row, int column) {
        QTest::mouseClick(View().viewport(), Qt::LeftButton, {}, CellCentre(row, column));
    }
    void ClickHeader(int column) {
        DeviceGridHeader& header = *View().Header();
        const QPoint at(header.sectionViewportPosition(column) + header.sectionSize(column) / 2,
                        DeviceGridView::kHeaderHeight / 2);
        QTest::mouseClick(header.viewport(), Qt::LeftButton, {}, at);
    }
    void MoveMouse(QWidget* widget, QPoint at) {
        QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }
    bool ControlsEnabled() {
        return screen.AntiTheftButton()->isEnabled() && screen.CustomizationButton()->isEnabled() &&
               screen.ChangeButton()->isEnabled() && View().isEnabled();
    }
    bool ControlsDisabled() {
        return !screen.AntiTheftButton()->isEnabled() && !screen.CustomizationButton()->isEnabled() &&
               !screen.ChangeButton()->isEnabled() && !View().isEnabled();
    }

    static QTemporaryDir* skin_dir;
    TempFolder folder;
    CSqlManagement store{folder / "data.db"};
    FakeMonitorTimers timers;
    Receiver customization;
    Receiver antitheft;
    CDevicesControlDlg screen{&store, &timers};
};

QTemporaryDir* DevicesScreen::skin_dir = nullptr;

TEST_F(DevicesScreen, GridGeometryAndRowsAfterScan) {
    EXPECT_EQ(View().Header()->height(), 38);
    EXPECT_FALSE(View().showGrid());
    const int widths[] = {63, 232, 341, 127};
    for (int column = 0; column < 4; ++column)
        EXPECT_EQ(View().columnWidth(column), widths[column]) << column;
    ASSERT_EQ(View().model()->rowCount(), 3);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(View().rowHeight(row), 48) << row;
    // Sorted by MAC, numbered from 1.
    EXPECT_EQ(View().model()->index(0, 1).data().toString(), "1");
    EXPECT_EQ(View().model()->index(0, 2).data().toString(), "02:50:00:00:00:0A");
    EXPECT_EQ(View().model()->index(2, 2).data().toString(), "02:50:00:00:00:0C");
    EXPECT_EQ(View().model()->headerData(2, Qt::Horizontal).toString(), "MAC Address");
    EXPECT_EQ(PixelOf(*View().viewport(), PicturePoint(1, 0)), kUnselect);
    EXPECT_EQ(HeaderBoxColour(), kUnselect);
}

TEST_F(DevicesScreen, AdapterLabelShowsSeventyCharactersAndTooltipTheWhole) {
    const std::string text =
        "Intel(R) Ethernet Connection " + std::string(60, 'x') + " (eth7) 00:11:22:33:44:55";
    SetCurrentAdapterText(text);
    screen.RefreshAdapterLabel();
    EXPECT_EQ(screen.AdapterLabel()->Text(), "NIC:" + QString::fromStdString(text.substr(0, 70)));
    EXPECT_EQ(screen.AdapterLabel()->toolTip(), QString::fromStdString(text));
}

TEST_F(DevicesScreen, ClicksOnHeaderBoxAndRowsThroughTheView) {
    ClickHeader(0);
    EXPECT_EQ(screen.Grid().TickedCount(), 3);
    EXPECT_EQ(screen.TickedCountLabel()->Text(), "3");
    EXPECT_EQ(HeaderBoxColour(), kSelect);
    EXPECT_EQ(PixelOf(*View().viewport(), PicturePoint(2, 0)), kSelect);

    ClickCell(2, 0);
    EXPECT_EQ(screen.Grid().TickedCount(), 2);
    EXPECT_FALSE(screen.Grid().IsTicked(2));
    EXPECT_EQ(screen.TickedCountLabel()->Text(), "2");
    EXPECT_EQ(HeaderBoxColour(), kPartSelect);
    EXPECT_EQ(PixelOf(*View().viewport(), PicturePoint(2, 0)), kUnselect);

    // Cells outside the tick column leave the ticks alone.
    ClickCell(1, 2);
    ClickCell(3, 3);
    ClickHeader(1);
    EXPECT_EQ(screen.Grid().TickedCount(), 2);

    ClickHeader(0);  // some ticked: unticks all
    EXPECT_EQ(screen.Grid().TickedCount(), 0);
    EXPECT_EQ(HeaderBoxColour(), kUnselect);
}

TEST_F(DevicesScreen, MacHeaderSortsAfterTheFirstClick) {
    ClickCell(1, 0);
    ClickHeader(2);
    EXPECT_EQ(View().model()->index(0, 2).data().toString(), "02:50:00:00:00:0A");
    EXPECT_EQ(screen.Grid().TickedCount(), 0);  // rebuilt
    ClickHeader(2);
    EXPECT_EQ(View().model()->index(0, 2).data().toString(), "02:50:00:00:00:0C");
    EXPECT_EQ(View().model()->index(0, 1).data().toString(), "1");
    EXPECT_EQ(screen.Grid().SortColumn(), 2);
    EXPECT_FALSE(screen.Grid().SortIndicatorAscending());
}

TEST_F(DevicesScreen, HoverHighlightsTheRowAndHandOverClickableColumns) {
    struct Case {
        int row;
        int column;
        Qt::CursorShape cursor;
    };
    const Case cases[] = {{1, 0, Qt::PointingHandCursor},
                          {2, 1, Qt::ArrowCursor},
                          {2, 2, Qt::ArrowCursor},
                          {3, 3, Qt::PointingHandCursor}};
    for (const Case& c : cases) {
        MoveMouse(View().viewport(), CellCentre(c.row, c.column));
        EXPECT_EQ(View().HoverRow(), c.row - 1);
        EXPECT_EQ(View().viewport()->cursor().shape(), c.cursor) << c.row << "," << c.column;
        const QPoint text_area = CellCentre(c.row, 1);
        const QPoint other_row = CellCentre(c.row == 1 ? 2 : 1, 1);
        EXPECT_EQ(PixelOf(*View().viewport(), QPoint(text_area.x() + 100, text_area.y())),
                  QColor(242, 242, 242));
        EXPECT_EQ(PixelOf(*View().viewport(), QPoint(other_row.x() + 100, other_row.y())),
                  QColor(255, 255, 255));
    }
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(View().viewport(), &leave);
    EXPECT_EQ(View().HoverRow(), -1);
    EXPECT_EQ(View().Header()->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(DevicesScreen, OperationButtonWithNothingTickedShowsTheNoteOnly) {
    QSignalSpy shown(&screen, &CDevicesControlDlg::ShowScreenRequested);
    QString note_text;
    QTimer::singleShot(0, [&] {
        if (auto* note = qobject_cast<CNoteDlg*>(QApplication::activeModalWidget())) {
            note_text = note->note;
            note->accept();
        }
    });
    QTest::mouseClick(screen.AntiTheftButton(), Qt::LeftButton);
    EXPECT_EQ(note_text, "Please select the devices!");
    EXPECT_EQ(shown.count(), 0);
    EXPECT_TRUE(antitheft.received.empty());
}

TEST_F(DevicesScreen, OperationButtonsHandOverACopyOfTheTickedDevices) {
    struct Case {
        CTButtonPicture* button;
        Receiver* receiver;
        int screen_id;
    };
    const Case cases[] = {{screen.AntiTheftButton(), &antitheft, 163},
                          {screen.CustomizationButton(), &customization, 162}};
    ClickCell(3, 0);
    ClickCell(1, 0);
    for (const Case& c : cases) {
        QSignalSpy shown(&screen, &CDevicesControlDlg::ShowScreenRequested);
        QTest::mouseClick(c.button, Qt::LeftButton);
        ASSERT_EQ(shown.count(), 1);
        EXPECT_EQ(shown.at(0).at(0).toInt(), c.screen_id);
        ASSERT_EQ(c.receiver->received.size(), 1u);
        EXPECT_EQ(c.receiver->received[0], (SelectionQueue{{"02:50:00:00:00:0A"}, {"02:50:00:00:00:0C"}}));
    }
    // The screen keeps its own queue for monitoring.
    EXPECT_EQ(screen.Grid().Selection().size(), 2u);
}

TEST_F(DevicesScreen, ChangeAsksForTheAdapterScreenAndClearsTicks) {
    QSignalSpy change(&screen, &CDevicesControlDlg::ChangeAdapterRequested);
    ClickHeader(0);
    QTest::mouseClick(screen.ChangeButton(), Qt::LeftButton);
    EXPECT_EQ(change.count(), 1);
    EXPECT_EQ(screen.Grid().TickedCount(), 0);
    EXPECT_EQ(screen.Grid().HeaderState(), kHeaderNoneTicked);
    EXPECT_EQ(PixelOf(*View().viewport(), PicturePoint(1, 0)), kUnselect);
}

TEST_F(DevicesScreen, MonitorsAnOperationStartedByAPostedEvent) {
    QObject sender;
    ClickCell(1, 0);
    ClickCell(2, 0);
    QTest::mouseClick(screen.AntiTheftButton(), Qt::LeftButton);

    // A start without a sender is no operation.
    PostOperationStart(&screen, WM_ANTITHEFT_START, nullptr);
    QCoreApplication::processEvents();
    EXPECT_TRUE(ControlsEnabled());
    EXPECT_FALSE(timers.AnyRunning());

    ASSERT_TRUE(store.ResetAllStatuses());
    PostOperationStart(&screen, WM_ANTITHEFT_START, &sender);
    QCoreApplication::processEvents();
    EXPECT_TRUE(ControlsDisabled());
    for (const std::string& mac : {kMacs[0], kMacs[1]})
        store.SetAntiTheftStatus(mac, Operating);

    timers.Advance(1000);
    EXPECT_EQ(PixelOf(*View().viewport(), PicturePoint(1, 3)), kOperating);
    EXPECT_EQ(screen.Grid().TickedCount(), 0);
    EXPECT_EQ(PixelOf(*View().viewport(), PicturePoint(1, 0)), kUnselect);

    store.SetAntiTheftStatus(kMacs[0], OperateSuccess);
    store.SetAntiTheftStatus(kMacs[1], OperateSuccess);
    timers.Advance(2000);  // poll and count at 2 s, watch tick at 3 s
    EXPECT_EQ(screen.SuccessCountLabel()->Text(), "2");
    EXPECT_EQ(screen.FailCountLabel()->Text(), "0");
    EXPECT_EQ(PixelOf(*View().viewport(), PicturePoint(1, 3)), kSuccess);
    EXPECT_EQ(PixelOf(*View().viewport(), PicturePoint(2, 3)), kSuccess);
    EXPECT_TRUE(ControlsEnabled());
    EXPECT_FALSE(timers.AnyRunning());
    EXPECT_FALSE(screen.Monitor().IsMonitoring());
}

TEST_F(DevicesScreen, CustomizeStartWithADeviceThatNeverAnswersStopsAtFifteenSeconds) {
    QObject sender;
    ClickCell(3, 0);
    QTest::mouseClick(screen.CustomizationButton(), Qt::LeftButton);
    PostOperationStart(&screen, WM_CUSTOMIZE_START, &sender);
    QCoreApplication::processEvents();
    store.SetParaStatus(kMacs[2], Operating);
    timers.Advance(14000);
    EXPECT_TRUE(ControlsDisabled());
    timers.Advance(1000);
    EXPECT_TRUE(ControlsEnabled());
    EXPECT_EQ(PixelOf(*View().viewport(), PicturePoint(3, 3)), kOperating);
}

TEST_F(DevicesScreen, CountersShowLargeNumbersWhole) {
    for (int n = 0; n < 1200; ++n) {
        ap_discover_stu device;
        char mac[18];
        std::snprintf(mac, sizeof mac, "02:51:00:00:%02X:%02X", n >> 8, n & 0xFF);
        device.mac = mac;
        ASSERT_TRUE(store.SaveDevice(device));
        ASSERT_TRUE(store.SetAntiTheftStatus(mac, n < 1100 ? OperateSuccess : TransmitFail));
    }
    screen.RefreshList(false, true, kMacColumn);
    EXPECT_EQ(screen.SuccessCountLabel()->Text(), "1100");
    EXPECT_EQ(screen.FailCountLabel()->Text(), "100");
    // Every text of the row fits its label, and the labels follow each other without overlap.
    int previous_right = 0;
    for (const QObject* child : screen.children()) {
        const auto* label = qobject_cast<const CTStaticGdiplus*>(child);
        if (label == nullptr || label->isHidden() || label->y() != 63)
            continue;
        EXPECT_GE(label->width(), QFontMetrics(label->TextFont()).horizontalAdvance(label->Text()))
            << label->Text().toStdString();
        EXPECT_GE(label->x(), previous_right) << label->Text().toStdString();
        previous_right = label->x() + label->width();
    }
    EXPECT_GT(previous_right, 0);
}

TEST(DeviceGridImagesTest, WhiteIsTransparentAndAMissingPictureKeepsTheOthersInPlace) {
    QTemporaryDir dir;
    QImage boxed(24, 24, QImage::Format_RGB32);
    boxed.fill(Qt::white);
    for (int y = 6; y < 18; ++y)
        for (int x = 6; x < 18; ++x)
            boxed.setPixelColor(x, y, kSelect);
    const QString boxed_path = dir.filePath("select.bmp");
    ASSERT_TRUE(boxed.save(boxed_path));
    const QString large_path = test::WriteSolidImage(dir.filePath("error.png"), QSize(48, 48), kError);

    DeviceGridImages images;
    EXPECT_TRUE(images.Load(IMG_SELECT, boxed_path));
    EXPECT_FALSE(images.Load(IMG_PART_SELECT, dir.filePath("missing.bmp")));
    EXPECT_TRUE(images.Load(IMG_ERROR, large_path));

    EXPECT_EQ(images.Image(IMG_SELECT).pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(images.Image(IMG_SELECT).pixelColor(12, 12), kSelect);
    EXPECT_TRUE(images.Image(IMG_PART_SELECT).isNull());
    EXPECT_EQ(images.Image(IMG_ERROR).size(), QSize(24, 24));
    EXPECT_EQ(images.Image(IMG_ERROR).pixelColor(12, 12), kError);
    EXPECT_TRUE(images.Image(IMG_NONE).isNull());
    EXPECT_TRUE(images.Image(-1).isNull());
}

}  // namespace
}  // namespace provix
