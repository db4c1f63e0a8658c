#include "antitheft/TemplateStore.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace provix {
namespace {

namespace fs = std::filesystem;
using Sections = std::map<std::string, TemplateSection>;
using namespace std::string_literals;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string Fixture(const std::string& name) {
    return std::string(PROVIX_TEST_DATA) + "/templates/" + name;
}

class TemplateStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::path(::testing::TempDir()) / "templates-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        file = folder / "Config.ini";
    }
    void TearDown() override { fs::remove_all(folder); }

    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path folder;
    fs::path file;
};

struct LoadCase {
    const char* name;
    std::string text;
    Sections expected;
};

class TemplateStoreLoadTest : public TemplateStoreTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(TemplateStoreLoadTest, ReadsSectionsKeysAndValues) {
    WriteBytes(file, GetParam().text);
    TemplateStore store;
    ASSERT_TRUE(store.Load(file.string())) << store.LastError();
    EXPECT_EQ(store.Sections(), GetParam().expected);
    EXPECT_EQ(store.LastError(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Rules, TemplateStoreLoadTest,
    ::testing::Values(
        LoadCase{"EmptyFile", "", {}}, LoadCase{"OnlyBlankLines", "\n \t\n\r\n", {}},
        LoadCase{"StrayKeysCommentsAndLinesWithoutEquals",
                 "ACName=stray\n; SwitchOn=1\n# PrimaryDns=1.1.1.1\n[A]\nno equals here\n  "
                 ";ACName=x\n\t#k=v\nACName=AC1\n",
                 {{"A", {{"ACName", "AC1"}}}}},
        LoadCase{"BlanksAroundLineKeyAndValue",
                 " \t[A]\t \n \tAC Name \t= \t v 1 \t\n",
                 {{"A", {{"AC Name", "v 1"}}}}},
        LoadCase{"BlanksInsideBracketsBelongToName", "[ A ]\nk=v\n", {{" A ", {{"k", "v"}}}}},
        LoadCase{"ValueKeepsLaterEquals", "[A]\nk=a=b=\nk2==\n", {{"A", {{"k", "a=b="}, {"k2", "="}}}}},
        LoadCase{"CommentCharactersInsideValue", "[A]\nk=a;b#c\n", {{"A", {{"k", "a;b#c"}}}}},
        LoadCase{"EmptyAndBlankValues", "[A]\nk=\nk2= \t \n", {{"A", {{"k", ""}, {"k2", ""}}}}},
        LoadCase{"LaterKeyReplacesEarlier", "[A]\nk=1\nk=2\n", {{"A", {{"k", "2"}}}}},
        LoadCase{"EmptyKeyIgnored", "[A]\n \t= v\n", {{"A", {}}}},
        LoadCase{"EmptyNamedSectionKeepsNoKeys", "[]\nk=v\n[B]\nk=w\n", {{"", {}}, {"B", {{"k", "w"}}}}},
        LoadCase{"UnclosedBracketIsOrdinaryLine", "[A]\n[B=1\n", {{"A", {{"[B", "1"}}}}},
        LoadCase{"BracketsAroundEqualsAreHeader", "[A=1]\nk=v\n", {{"A=1", {{"k", "v"}}}}},
        LoadCase{"SectionsDifferingInCaseAreDistinct",
                 "[a]\nk=1\n[A]\nk=2\n",
                 {{"A", {{"k", "2"}}}, {"a", {{"k", "1"}}}}},
        LoadCase{"CarriageReturnBeforeLineFeedDropped", "[A]\r\nk=v\r\n", {{"A", {{"k", "v"}}}}},
        LoadCase{"LoneCarriageReturnKept", "[A]\nk=a\rb\n", {{"A", {{"k", "a\rb"}}}}},
        LoadCase{"LastLineWithoutLineFeed", "[A]\nk=v", {{"A", {{"k", "v"}}}}},
        LoadCase{"HeaderWithTrailingCommentIsNotHeader", "[A]\n[B] ;c\nk=v\n", {{"A", {{"k", "v"}}}}}),
    [](const auto& info) { return std::string(info.param.name); });

struct FixtureCase {
    const char* file;
    bool loads;
    Sections expected;
    std::string error;
};

TEST_F(TemplateStoreTest, BrokenFixtureFiles) {
    const FixtureCase cases[] = {
        {"bom_first_header.ini", true, {{"Depot", {{"ACName", "AC2"}}}}, ""},
        {"truncated_last_line.ini",
         true,
         {{"Office",
           {{"ACName", "AC1"}, {"PrimaryDns", "8.8.8.8"}, {"SecondaryDns", "8.8.4.4"}, {"SwitchOn", "1"}}},
          {"Warehouse", {{"ACName", "AC-WH"}, {"PrimaryDns", "8.8"}}}},
         ""},
        {"broken_headers.ini", true, {{"Lab", {{"ACName", "AC1"}, {"SwitchOn", "1"}}}}, ""},
        {"nul_bytes.ini", true, {{"A\0B"s, {{"ACName", "x\0y"s}}}, {"C", {{"SwitchOn", "1\0"s}}}}, ""},
        {"duplicate_section.ini", false, {}, "Duplicate section \"Office\" found at line 15"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        TemplateStore store;
        store.SetValue("Stale", "k", "v");
        EXPECT_EQ(store.Load(Fixture(c.file)), c.loads);
        EXPECT_EQ(store.Sections(), c.expected);
        EXPECT_EQ(store.LastError(), c.error);
    }
}

TEST_F(TemplateStoreTest, DuplicateHeadersReportTheirLine) {
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {"[A]\n[A]\n", "Duplicate section \"A\" found at line 2"},
        {"[]\nk=v\n\n[]\n", "Duplicate section \"\" found at line 4"},
        {"[A]\r\n; c\r\n  [A]  \r\n", "Duplicate section \"A\" found at line 3"},
        {"[x]\n[ y]\n[ y]", "Duplicate section \" y\" found at line 3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        WriteBytes(file, c.text);
        TemplateStore store;
        EXPECT_FALSE(store.Load(file.string()));
        EXPECT_EQ(store.LastError(), c.error);
        EXPECT_TRUE(store.Sections().empty());
    }
}

TEST_F(TemplateStoreTest, UnopenableFileKeepsSectionsAndNamesPath) {
    const auto fifo = folder / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string paths[] = {(folder / "missing.ini").string(), folder.string(), fifo.string(),
                                 "/dev/zero"};
    WriteBytes(file, "[Kept]\nk=v\n");
    for (const auto& path : paths) {
        SCOPED_TRACE(path);
        TemplateStore store;
        ASSERT_TRUE(store.Load(file.string()));
        EXPECT_FALSE(store.Load(path));
        EXPECT_EQ(store.LastError(), "Cannot open file: " + path);
        EXPECT_EQ(store.SectionNames(), std::vector<std::string>{"Kept"});
        // A later successful load clears the old report.
        EXPECT_TRUE(store.Load(file.string()));
        EXPECT_EQ(store.LastError(), "");
    }
}

TEST_F(TemplateStoreTest, ListsNamesInByteOrder) {
    TemplateStore store;
    for (const std::string name : {"b", "\xC3\xA9t\xC3\xA9", "ab", "a", "B", "A b", "Z", "~"}) {
        ASSERT_TRUE(store.SetValue(name, "SwitchOn", "1"));
    }
    // Bytes compare unsigned: UTF-8 letters come after every ASCII name.
    const std::vector<std::string> expected{"A b", "B", "Z", "a", "ab", "b", "~", "\xC3\xA9t\xC3\xA9"};
    EXPECT_EQ(store.SectionNames(), expected);

    ASSERT_TRUE(store.Save(file.string()));
    TemplateStore reloaded;
    ASSERT_TRUE(reloaded.Load(file.string()));
    EXPECT_EQ(reloaded.SectionNames(), expected);
}

TEST_F(TemplateStoreTest, SavesWholeStoreInMapOrder) {
    WriteBytes(file, "old text that must disappear\n");
    TemplateStore store;
    // Filled in the order the save dialog uses; written in byte order.
    for (const auto& [key, value] : {std::pair{"SwitchOn", "1"},
                                     {"ACName", "AC1"},
                                     {"PrimaryDns", "8.8.8.8"},
                                     {"SecondaryDns", "e.g. 8.8.8.8"}}) {
        ASSERT_TRUE(store.SetValue("Office", key, value));
    }
    for (const auto& [key, value] :
         {std::pair{"SwitchOn", "0"}, {"ACName", ""}, {"PrimaryDns", ""}, {"SecondaryDns", ""}}) {
        ASSERT_TRUE(store.SetValue("Lab", key, value));
    }
    ASSERT_TRUE(store.Save(file.string()));
    EXPECT_EQ(
        ReadBytes(file),
        "[Lab]\r\nACName=\r\nPrimaryDns=\r\nSecondaryDns=\r\nSwitchOn=0\r\n\r\n"
        "[Office]\r\nACName=AC1\r\nPrimaryDns=8.8.8.8\r\nSecondaryDns=e.g. 8.8.8.8\r\nSwitchOn=1\r\n\r\n");

    store.Clear();
    ASSERT_TRUE(store.Save(file.string()));
    EXPECT_EQ(ReadBytes(file), "");
}

TEST_F(TemplateStoreTest, AddingTemplateKeepsOthersAndRewritesThemInOrder) {
    WriteBytes(file, "; hand-written\n[Zeta]\nSwitchOn=1\nACName = AC-Z\n[Alpha]\nSwitchOn=0\n");
    TemplateStore store;
    ASSERT_TRUE(store.Load(file.string()));
    ASSERT_TRUE(store.SetValue("Mid", "SwitchOn", "1"));
    ASSERT_TRUE(store.Save(file.string()));
    EXPECT_EQ(ReadBytes(file),
              "[Alpha]\r\nSwitchOn=0\r\n\r\n[Mid]\r\nSwitchOn=1\r\n\r\n[Zeta]\r\nACName=AC-Z\r\nSwitchOn="
              "1\r\n\r\n");

    store.RemoveSection("Mid");
    store.RemoveSection("Absent");
    ASSERT_TRUE(store.Save(file.string()));
    TemplateStore reloaded;
    ASSERT_TRUE(reloaded.Load(file.string()));
    EXPECT_EQ(reloaded.SectionNames(), (std::vector<std::string>{"Alpha", "Zeta"}));
}

TEST_F(TemplateStoreTest, LoadSaveLoadKeepsEveryFixture) {
    for (const char* name :
         {"bom_first_header.ini", "truncated_last_line.ini", "broken_headers.ini", "nul_bytes.ini"}) {
        SCOPED_TRACE(name);
        TemplateStore first;
        ASSERT_TRUE(first.Load(Fixture(name)));
        ASSERT_TRUE(first.Save(file.string()));
        const auto written = ReadBytes(file);
        TemplateStore second;
        ASSERT_TRUE(second.Load(file.string()));
        EXPECT_EQ(second.Sections(), first.Sections());
        ASSERT_TRUE(second.Save(file.string()));
        EXPECT_EQ(ReadBytes(file), written);
    }
}

// Whatever a file holds, the text the store saves must read back as the same store: otherwise each
// save through the dialogs would change templates nobody touched.
TEST_F(TemplateStoreTest, ArbitraryFilesSurviveSaveAndReload) {
    static constexpr char kAlphabet[] = "[]=;# \t\r\n\0aAz\xC3\xA9";
    std::mt19937 random(20240306);
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2);
    std::uniform_int_distribution<int> length(0, 200);
    for (int round = 0; round < 500; ++round) {
        std::string text;
        for (int i = length(random); i > 0; --i)
            text += kAlphabet[pick(random)];
        SCOPED_TRACE(::testing::PrintToString(text));
        WriteBytes(file, text);
        TemplateStore first;
        if (!first.Load(file.string())) {
            ASSERT_EQ(first.LastError().rfind("Duplicate section \"", 0), 0u);
            continue;
        }
        WriteBytes(file, first.Serialize());
        TemplateStore second;
        ASSERT_TRUE(second.Load(file.string())) << second.LastError();
        ASSERT_EQ(second.Sections(), first.Sections());
    }
}

TEST_F(TemplateStoreTest, GetValueFallsBackForMissingSectionOrKey) {
    TemplateStore store;
    ASSERT_TRUE(store.SetValue("A", "ACName", ""));
    EXPECT_EQ(store.GetValue("A", "ACName", "fallback"), "");
    EXPECT_EQ(store.GetValue("A", "PrimaryDns", "fallback"), "fallback");
    EXPECT_EQ(store.GetValue("a", "ACName", "fallback"), "fallback");
    EXPECT_TRUE(store.HasSection("A"));
    EXPECT_FALSE(store.HasSection("a"));
    EXPECT_FALSE(store.HasSection("A "));
}

TEST_F(TemplateStoreTest, SetValueRefusesTextsTheFileCannotHold) {
    const struct {
        std::string section, key, value;
    } refused[] = {
        {"A\nB", "k", "v"}, {"A\rB", "k", "v"}, {"", "k", "v"},    {"A", "", "v"},       {"A", "a=b", "v"},
        {"A", " k", "v"},   {"A", "k\t", "v"},  {"A", ";k", "v"},  {"A", "#k", "v"},     {"A", "[k", "v]"},
        {"A", "k\n", "v"},  {"A", "k", "v\nw"}, {"A", "k", "x\r"}, {"A", "k", "1\n[B]"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(::testing::PrintToString(c.section + "|" + c.key + "|" + c.value));
        TemplateStore store;
        EXPECT_FALSE(store.SetValue(c.section, c.key, c.value));
        EXPECT_TRUE(store.Sections().empty());
    }

    const struct {
        std::string section, key, value;
    } accepted[] = {
        {"Office", "ACName", "AC1"},
        {" A ", "k", "v"},
        {"[x]", "k;#", "a=b"},
        {"a]b", "k", ""},
        {"  ", "k", "v"},
        {"A\0B"s, "k", "x\0y"s},
        {"\xC3\xA9", "ACName", "\xC3\xA9"},
    };
    TemplateStore store;
    for (const auto& c : accepted)
        EXPECT_TRUE(store.SetValue(c.section, c.key, c.value));
    ASSERT_TRUE(store.Save(file.string()));
    TemplateStore reloaded;
    ASSERT_TRUE(reloaded.Load(file.string()));
    EXPECT_EQ(reloaded.Sections(), store.Sections());
}

TEST_F(TemplateStoreTest, ValueBlanksAreTrimmedOnReload) {
    TemplateStore store;
    ASSERT_TRUE(store.SetValue("A", "PrimaryDns", " 8.8.8.8\t"));
    ASSERT_TRUE(store.Save(file.string()));
    ASSERT_TRUE(store.Load(file.string()));
    EXPECT_EQ(store.GetValue("A", "PrimaryDns", ""), "8.8.8.8");
}

TEST_F(TemplateStoreTest, FailedSaveLeavesPreviousFileWhole) {
    const std::string previous = "[Kept]\r\nACName=AC1\r\n\r\n";
    TemplateStore store;
    ASSERT_TRUE(store.SetValue("New", "ACName", std::string(4096, 'x')));

    // Into a folder that does not exist.
    EXPECT_FALSE(store.Save((folder / "absent" / "Config.ini").string()));
    EXPECT_FALSE(fs::exists(folder / "absent"));

    // Over a directory.
    fs::create_directory(folder / "dir.ini");
    EXPECT_FALSE(store.Save((folder / "dir.ini").string()));
    EXPECT_TRUE(fs::is_directory(folder / "dir.ini"));

    // A write that stops part-way (file size limit) must not cut the old file.
    WriteBytes(file, previous);
    rlimit old_limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old_limit;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = store.Save(file.string());
    ::setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadBytes(file), previous);

    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"Config.ini", "dir.ini"}));
}

