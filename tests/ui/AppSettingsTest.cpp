#include "ui/AppSettings.h"

#include "ui/COperateFileIni.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <set>

namespace provix {
namespace {

const std::string kData = std::string(PROVIX_TEST_DATA) + "/settings/";
constexpr Colour kBlack{0, 0, 0};

TEST(Settings, WithoutAFileEveryValueTakesItsDefault) {
    const AppSettingsValues s = ReadSettings(kData + "no_such_folder/");
    EXPECT_EQ(s.ChildBkColor, (Colour{255, 255, 255}));
    EXPECT_EQ(s.LineColor, (Colour{215, 215, 215}));
    EXPECT_EQ(s.GridTextColor, kBlack);
    EXPECT_EQ(s.GridTitleTextColor, (Colour{237, 112, 32}));
    EXPECT_EQ(s.GridTitleBkColor, (Colour{186, 199, 231}));
    EXPECT_EQ(s.FontName, "Microsoft YaHei");
    EXPECT_EQ(s.GridTitleFont, (FontDescription{15, 700, "Microsoft YaHei"}));
    EXPECT_EQ(s.GridCellFont, (FontDescription{15, 0, "Microsoft YaHei"}));
}

TEST(Settings, ShippedFileSetsEveryKeyWithAValidValue) {
    // The shipped look differs from the built-in defaults; a key it misspells or a colour it breaks
    // would silently fall back to a default or to black.
    const std::string path = std::string(PROVIX_RESOURCES) + "/Setting.ini";
    const AppSettingsValues shipped = ReadSettings(std::string(PROVIX_RESOURCES) + "/");
    const struct {
        const char* section;
        const char* key;
    } keys[] = {{"Color", "ChildBkColor"},        {"Color", "LineColor"},          {"Color", "GridTextColor"},
                {"Color", "GridTitleTextColor"}, {"Color", "GridTitleBkColor"},   {"Font", "FontName"},
                {"Font", "GridTitleFontWeight"}, {"Font", "GridTitleFontHeight"}, {"Font", "GridFontWeight"},
                {"Font", "GridFontHeight"}};
    for (const auto& k : keys) {
        SCOPED_TRACE(k.key);
        EXPECT_NE(COperateFileIni::ReadString(path, k.section, k.key, "<missing>", 63), "<missing>");
    }
    for (const Colour* colour : {&shipped.ChildBkColor, &shipped.LineColor, &shipped.GridTitleTextColor,
                                 &shipped.GridTitleBkColor}) {
        EXPECT_NE(*colour, kBlack);
    }
    EXPECT_EQ(shipped.GridTitleFont.face, "Microsoft YaHei");
    EXPECT_GT(shipped.GridTitleFont.height, 0);
    EXPECT_GT(shipped.GridCellFont.height, 0);
}

TEST(Settings, MalformedValuesGiveBlackAndLeadingDigits) {
    const AppSettingsValues s = ReadSettings(kData + "malformed/");
    EXPECT_EQ(s.ChildBkColor, kBlack);                 // two numbers
    EXPECT_EQ(s.LineColor, kBlack);                    // one above 255
    EXPECT_EQ(s.GridTextColor, (Colour{10, 20, 30}));  // the empty last field is dropped
    EXPECT_EQ(s.GridTitleTextColor, kBlack);           // ",," makes four fields
    EXPECT_EQ(s.GridTitleBkColor, kBlack);             // negative
    EXPECT_EQ(s.GridTitleFont.weight, 0);              // "bold"
    EXPECT_EQ(s.GridTitleFont.height, 12);             // "12px"
    EXPECT_EQ(s.GridCellFont.weight, 400);
    EXPECT_EQ(s.GridCellFont.height, 0);  // present but empty: not the default
}

TEST(Settings, SectionsAndKeysInOtherLetterCaseAreFound) {
    const AppSettingsValues s = ReadSettings(kData + "other_case/");
    EXPECT_EQ(s.ChildBkColor, (Colour{1, 2, 3}));
    EXPECT_EQ(s.GridTitleFont, (FontDescription{15, 400, "DejaVu Sans"}));
    EXPECT_EQ(s.GridCellFont.face, "DejaVu Sans");
}

struct ColourCase {
    const char* text;
    bool ok;
    Colour colour;
};

TEST(Settings, ColourSplitter) {
    const ColourCase cases[] = {
        {"1,2,3", true, {1, 2, 3}},
        {"255,255,255", true, {255, 255, 255}},
        {"1,2,3,", true, {1, 2, 3}},
        {" 12,abc,3", true, {12, 0, 3}},
        {"1 ,+2 ,3x", true, {1, 2, 3}},
        {"0x10,2,3", true, {0, 2, 3}},
        {"\"1\",'2',3", true, {1, 2, 3}},
        {"1,2", false, {}},
        {"1,2,3,4", false, {}},
        {"1,,2,3", false, {}},
        {"1,2,3,,", false, {}},
        {"1,2,3, ", false, {}},
        {",1,2", true, {0, 1, 2}},
        {"1,2,256", false, {}},
        {"-1,2,3", false, {}},
        {"1,2,99999999999", false, {}},
        {"\"1,2\",3", false, {}},
        {"", false, {}},
        {",,", false, {}},
    };
    for (const ColourCase& c : cases) {
        Colour colour{9, 9, 9};
        EXPECT_EQ(ParseSettingColour(c.text, colour), c.ok) << c.text;
        EXPECT_EQ(colour, (c.ok ? c.colour : Colour{9, 9, 9})) << c.text;
    }
}

TEST(Settings, ColourPacksRedLowest) {
    EXPECT_EQ((Colour{1, 2, 3}).Value(), 1u + 2u * 256u + 3u * 65536u);
    EXPECT_EQ((Colour{255, 255, 255}).Value(), 0xFFFFFFu);
}

TEST(Settings, IntegerConversion) {
    const struct {
        const char* text;
        int value;
    } cases[] = {
        {"700", 700},
        {"  \t12", 12},
        {"-5", -5},
        {"+7", 7},
        {"bold", 0},
        {"12abc", 12},
        {"", 0},
        {"- 3", 0},
        {"99999999999", INT_MAX},
        {"-99999999999", INT_MIN},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseSettingInteger(c.text), c.value) << c.text;
}

TEST(Settings, LongFontNameIsCutToThirtyOneCharacters) {
    char path[] = "/tmp/provix-settings-XXXXXX";
    ASSERT_NE(mkdtemp(path), nullptr);
    const std::string folder = std::string(path) + "/";
    {
        std::FILE* f = std::fopen((folder + "Setting.ini").c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs(
            "[Font]\nFontName=\xe5\xbe\xae\xe8\xbd\xaf\xe9\x9b\x85\xe9\xbb\x91 "
            "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\n",
            f);
        std::fclose(f);
    }
    const AppSettingsValues s = ReadSettings(folder);
    std::filesystem::remove_all(path);
    EXPECT_EQ(s.FontName, "微软雅黑 ABCDEFGHIJKLMNOPQRSTUVWXYZ");  // 31 characters, 39 bytes
    EXPECT_EQ(s.GridTitleFont.face, s.FontName);
}

TEST(Settings, ProcessWideValuesComeFromTheGivenFolder) {
    LoadSettings(kData + "other_case/");
    EXPECT_EQ(AppSettings().ChildBkColor, (Colour{1, 2, 3}));
    LoadSkinPaths("/opt/provix/");
    EXPECT_EQ(SkinImages().select, "/opt/provix/Skin/select.bmp");
    EXPECT_EQ(SkinImages().main_bk_jpg, "/opt/provix/Skin/main_bk.jpg");
}

TEST(SkinImages, EveryImageHasItsOwnPathBelowSkin) {
    const SkinImagePaths paths = MakeSkinPaths("/x/");
    std::set<const std::string*> members;
    std::set<std::string> files;
    for (const SkinImageFile& f : SkinImageFiles()) {
        EXPECT_EQ(paths.*f.path, std::string("/x/Skin/") + f.file);
        members.insert(&(paths.*f.path));
        files.insert(f.file);
    }
    // Each member filled exactly once, so none is left empty or filled with another image.
    EXPECT_EQ(members.size(), sizeof(SkinImagePaths) / sizeof(std::string));
    EXPECT_EQ(files.size(), SkinImageFiles().size());
    EXPECT_EQ(SkinImageFiles().size(), members.size());
}

TEST(ExecutableFolder, IsTheFolderOfThisProgram) {
    const std::string& folder = ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(folder + "ui_settings_test"));
    EXPECT_EQ(&folder, &ExecutableFolder());
}

}  // namespace
}  // namespace provix
