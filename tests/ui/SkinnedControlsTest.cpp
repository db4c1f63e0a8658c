#include "SkinImageFiles.h"
#include "ui/CColorLine.h"
#include "ui/CCustomComboBox.h"
#include "ui/CDropListBoxWnd.h"
#include "ui/CDropListWnd.h"
#include "ui/CTButtonPicture.h"
#include "ui/CTDialog.h"
#include "ui/CTEditGdiplus.h"
#include "ui/CTPicture.h"
#include "ui/CTStaticGdiplus.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace provix {
namespace {

using test::PixelOf;
using test::WriteSolidImage;

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);
const QColor kYellow(255, 255, 0);
const QColor kCyan(0, 255, 255);

class SkinnedControls : public testing::Test {
protected:
    QString Image(const QString& name, const QColor& color, QSize size = QSize(20, 10)) {
        return WriteSolidImage(dir.filePath(name), size, color);
    }
    QString Missing() const { return dir.filePath("missing.png"); }
    QString NotAnImage() {
        const QString path = dir.filePath("text.png");
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write("this is not a picture\n");
        return path;
    }

    QTemporaryDir dir;
};

TEST_F(SkinnedControls, ButtonDrawsThePictureOfItsState) {
    CTButtonPicture button;
    button.resize(20, 10);
    ASSERT_EQ(button.SetImages(Image("n.png", kRed), Image("h.png", kGreen), Image("p.png", kBlue),
                               Image("d.png", kYellow)),
              4);
    button.show();
    EXPECT_EQ(PixelOf(button, {5, 5}), kRed);
    button.setDown(true);
    EXPECT_EQ(button.State(), SkinPressed);
    EXPECT_EQ(PixelOf(button, {5, 5}), kBlue);
    button.setDown(false);
    button.setEnabled(false);
    EXPECT_EQ(PixelOf(button, {5, 5}), kYellow);
    EXPECT_EQ(button.cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(SkinnedControls, ButtonHoverFollowsTheMouse) {
    QWidget window;
    window.resize(100, 50);
    auto* button = new CTButtonPicture(&window);
    button->setGeometry(10, 10, 20, 10);
    button->SetImages(Image("n.png", kRed), Image("h.png", kGreen), Image("p.png", kBlue),
                      Image("d.png", kYellow));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseMove(&window, QPoint(15, 15));
    EXPECT_TRUE(button->IsHovered());
    EXPECT_EQ(PixelOf(*button, {5, 5}), kGreen);
    QTest::mouseMove(&window, QPoint(80, 40));
    EXPECT_FALSE(button->IsHovered());
    EXPECT_EQ(PixelOf(*button, {5, 5}), kRed);
}

TEST_F(SkinnedControls, ButtonKeepsPreviousPicturesFromTheFirstMissingOne) {
    struct Case {
        const char* name;
        int missing_from;  // 0..3, 4 none
        std::array<QColor, 4> drawn;
    };
    // Every button starts with red/green/blue/yellow; the second set is all cyan.
    const Case cases[] = {
        {"missing normal keeps all four", 0, {kRed, kGreen, kBlue, kYellow}},
        {"missing hover keeps hover on", 1, {kCyan, kGreen, kBlue, kYellow}},
        {"missing disabled keeps only disabled", 3, {kCyan, kCyan, kCyan, kYellow}},
        {"nothing missing takes all", 4, {kCyan, kCyan, kCyan, kCyan}},
    };
    const QString first[] = {Image("n.png", kRed), Image("h.png", kGreen), Image("p.png", kBlue),
                             Image("d.png", kYellow)};
    const QString cyan = Image("c.png", kCyan);
    const QString broken = NotAnImage();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTButtonPicture button;
        button.resize(20, 10);
        button.SetImages(first[0], first[1], first[2], first[3]);
        QString second[4];
        for (int i = 0; i < 4; ++i)
            second[i] = i < c.missing_from ? cyan : (i == c.missing_from ? broken : cyan);
        // A picture after a failed one is not taken even though it exists.
        EXPECT_EQ(button.SetImages(second[0], second[1], second[2], second[3]), std::min(c.missing_from, 4));
        for (int s = 0; s < 4; ++s)
            EXPECT_EQ(button.StateImage(static_cast<SkinState>(s)).pixelColor(1, 1), c.drawn[s])
                << "state " << s;
    }
    CTButtonPicture button;
    button.resize(20, 10);
    button.SetImages(first[0], first[1], first[2], first[3]);
    EXPECT_EQ(button.SetImages(Missing(), cyan, cyan, cyan), 0);
    EXPECT_EQ(PixelOf(button, {5, 5}), kRed);
}

TEST_F(SkinnedControls, ButtonWithoutAStatePictureUsesTheNormalOne) {
    CTButtonPicture button;
    button.resize(20, 10);
    button.SetImages(Image("n.png", kRed), Missing(), Missing(), Missing());
    button.setEnabled(false);
    EXPECT_EQ(PixelOf(button, {5, 5}), kRed);
}

TEST_F(SkinnedControls, ButtonStretchesItsPicture) {
    CTButtonPicture button;
    button.resize(40, 30);
    button.SetImages(Image("small.png", kBlue, QSize(4, 3)), {}, {}, {});
    EXPECT_EQ(PixelOf(button, {38, 28}), kBlue);
}

TEST_F(SkinnedControls, DialogPaintsPictureOrFill) {
    CTDialog dialog;
    dialog.resize(60, 40);
    dialog.fill_background = true;
    dialog.background_color = kYellow;
    EXPECT_EQ(PixelOf(dialog, {30, 20}), kYellow);
    dialog.SetBackgroundImage(Image("bk.png", kGreen, QSize(6, 4)));
    EXPECT_TRUE(dialog.HasBackgroundImage());
    EXPECT_EQ(PixelOf(dialog, {59, 39}), kGreen);
    dialog.SetBackgroundImage(QString());
    EXPECT_TRUE(dialog.HasBackgroundImage());
    dialog.SetBackgroundImage(NotAnImage());
    EXPECT_FALSE(dialog.HasBackgroundImage());
    EXPECT_EQ(PixelOf(dialog, {30, 20}), kYellow);
}

TEST_F(SkinnedControls, DialogIgnoresEnterAndEscape) {
    CTDialog dialog;
    dialog.resize(100, 60);
    auto* edit = new CTEditGdiplus(&dialog);
    edit->setGeometry(10, 10, 80, 24);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QSignalSpy finished(&dialog, &QDialog::finished);
    for (QWidget* target : {static_cast<QWidget*>(&dialog), static_cast<QWidget*>(edit)}) {
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
            QTest::keyClick(target, key);
            EXPECT_TRUE(dialog.isVisible()) << key;
        }
    }
    EXPECT_EQ(finished.count(), 0);
}

