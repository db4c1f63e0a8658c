#include "ui/SkinnedControlRules.h"

#include <gtest/gtest.h>

namespace provix {
namespace {

TEST(SkinStateRules, ButtonAndLabelStates) {
    struct Case {
        bool enabled, pressed, hover;
        SkinState button, label;
    };
    // The label counts a press only while the mouse is over it; the button also when the
    // press came from the keyboard.
    const Case cases[] = {
        {true, false, false, SkinNormal, SkinNormal},     {true, false, true, SkinHover, SkinHover},
        {true, true, true, SkinPressed, SkinPressed},     {true, true, false, SkinPressed, SkinNormal},
        {false, false, true, SkinDisabled, SkinDisabled}, {false, true, true, SkinDisabled, SkinDisabled},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.enabled << c.pressed << c.hover);
        EXPECT_EQ(SelectButtonState(c.enabled, c.pressed, c.hover), c.button);
        EXPECT_EQ(SelectLabelState(c.enabled, c.hover, c.pressed), c.label);
    }
}

TEST(SkinStateRules, BordersAndArrows) {
    struct Case {
        bool enabled, focused_or_dropped, hover;
        EditBorder border;
        ArrowState arrow;
    };
    const Case cases[] = {
        {true, false, false, EditBorder::Normal, ArrowState::Normal},
        {true, false, true, EditBorder::Hover, ArrowState::Hover},
        {true, true, false, EditBorder::Focus, ArrowState::Dropped},
        {true, true, true, EditBorder::Focus, ArrowState::Dropped},
        {false, true, true, EditBorder::Disabled, ArrowState::Disabled},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.enabled << c.focused_or_dropped << c.hover);
        EXPECT_EQ(SelectEditBorder(c.enabled, c.focused_or_dropped, c.hover), c.border);
        EXPECT_EQ(SelectArrowState(c.enabled, c.focused_or_dropped, c.hover), c.arrow);
    }
}

struct CaptionCase {
    int code;
    int margin;
    QPoint expected;
};

class ButtonCaption : public testing::TestWithParam<CaptionCase> {};

