#include "language/Translation.h"

#include "devices/OperateStatus.h"
#include "language/LocaleId.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace provix {
namespace {

const std::string kResources = std::string(PROVIX_RESOURCES) + "/";

// A program folder with its own "Languages" files; removed afterwards.
class LanguageFolder : public testing::Test {
protected:
    void SetUp() override {
        char path[] = "/tmp/provix-lang-XXXXXX";
        ASSERT_NE(mkdtemp(path), nullptr);
        root = path;
        folder = root.string() + "/";
    }
    void TearDown() override {
        std::filesystem::remove_all(root);
        InitLanguage(folder + "gone/");
    }
    void Write(const std::string& name, const std::string& text) {
        std::filesystem::create_directories(root / "Languages");
        std::ofstream(root / "Languages" / name, std::ios::binary) << text;
    }

    std::filesystem::path root;
    std::string folder;
};

// Sets one environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name(name) {
        if (const char* old = std::getenv(name))
            saved = old, had = true;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { had ? setenv(name, saved.c_str(), 1) : unsetenv(name); }

private:
    const char* name;
    std::string saved;
    bool had = false;
};

TEST(LocaleId, PosixNamesMapToWindowsLocaleNumbers) {
    const struct {
        const char* posix;
        unsigned id;
    } cases[] = {
        {"en_US.UTF-8", 1033}, {"zh_CN.UTF-8", 2052},
        {"zh_TW", 1028},       {"zh_HK.Big5-HKSCS", 3076},
        {"de_DE@euro", 1031},  {"fr_FR.UTF-8", 1036},
        {"ja_JP.eucJP", 1041}, {"ko_KR", 1042},
        {"es_ES", 3082},       {"ru_RU.KOI8-R", 1049},
        {"pt_BR", 1046},       {"it_IT", 1040},
        {"en_GB", 2057},       {"zh-cn", 2052},
        {"de", 1031},          {"de_XX", 1031},
        {"C", 1033},           {"POSIX", 1033},
        {"C.UTF-8", 1033},     {"", 1033},
        {"xx_YY", 1033},       {"zh_CN_extra_long_garbage_text", 2052},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LocaleIdFromPosix(c.posix), c.id) << c.posix;
}

TEST(LocaleId, MessageLocaleComesFromLcAllThenLcMessagesThenLang) {
    {
        ScopedEnv all("LC_ALL", ""), messages("LC_MESSAGES", "zh_CN.UTF-8"), lang("LANG", "de_DE.UTF-8");
        EXPECT_EQ(SystemLocaleId(), 2052u);
    }
    {
        ScopedEnv all("LC_ALL", "ja_JP.UTF-8"), messages("LC_MESSAGES", "zh_CN.UTF-8"), lang("LANG", "de_DE");
        EXPECT_EQ(SystemLocaleId(), 1041u);
    }
    {
        ScopedEnv all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr), lang("LANG", "ru_RU.UTF-8");
        EXPECT_EQ(SystemLocaleId(), 1049u);
    }
    {
        ScopedEnv all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr), lang("LANG", nullptr);
        EXPECT_EQ(SystemLocaleId(), 1033u);
    }
}

TEST_F(LanguageFolder, MappingFileChoosesTheLanguage) {
    Write("Language.ini", "[LCID]\n1033=English\n2052 = Chinese \n1031=\n");
    InitLanguage(folder);
    EXPECT_EQ(GetLanguageName(2052), "Chinese");
    EXPECT_EQ(GetLanguageName(0x10804), "Chinese");  // only the low 16 bits count
    EXPECT_EQ(GetLanguageName(1033), "English");
    EXPECT_EQ(GetLanguageName(1031), "English");  // empty value
    EXPECT_EQ(GetLanguageName(1041), "English");  // no key
}

TEST_F(LanguageFolder, InitLanguageLoadsTheLanguageOfTheSystemLocale) {
    Write("Language.ini", "[LCID]\n2052=Chinese\n");
    Write("Chinese.lng", "[ProgramOutStr]\nnote=提示\n");
    ScopedEnv all("LC_ALL", "zh_CN.UTF-8");
    EXPECT_TRUE(InitLanguage(folder));
    EXPECT_EQ(CurrentLanguage(), "Chinese");
    EXPECT_EQ(CurrentLanguageFile(), folder + "Languages/Chinese.lng");
    EXPECT_EQ(TranslateText("Note"), "提示");
}

TEST_F(LanguageFolder, WithoutLanguagesFolderEverythingIsEnglish) {
    ScopedEnv all("LC_ALL", "zh_CN.UTF-8");
    EXPECT_TRUE(InitLanguage(folder));
    EXPECT_EQ(CurrentLanguage(), "English");
    EXPECT_EQ(TranslateText("Please select the devices!"), "Please select the devices!");
}

TEST_F(LanguageFolder, MissingOrEmptyLanguageFileStillBecomesTheCurrentOne) {
    Write("Empty.lng", "");
    InitLanguage(folder);
    for (const char* name : {"Empty", "Absent"}) {
        LoadLanguage(name);
        EXPECT_EQ(CurrentLanguageFile(), folder + "Languages/" + name + ".lng");
        EXPECT_EQ(TranslateText("Scan Devices"), "Scan Devices");
    }
    LoadLanguage("");
    EXPECT_EQ(CurrentLanguage(), "English");
    EXPECT_EQ(CurrentLanguageFile(), folder + "Languages/English.lng");
}

