#include "language/WindowTranslation.h"

#include "language/Translation.h"
#include "ui/CCustomComboBox.h"
#include "ui/CTButtonPicture.h"
#include "ui/CTStaticGdiplus.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace provix {
namespace {

// A program folder whose "Languages" folder holds one small language, loaded for each test.
class WindowTranslation : public testing::Test {
protected:
    void SetUp() override {
        char path[] = "/tmp/provix-wintr-XXXXXX";
        ASSERT_NE(mkdtemp(path), nullptr);
        root = path;
        std::filesystem::create_directories(root / "Languages");
        std::ofstream(root / "Languages" / "Test.lng", std::ios::binary)
            << "[ProgramOutStr]\n"
               "select network adapter=Netzwerkadapter wählen\n"
               "scan devices=Geräte suchen\n"
               "note=Hinweis\n"
               "ok=OK!\n"
               "secret=Geheim\n"
               "blanked=[~NullInfoVallo~]\n"
               "first=Erste\n"
               "second=Zweite\n"
               "third=Dritte\n"
               "show utility=Anzeigen\n"
               "exit=Beenden\n"
               "more=Mehr\n"
               "about provix...=Über Provix...\n";
        InitLanguage(root.string() + "/");
        LoadLanguage("Test");
    }
    void TearDown() override {
        LoadLanguage("");
        std::filesystem::remove_all(root);
    }

    std::filesystem::path root;
};

TEST_F(WindowTranslation, TranslatesCaptionLabelsButtonsAndLeavesInputAlone) {
    QDialog dialog;
    dialog.setWindowTitle("Note");
    auto* skinned_label = new CTStaticGdiplus(&dialog);
    skinned_label->SetText("Select Network Adapter");
    auto* button = new CTButtonPicture(&dialog);
    button->setText("Scan Devices");
    auto* plain_label = new QLabel("Ok", &dialog);
    auto* edit = new QLineEdit("secret", &dialog);
    auto* list = new QListWidget(&dialog);
    list->addItem("secret");
    auto* untranslated = new QLabel("Not in the file", &dialog);
    auto* ellipsis = new QLabel("...", &dialog);
    auto* blanked = new QLabel("Blanked", &dialog);

    TranslateWindow(&dialog);

    EXPECT_EQ(dialog.windowTitle(), "Hinweis");
    EXPECT_EQ(skinned_label->Text(), "Netzwerkadapter wählen");
    EXPECT_EQ(button->text(), "Geräte suchen");
    EXPECT_EQ(plain_label->text(), "OK!");
    EXPECT_EQ(edit->text(), "secret");
    EXPECT_EQ(list->item(0)->text(), "secret");
    EXPECT_EQ(untranslated->text(), "Not in the file");
    EXPECT_EQ(ellipsis->text(), "...");
    // An empty translation is never written: the control keeps its own text.
    EXPECT_EQ(blanked->text(), "Blanked");
}

TEST_F(WindowTranslation, SecondCallLeavesResetTextsAndLaterChildrenAreStillTranslated) {
    QDialog dialog;
    auto* label = new QLabel("Ok", &dialog);
    TranslateWindow(&dialog);
    ASSERT_EQ(label->text(), "OK!");

    label->setText("Ok");
    auto* late = new QLabel("Note", &dialog);
    TranslateWindow(&dialog);
    EXPECT_EQ(label->text(), "Ok");
    EXPECT_EQ(late->text(), "Note") << "the dialog itself is already translated";

    // A new dialog, even at a recycled address, is a new window.
    QDialog other;
    auto* fresh = new QLabel("Note", &other);
    TranslateWindow(&other);
    EXPECT_EQ(fresh->text(), "Hinweis");
}

TEST_F(WindowTranslation, ComboItemsAreTranslatedInPlaceAndKeepTheSelection) {
    const struct { int selected; } cases[] = {{-1}, {0}, {2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.selected);
        QDialog dialog;
        auto* skinned = new CCustomComboBox(&dialog);
        auto* plain = new QComboBox(&dialog);
        for (const char* text : {"First", "Second", "Third"}) {
            skinned->AddItem(text);
            plain->addItem(text);
        }
        skinned->SetItemEnabled(1, false);
        skinned->SetCurrentIndex(c.selected);
        plain->setCurrentIndex(c.selected);

        TranslateWindow(&dialog);

        EXPECT_EQ(skinned->Items().Count(), 3);
        EXPECT_EQ(skinned->GetItemText(0), "Erste");
        EXPECT_EQ(skinned->GetItemText(1), "Zweite");
        EXPECT_EQ(skinned->GetItemText(2), "Dritte");
        EXPECT_FALSE(skinned->Items().Item(1).enabled);
        EXPECT_EQ(skinned->CurrentIndex(), c.selected);
        EXPECT_EQ(plain->itemText(2), "Dritte");
        EXPECT_EQ(plain->currentIndex(), c.selected);
    }
}

TEST_F(WindowTranslation, MenuItemsAndSubmenusAreTranslatedSeparatorsKept) {
    QMenu menu;
    QAction* show = menu.addAction("Show Utility");
    menu.addSeparator();
    QMenu* more = menu.addMenu("More");
    QAction* about = more->addAction("About Provix...");
    QAction* exit = menu.addAction("Exit");
    QAction* unknown = menu.addAction("Unknown item");
    int triggered = 0;
    QObject::connect(exit, &QAction::triggered, [&] { ++triggered; });

    TranslateMenu(&menu);

    EXPECT_EQ(show->text(), "Anzeigen");
    EXPECT_EQ(more->title(), "Mehr");
    EXPECT_EQ(about->text(), "Über Provix...");
    EXPECT_EQ(exit->text(), "Beenden");
    EXPECT_EQ(unknown->text(), "Unknown item");
    ASSERT_EQ(menu.actions().size(), 5);
    EXPECT_TRUE(menu.actions().at(1)->isSeparator());
    // The item is the same action, so what it does is kept.
    exit->trigger();
    EXPECT_EQ(triggered, 1);
}

}  // namespace
}  // namespace provix