// A 40 by 20 caption in a 100 by 30 button.
TEST_P(ButtonCaption, Position) {
    const CaptionCase c = GetParam();
    EXPECT_EQ(ButtonCaptionPosition(c.code, c.margin, QSize(100, 30), QSize(40, 20)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Codes, ButtonCaption,
                         testing::Values(CaptionCase{768, 0, {30, 5}}, CaptionCase{256, 0, {2, 5}},
                                         CaptionCase{256, 10, {12, 5}}, CaptionCase{512, 0, {58, 5}},
                                         CaptionCase{512, 10, {48, 5}}, CaptionCase{1024, 10, {0, 0}},
                                         CaptionCase{2048, 0, {0, 10}}, CaptionCase{1792, 0, {30, 0}},
                                         CaptionCase{2816, 0, {30, 10}}, CaptionCase{5, 0, {0, 0}},
                                         CaptionCase{0, 7, {0, 0}}));

TEST(ButtonCaptionOverflow, NegativePositionsBecomeZero) {
    const QSize button(30, 10);
    const QSize caption(50, 20);
    for (int code : {768, 256, 512, 1024, 2048, 1792, 2816}) {
        SCOPED_TRACE(code);
        const QPoint pos = ButtonCaptionPosition(code, 40, button, caption);
        EXPECT_GE(pos.x(), 0);
        EXPECT_GE(pos.y(), 0);
    }
    EXPECT_EQ(ButtonCaptionPosition(256, 40, button, caption), QPoint(42, 0));
}

TEST(LabelPlacement, CodesPlaceTheBlock) {
    struct Case {
        int code;
        Qt::Alignment align;
        QPoint pos;  // of a 40 by 20 block in a 100 by 50 label
    };
    const Case cases[] = {
        {0, Qt::AlignLeft | Qt::AlignTop, {0, 0}},          {1, Qt::AlignRight | Qt::AlignTop, {60, 0}},
        {2, Qt::AlignLeft | Qt::AlignTop, {0, 0}},          {3, Qt::AlignLeft | Qt::AlignBottom, {0, 30}},
        {4, Qt::AlignHCenter | Qt::AlignVCenter, {30, 15}}, {5, Qt::AlignLeft | Qt::AlignVCenter, {0, 15}},
        {6, Qt::AlignRight | Qt::AlignVCenter, {60, 15}},   {7, Qt::AlignHCenter | Qt::AlignTop, {30, 0}},
        {8, Qt::AlignHCenter | Qt::AlignBottom, {30, 30}},  {9, Qt::AlignLeft | Qt::AlignTop, {0, 0}},
        {-1, Qt::AlignLeft | Qt::AlignTop, {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(LabelAlignment(c.code), c.align);
        EXPECT_EQ(LabelBlockPosition(c.code, QSize(100, 50), QSize(40, 20)), c.pos);
    }
}

TEST(LabelPlacement, OversizedBlockStartsAtLeftAndTop) {
    // Wider than the label: left edge whatever the code; taller: top edge.
    EXPECT_EQ(LabelBlockPosition(6, QSize(100, 50), QSize(140, 20)), QPoint(0, 15));
    EXPECT_EQ(LabelBlockPosition(8, QSize(100, 50), QSize(40, 80)), QPoint(30, 0));
    EXPECT_EQ(LabelBlockPosition(4, QSize(100, 50), QSize(140, 80)), QPoint(0, 0));
}

// Replays focus changes and edits over a placeholder and checks the box after each step.
TEST(Placeholder, FocusSequences) {
    enum Step { FocusIn, FocusOut, Type, OwnerClears };
    struct Case {
        const char* name;
        bool enabled;
        std::vector<std::pair<Step, QString>> steps;  // Type carries the new text
        QString text;
        bool showing;
        bool grey_unfocused;
    };
    const QString ph = QStringLiteral("e.g. 8.8.8.8");
    const Case cases[] = {
        {"tabbing through an empty box shows it", true, {{FocusIn, {}}, {FocusOut, {}}}, ph, true, true},
        {"focus takes it out again", true, {{FocusOut, {}}, {FocusIn, {}}}, QString(), false, false},
        {"typing replaces it",
         true,
         {{FocusOut, {}}, {FocusIn, {}}, {Type, "1.1.1.1"}, {FocusOut, {}}},
         "1.1.1.1",
         false,
         false},
        {"emptying and leaving restores it",
         true,
         {{Type, "x"}, {FocusOut, {}}, {FocusIn, {}}, {Type, ""}, {FocusOut, {}}},
         ph,
         true,
         true},
        {"disabled placeholder never appears",
         false,
         {{FocusIn, {}}, {FocusOut, {}}},
         QString(),
         false,
         false},
        {"owner value is kept through the next focus",
         true,
         {{FocusOut, {}}, {Type, "9.9.9.9"}, {FocusIn, {}}},
         "9.9.9.9",
         false,
         false},
        {"owner-cleared flag leaves an empty box empty",
         true,
         {{FocusOut, {}}, {Type, ""}, {OwnerClears, {}}},
         QString(),
         false,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlaceholderState state;
        state.enabled = c.enabled;
        state.text = ph;
        QString text;
        for (const auto& [step, value] : c.steps) {
            switch (step) {
                case FocusIn:
                    text = PlaceholderOnFocusIn(state, text);
                    break;
                case FocusOut:
                    text = PlaceholderOnFocusOut(state, text);
                    break;
                case Type:
                    text = value;
                    PlaceholderOnTextChanged(state, text);
                    break;
                case OwnerClears:
                    state.showing = false;
                    break;
            }
        }
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(state.showing, c.showing);
        EXPECT_EQ(PlaceholderColourApplies(state, false), c.grey_unfocused);
        EXPECT_FALSE(PlaceholderColourApplies(state, true));
    }
}

TEST(DropItemRules, LookOfARow) {
    struct Case {
        bool enabled, hot, current;
        bool background;
        DropItemLook::TextColour text;
    };
    const Case cases[] = {
        {true, false, false, false, DropItemLook::NormalText},
        {true, true, false, true, DropItemLook::HighlightText},
        {true, false, true, true, DropItemLook::HighlightText},
        {false, true, false, false, DropItemLook::DisabledText},
        {false, false, true, false, DropItemLook::DisabledText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.enabled << c.hot << c.current);
        const DropItemLook look = SelectDropItemLook(c.enabled, c.hot, c.current);
        EXPECT_EQ(look.highlight_background, c.background);
        EXPECT_EQ(look.text, c.text);
        EXPECT_EQ(look.tick, c.current);
    }
}

TEST(DropItemRules, TextWidthLeavesRoomForPictureAndTick) {
    EXPECT_EQ(DropItemTextWidth(200, false, 18, false), 184);
    EXPECT_EQ(DropItemTextWidth(200, true, 18, false), 160);
    EXPECT_EQ(DropItemTextWidth(200, false, 18, true), 158);
    EXPECT_EQ(DropItemTextWidth(200, true, 18, true), 134);
    EXPECT_EQ(DropItemTextWidth(20, true, 18, true), 0);
}

DropListItems ThreeItems() {
    DropListItems items;
    items.AddItem("eth0", 7);
    items.AddItem("eth1", 7);
    items.AddItem("wlan0", 7);
    return items;
}

TEST(DropListSelection, RemoveKeepsTheSelectedEntry) {
    struct Case {
        int selected;
        int removed;
        int selected_after;  // -1 none
        const char* text_after;
    };
    const Case cases[] = {
        {1, 1, -1, ""},                         // the selected item itself: no selection
        {2, 0, 1, "wlan0"},                     // an earlier item: the same entry stays selected
        {0, 2, 0, "eth0"},                      // a later item: nothing moves
        {-1, 0, -1, ""},    {1, 5, 1, "eth1"},  // a bad index changes nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.selected << " " << c.removed);
        DropListItems items = ThreeItems();
        ASSERT_TRUE(items.SetCurrentIndex(c.selected));
        EXPECT_EQ(items.RemoveItem(c.removed), c.removed >= 0 && c.removed < 3);
        EXPECT_EQ(items.CurrentIndex(), c.selected_after);
        EXPECT_EQ(items.GetSelectedText(), QString(c.text_after));
        for (int i = 0; i < items.Count(); ++i)
            EXPECT_EQ(items.Item(i).value, i);
    }
}

TEST(DropListSelection, IndexesTextsAndReset) {
    DropListItems items = ThreeItems();
    EXPECT_EQ(items.AddItem("lo", 99), 3);
    EXPECT_EQ(items.Item(3).value, 3);
    EXPECT_EQ(items.GetItemText(2), "wlan0");
    EXPECT_EQ(items.GetItemText(4), QString());
    EXPECT_EQ(items.GetItemText(-1), QString());
    EXPECT_EQ(items.GetSelectedText(), QString());
    EXPECT_FALSE(items.SetCurrentIndex(4));
    EXPECT_FALSE(items.SetCurrentIndex(-2));
    EXPECT_EQ(items.CurrentIndex(), -1);
    ASSERT_TRUE(items.SetCurrentIndex(3));
    items.ResetItems();
    EXPECT_EQ(items.Count(), 0);
    EXPECT_EQ(items.CurrentIndex(), -1);
    EXPECT_EQ(items.GetSelectedText(), QString());
}

TEST(DropListSelection, KeyboardSkipsDisabledItems) {
    DropListItems items = ThreeItems();
    items.AddItem("lo");
    items.SetItemEnabled(1, false);
    items.SetItemEnabled(3, false);
    struct Case {
        int from, step, expected;
    };
    const Case cases[] = {{-1, 1, 0},  {0, 1, 2},   {2, 1, -1}, {2, -1, 0},
                          {0, -1, -1}, {-1, -1, 2}, {0, 0, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " " << c.step);
        EXPECT_EQ(items.NextSelectable(c.from, c.step), c.expected);
    }
}

}  // namespace
}  // namespace provix