TEST_F(LanguageFolder, LookupAndValueSyntax) {
    Write("Test.lng",
          "[ProgramOutStr]\n"
          "please select the devices!=Bitte Geräte wählen!\n"
          "SHOUTED KEY=found\n"
          "über=ueber\n"
          "привет=hello\n"
          "two lines=first\\nsecond\n"
          "windows lines=first\\r\\nsecond\n"
          "emptied=[~NullInfoVallo~]\n"
          "trailing blank=Gerät:[~Null~]\n"
          "nested markers=[~Null[~NullInfoVallo~]~]\n"
          "literal backslash r=a\\rb\n"
          "empty value=\n"
          "  padded  =   trimmed value   \n");
    InitLanguage(folder);
    LoadLanguage("Test");
    const struct {
        const char* english;
        const char* expected;
    } cases[] = {
        {"Please select the devices!", "Bitte Geräte wählen!"},
        {"PLEASE SELECT THE DEVICES!", "Bitte Geräte wählen!"},
        {"Shouted Key", "found"},
        {"ÜBER", "ueber"},
        {"ПРИВЕТ", "hello"},
        {"Two lines", "first\nsecond"},
        {"Windows lines", "first\r\nsecond"},
        {"Emptied", ""},
        {"Trailing blank", "Gerät: "},
        {"Nested markers", " "},
        {"Literal backslash r", "a\\rb"},
        {"Empty value", "Empty value"},
        {"Padded", "trimmed value"},
        {"Not In The File", "Not In The File"},
        {"english with\\nbreak", "english with\nbreak"},
        {"English [~Null~]marker", "English  marker"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TranslateText(c.english), c.expected) << c.english;
}

TEST_F(LanguageFolder, LongTranslationIsCutAt1023Characters) {
    Write("Long.lng", "[ProgramOutStr]\nlong=" + std::string(5000, 'z') + "\n");
    InitLanguage(folder);
    LoadLanguage("Long");
    EXPECT_EQ(TranslateText("Long"), std::string(1023, 'z'));
}

TEST_F(LanguageFolder, StatusTextsPassThroughTheTranslation) {
    Write("Test.lng", "[ProgramOutStr]\nwait operate=Warten\nlockcode mismatch=Sperrcode falsch\n");
    InitLanguage(folder);
    LoadLanguage("Test");
    EXPECT_EQ(OperateStatusText(WaitOperate), "Warten");
    EXPECT_EQ(OperateStatusText(LockcodeMismatch), "Sperrcode falsch");
    EXPECT_EQ(OperateStatusText(TransmitFail), "Transmit fail");
    EXPECT_EQ(OperateStatusText(8), "");
    EXPECT_EQ(OperateStatusText(-1), "");
}

TEST(ShippedLanguages, ChineseTranslatesTheInterfaceTexts) {
    ScopedEnv all("LC_ALL", "zh_CN.UTF-8");
    InitLanguage(kResources);
    ASSERT_EQ(CurrentLanguage(), "Chinese");
    const char* texts[] = {
        "Note",
        "Ok",
        "Cancel",
        "Failed to open database, unable to get data.",
        "Cannot open file: ",
        "Duplicate section \"",
        "\" found at line ",
        "Select Network Adapter",
        "Scan Devices",
        "Ensure the computer's NIC is enabled!",
        "Min",
        "Close",
        "Confirm Exit",
        "Are you sure you want to exit Provix?",
        "Show Utility",
        "Exit",
        "Are you sure close program?",
        "Device Customization",
        "Anti-Theft Protection",
        "Change",
        "NIC:",
        "No.",
        "MAC Address",
        "Status",
        "Configuration successful: ",
        "devices, Failed:",
        "devices",
        "Online devices count:",
        "Please select the devices!",
        "The input Lock Code cannot contain the characters \" or \\ ",
        "The Secondary DNS is invalid!",
    };
    for (const char* text : texts)
        EXPECT_NE(TranslateText(text), text) << text;
    for (int status = WaitOperate; status <= LockcodeMismatch; ++status)
        EXPECT_NE(OperateStatusText(status), OperateStatusName(status)) << status;
    EXPECT_EQ(OperateStatusText(OperateSuccess), "操作成功");
}

TEST(ShippedLanguages, TraditionalAndEnglishLocales) {
    InitLanguage(kResources);
    EXPECT_EQ(GetLanguageName(1028), "Chinese");
    EXPECT_EQ(GetLanguageName(3076), "Chinese");
    EXPECT_EQ(GetLanguageName(1033), "English");
    ScopedEnv all("LC_ALL", "C");
    InitLanguage(kResources);
    EXPECT_EQ(CurrentLanguage(), "English");
    EXPECT_EQ(TranslateText("Wait operate"), "Wait operate");
}

// Lookups from many threads while the language is being replaced: every answer is one of the two
// languages' texts, never a torn or empty one. Meant for the thread-sanitizer build.
TEST_F(LanguageFolder, TranslateFromManyThreadsWhileReloading) {
    Write("A.lng", "[ProgramOutStr]\nnote=Note A\nwait operate=Wait A\n");
    Write("B.lng", "[ProgramOutStr]\nnote=Note B\nwait operate=Wait B\n");
    InitLanguage(folder);
    LoadLanguage("A");
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 6; ++t) {
        readers.emplace_back([&] {
            for (int i = 0; i < 3000; ++i) {
                const std::string note = TranslateText("Note");
                const std::string status = OperateStatusText(WaitOperate);
                if ((note != "Note A" && note != "Note B") || (status != "Wait A" && status != "Wait B"))
                    ++bad;
            }
        });
    }
    std::thread writer([&] {
        for (int i = 0; !stop; ++i)
            LoadLanguage(i % 2 ? "A" : "B");
    });
    for (std::thread& r : readers)
        r.join();
    stop = true;
    writer.join();
    EXPECT_EQ(bad, 0);
}

}  // namespace
}  // namespace provix