TEST_F(SkinnedControls, DialogMovesWhenDraggedOnlyWithDragOn) {
    for (bool drag : {false, true}) {
        SCOPED_TRACE(drag);
        CTDialog dialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint);
        dialog.drag_enabled = drag;
        dialog.setGeometry(100, 100, 200, 100);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        const QPoint start = dialog.pos();
        QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(50, 50));
        QTest::mouseMove(&dialog, QPoint(80, 70));
        QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(80, 70));
        EXPECT_EQ(dialog.pos() - start, drag ? QPoint(30, 20) : QPoint(0, 0));
    }
}

TEST_F(SkinnedControls, RoundedRegionCutsTheCorners) {
    QWidget window;
    ApplyRoundedRegion(&window, 100, 40);
    const QRegion mask = window.mask();
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_FALSE(mask.contains(QPoint(99, 39)));
    EXPECT_TRUE(mask.contains(QPoint(50, 0)));
    EXPECT_TRUE(mask.contains(QPoint(0, 20)));
    EXPECT_TRUE(mask.contains(QPoint(99, 20)));
}

TEST_F(SkinnedControls, CentredLabelWrapsIntoCentredLines) {
    CTStaticGdiplus label;
    label.resize(120, 80);
    label.align_code = 4;
    label.SetText("a text much longer than the label is wide");
    const QRect block = label.TextBlockRect();
    const int line = QFontMetrics(label.TextFont()).height();
    EXPECT_GE(block.height(), 2 * line);
    EXPECT_LE(block.width(), 120);
    EXPECT_LE(std::abs(block.left() - (120 - block.right() - 1)), 1);
    EXPECT_LE(std::abs(block.top() - (80 - block.bottom() - 1)), 1);

    label.align_code = 6;
    label.SetText("short");
    EXPECT_EQ(label.TextBlockRect().right(), 119);
}