TEST_F(TemplateStoreTest, SaveKeepsModeAndSymbolicLink) {
    const auto real = folder / "real.ini";
    WriteBytes(real, "[Old]\n");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    fs::create_symlink("real.ini", file);

    TemplateStore store;
    ASSERT_TRUE(store.SetValue("New", "SwitchOn", "1"));
    ASSERT_TRUE(store.Save(file.string()));

    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(ReadBytes(real), "[New]\r\nSwitchOn=1\r\n\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"Config.ini", "real.ini"}));
}

TEST_F(TemplateStoreTest, LargeHostileFilesLoadCompletely) {
    constexpr int kSections = 100000;
    std::string text;
    for (int i = 0; i < kSections; ++i) {
        text += "[T" + std::to_string(i) + "]\nACName=AC" + std::to_string(i) + "\nSwitchOn=1\n";
    }
    const std::string long_value(8 * 1024 * 1024, 'v');
    text += "[Long]\nACName=" + long_value + "\n";
    // A header-like line with no end, longer than any read buffer.
    text += std::string(3 * 1024 * 1024, '[');
    WriteBytes(file, text);

    TemplateStore store;
    ASSERT_TRUE(store.Load(file.string())) << store.LastError();
    EXPECT_EQ(store.Sections().size(), static_cast<std::size_t>(kSections + 1));
    EXPECT_EQ(store.GetValue("T0", "ACName", ""), "AC0");
    EXPECT_EQ(store.GetValue("T99999", "ACName", ""), "AC99999");
    EXPECT_EQ(store.GetValue("Long", "ACName", ""), long_value);

    // A repeated header after all of that is still found; it sits on the fourth line after the
    // three-line sections ("[Long]", its key, the bracket line, then the header).
    WriteBytes(file, text + "\n[T4242]\n");
    EXPECT_FALSE(store.Load(file.string()));
    EXPECT_EQ(store.LastError(),
              "Duplicate section \"T4242\" found at line " + std::to_string(kSections * 3 + 4));
    EXPECT_TRUE(store.Sections().empty());
}

}  // namespace
}  // namespace provix