TEST_F(SkinnedControls, LabelColoursFollowItsState) {
    QWidget window;
    window.resize(200, 60);
    auto* label = new CTStaticGdiplus(&window);
    label->setGeometry(10, 10, 100, 30);
    label->text_color_hover = kGreen;
    label->text_color_pressed = kBlue;
    label->text_color_disabled = kYellow;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(label->State(), SkinNormal);
    QTest::mouseMove(&window, QPoint(20, 20));
    EXPECT_EQ(label->State(), SkinHover);
    QTest::mousePress(label, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(label->State(), SkinPressed);
    EXPECT_EQ(label->StateTextColor(label->State()), kBlue);
    QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(label->State(), SkinHover);
    QTest::mouseMove(&window, QPoint(150, 50));
    EXPECT_EQ(label->State(), SkinNormal);
    label->setEnabled(false);
    EXPECT_EQ(label->StateTextColor(label->State()), kYellow);
}

TEST_F(SkinnedControls, LineIsDrawnAcrossTheMiddle) {
    CColorLine line;
    line.resize(50, 5);
    line.color = kBlue;
    const QImage image = line.grab().toImage();
    EXPECT_EQ(image.pixelColor(0, 2), kBlue);
    EXPECT_EQ(image.pixelColor(49, 2), kBlue);
    EXPECT_NE(image.pixelColor(25, 0), kBlue);
}

TEST_F(SkinnedControls, PictureReadsGifFramesWithTheirDelays) {
    CTPicture picture;
    ASSERT_TRUE(picture.Load(PROVIX_TEST_DATA "/ui/anim3.gif"));
    ASSERT_EQ(picture.FrameCount(), 3);
    EXPECT_EQ(picture.size(), QSize(6, 4));
    EXPECT_EQ(picture.FrameImage(0).pixelColor(1, 1), kRed);
    EXPECT_EQ(picture.FrameImage(1).pixelColor(1, 1), kBlue);
    EXPECT_EQ(picture.FrameDelay(0), 200);
    EXPECT_EQ(picture.FrameDelay(1), 500);
    // A zero delay would spin the animation.
    EXPECT_EQ(picture.FrameDelay(2), 100);
    EXPECT_FALSE(picture.IsAnimating());
    picture.Draw();
    EXPECT_TRUE(picture.IsAnimating());
    picture.Stop();
    EXPECT_FALSE(picture.IsAnimating());
}

TEST_F(SkinnedControls, PictureLoadFailuresLeaveNothing) {
    const QString truncated = dir.filePath("cut.gif");
    {
        QFile source(PROVIX_TEST_DATA "/ui/anim3.gif");
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        QFile cut(truncated);
        ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
        cut.write(source.read(20));
    }
    const QString still = Image("still.png", kGreen, QSize(7, 5));
    for (const QString& bad : {Missing(), NotAnImage(), truncated}) {
        SCOPED_TRACE(bad.toStdString());
        CTPicture picture;
        ASSERT_TRUE(picture.Load(still));
        EXPECT_EQ(picture.FrameCount(), 1);
        EXPECT_EQ(picture.size(), QSize(7, 5));
        EXPECT_FALSE(picture.Load(bad));
        EXPECT_EQ(picture.FrameCount(), 0);
        picture.Draw();
        EXPECT_FALSE(picture.IsAnimating());
    }
}

class EditWindow : public SkinnedControls {
protected:
    void SetUp() override {
        window.resize(200, 100);
        first = new CTEditGdiplus(&window);
        first->setGeometry(10, 10, 150, 24);
        first->ApplyCommonEditLook();
        second = new CTEditGdiplus(&window);
        second->setGeometry(10, 50, 150, 24);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        second->setFocus();
    }

    QWidget window;
    CTEditGdiplus* first = nullptr;
    CTEditGdiplus* second = nullptr;
};

TEST_F(EditWindow, PlaceholderThroughRealFocusChanges) {
    const QColor grey(128, 128, 128);
    first->SetPlaceholder("e.g. 8.8.8.8", grey);
    EXPECT_EQ(first->text(), QString());  // appears only once the box loses the focus

    first->setFocus();
    second->setFocus();
    EXPECT_EQ(first->text(), "e.g. 8.8.8.8");
    EXPECT_TRUE(first->IsPlaceholderShowing());
    EXPECT_EQ(first->CurrentTextColor(), grey);

    first->setFocus();
    EXPECT_EQ(first->text(), QString());
    EXPECT_EQ(first->CurrentTextColor(), QColor(0, 0, 0));
    QTest::keyClicks(first, "1.1.1.1");
    second->setFocus();
    EXPECT_EQ(first->text(), "1.1.1.1");
    EXPECT_FALSE(first->IsPlaceholderShowing());

    first->setFocus();
    first->selectAll();
    QTest::keyClick(first, Qt::Key_Backspace);
    second->setFocus();
    EXPECT_EQ(first->text(), "e.g. 8.8.8.8");
    EXPECT_EQ(first->CurrentTextColor(), grey);
}

TEST_F(EditWindow, OwnerValueIsNotWipedByTheNextFocus) {
    first->SetPlaceholder("name", QColor(128, 128, 128));
    first->setFocus();
    second->setFocus();
    ASSERT_TRUE(first->IsPlaceholderShowing());
    first->setText("backup");
    first->setFocus();
    EXPECT_EQ(first->text(), "backup");

    // An empty value written by the owner stays an empty box until focused and left.
    first->setText("");
    second->setFocus();
    EXPECT_EQ(first->text(), "name");
    first->setText("");
    first->ClearPlaceholderShowing();
    EXPECT_EQ(first->text(), QString());
    EXPECT_EQ(first->CurrentTextColor(), QColor(0, 0, 0));
}

TEST_F(EditWindow, BorderColourFollowsFocusHoverAndEnable) {
    EXPECT_EQ(first->BorderColor(), QColor(213, 213, 220));
    QTest::mouseMove(&window, QPoint(20, 20));
    EXPECT_EQ(first->BorderState(), EditBorder::Hover);
    QTest::mouseMove(&window, QPoint(190, 90));
    EXPECT_EQ(first->BorderState(), EditBorder::Normal);
    first->setFocus();
    EXPECT_EQ(first->BorderColor(), QColor(216, 34, 40));
    // The border is drawn along the edge; the middle of the left edge is its colour.
    EXPECT_EQ(PixelOf(*first, {0, 12}), QColor(216, 34, 40));
    second->setFocus();
    first->setEnabled(false);
    EXPECT_EQ(first->BorderColor(), QColor(0, 0, 0));
}

class ComboWindow : public SkinnedControls {
protected:
    void SetUp() override {
        window.resize(300, 200);
        combo = new CCustomComboBox(&window);
        combo->setGeometry(10, 10, 200, 30);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    QWidget window;
    CCustomComboBox* combo = nullptr;
};

TEST_F(ComboWindow, ClickingAnItemSelectsItAndCloses) {
    combo->AddItem("eth0");
    combo->AddItem("eth1");
    combo->AddItem("wlan0");
    combo->SetItemEnabled(2, false);
    QSignalSpy changed(combo, &CCustomComboBox::currentIndexChanged);

    QTest::mouseClick(combo, Qt::LeftButton, {}, QPoint(50, 15));
    ASSERT_TRUE(combo->IsDropped());
    CDropListBoxWnd* list = combo->DropList()->ListBox();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(combo->DropList()));
    QTest::mouseClick(list, Qt::LeftButton, {}, list->ItemRect(1).center());
    EXPECT_FALSE(combo->IsDropped());
    EXPECT_EQ(combo->CurrentIndex(), 1);
    EXPECT_EQ(combo->GetSelectedText(), "eth1");
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toInt(), 1);

    // A disabled item cannot be chosen.
    combo->ShowDropList();
    QTest::mouseClick(list, Qt::LeftButton, {}, list->ItemRect(2).center());
    EXPECT_EQ(combo->CurrentIndex(), 1);
    combo->HideDropList();
    EXPECT_FALSE(combo->IsDropped());
}

TEST_F(ComboWindow, KeyboardMovesTheSelection) {
    for (const char* text : {"a", "b", "c"})
        combo->AddItem(text);
    combo->SetItemEnabled(1, false);
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(combo->CurrentIndex(), 0);
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(combo->CurrentIndex(), 2);
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(combo->CurrentIndex(), 2);

    QTest::keyClick(combo, Qt::Key_F4);
    ASSERT_TRUE(combo->IsDropped());
    QTest::keyClick(combo->DropList(), Qt::Key_Up);
    EXPECT_EQ(combo->DropList()->ListBox()->HotIndex(), 0);
    QTest::keyClick(combo->DropList(), Qt::Key_Return);
    EXPECT_FALSE(combo->IsDropped());
    EXPECT_EQ(combo->CurrentIndex(), 0);
}

TEST_F(ComboWindow, RemovingItemsKeepsOrClearsTheSelection) {
    for (const char* text : {"a", "b", "c"})
        combo->AddItem(text);
    combo->SetCurrentIndex(2);
    QSignalSpy changed(combo, &CCustomComboBox::currentIndexChanged);
    combo->RemoveItem(0);
    EXPECT_EQ(combo->GetSelectedText(), "c");
    combo->RemoveItem(1);
    EXPECT_EQ(combo->CurrentIndex(), -1);
    EXPECT_EQ(combo->GetSelectedText(), QString());
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(ComboWindow, LongItemGetsATooltipShortOneDoesNot) {
    const QString long_text = QString("Intel Corporation Ethernet Connection ").repeated(4);
    combo->AddItem("eth0");
    combo->AddItem(long_text);
    combo->ShowDropList();
    CDropListBoxWnd* list = combo->DropList()->ListBox();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(combo->DropList()));
    EXPECT_TRUE(list->ItemTextFits(0));
    EXPECT_FALSE(list->ItemTextFits(1));

    QTest::mouseMove(list, list->ItemRect(1).center());
    EXPECT_EQ(list->HotIndex(), 1);
    EXPECT_EQ(list->TooltipText(), long_text);
    QTest::mouseMove(list, list->ItemRect(0).center());
    EXPECT_EQ(list->HotIndex(), 0);
    EXPECT_EQ(list->TooltipText(), QString());
}

TEST_F(ComboWindow, ArrowPictureOrFallbackTriangle) {
    const QPoint arrow_centre = combo->ArrowRect().center();
    // No picture: a triangle in the text colour.
    EXPECT_TRUE(combo->ArrowImage(ArrowState::Normal).isNull());
    const QColor triangle = PixelOf(*combo, arrow_centre);
    EXPECT_EQ(triangle, combo->normal_text);

    EXPECT_FALSE(combo->SetArrowImages(Missing()));
    EXPECT_EQ(PixelOf(*combo, arrow_centre), combo->normal_text);

    ASSERT_TRUE(combo->SetArrowImages(Image("arrow.png", kBlue, QSize(10, 10)), Missing(),
                                      Image("dropped.png", kGreen, QSize(10, 10))));
    EXPECT_EQ(PixelOf(*combo, arrow_centre), kBlue);
    EXPECT_EQ(combo->ArrowImage(ArrowState::Hover).pixelColor(1, 1), kBlue);
    EXPECT_EQ(combo->ArrowImage(ArrowState::Dropped).pixelColor(1, 1), kGreen);
    combo->ShowDropList();
    EXPECT_EQ(combo->CurrentArrowState(), ArrowState::Dropped);
    EXPECT_EQ(PixelOf(*combo, arrow_centre), kGreen);
    combo->HideDropList();
}

TEST_F(ComboWindow, FieldShowsHintOrSelectedText) {
    combo->hint_text = QString(10, QChar(0x2588));
    combo->hint_text_color = kRed;
    combo->normal_text = kBlue;
    combo->AddItem(QString(40, QChar(0x2588)));  // full blocks, so the text area is solid
    auto count = [&](const QColor& color) {
        const QImage image = combo->grab().toImage();
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width() - combo->arrow_width; ++x)
                n += image.pixelColor(x, y) == color;
        return n;
    };
    EXPECT_GT(count(kRed), 0);
    EXPECT_EQ(count(kBlue), 0);
    combo->SetCurrentIndex(0);
    EXPECT_EQ(count(kRed), 0);
    EXPECT_GT(count(kBlue), 0);
}

}  // namespace
}  // namespace provix
