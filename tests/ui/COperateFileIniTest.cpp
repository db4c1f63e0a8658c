#include "ui/COperateFileIni.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <unistd.h>

namespace provix {
namespace {

const std::string kData = std::string(PROVIX_TEST_DATA) + "/ini/";

struct LookupCase {
    const char* name;
    std::string text;
    const char* section;
    const char* key;
    const char* fallback;
    std::size_t max_chars;
    std::string expected;
};

class IniLookup : public testing::TestWithParam<LookupCase> {};

TEST_P(IniLookup, AnswersAsAProfileRead) {
    const LookupCase& c = GetParam();
    COperateFileIni ini;
    ini.LoadFromBytes(c.text);
    EXPECT_EQ(ini.GetString(c.section, c.key, c.fallback, c.max_chars), c.expected);
}

const LookupCase kLookups[] = {
    {"SectionIgnoresCase", "[Color]\nA=1\n", "COLOR", "A", "d", 63, "1"},
    {"KeyIgnoresCase", "[Color]\nChildBkColor=1\n", "Color", "CHILDBKCOLOR", "d", 63, "1"},
    {"NonAsciiNamesIgnoreCase", "[ÜBER]\nПРИВЕТ=1\n", "über", "привет", "d", 63, "1"},
    {"ValueTrimmed", "[S]\n  A \t=  two words \t\n", "S", "A", "d", 63, "two words"},
    {"LookupNamesTrimmed", "[ S ]\nA=1\n", "S", " A ", "d", 63, "1"},
    {"FirstKeyWins", "[S]\nA=1\nA=2\n", "S", "A", "d", 63, "1"},
    {"FirstKeyWinsAcrossCase", "[S]\na=1\nA=2\n", "S", "A", "d", 63, "1"},
    {"MissingSectionGivesDefault", "[S]\nA=1\n", "T", "A", "dflt", 63, "dflt"},
    {"MissingKeyGivesDefault", "[S]\nA=1\n", "S", "B", "dflt", 63, "dflt"},
    {"EmptyValueIsPresent", "[S]\nA=\n", "S", "A", "dflt", 63, ""},
    {"ValueCutToLimit", "[S]\nA=abcdef\n", "S", "A", "d", 3, "abc"},
    {"LimitCountsCharactersNotBytes", "[S]\nA=中文字\n", "S", "A", "d", 2, "中文"},
    {"DefaultCutToLimit", "", "S", "A", "abcdef", 3, "abc"},
    {"ZeroLimitGivesNothing", "[S]\nA=1\n", "S", "A", "d", 0, ""},
    {"EnclosingQuotesDropped", "[S]\nA=\"  kept blanks  \"\n", "S", "A", "d", 63, "  kept blanks  "},
    {"SingleQuotesDropped", "[S]\nA='x'\n", "S", "A", "d", 63, "x"},
    {"UnmatchedQuotesKept", "[S]\nA=\"x'\n", "S", "A", "d", 63, "\"x'"},
    {"ValueMayHoldEquals", "[S]\nA=b=c\n", "S", "A", "d", 63, "b=c"},
    {"CrLfLineEnds", "[S]\r\nA=1\r\nB=2\r\n", "S", "B", "d", 63, "2"},
    {"LoneCrLineEnds", "[S]\rA=1\rB=2\r", "S", "B", "d", 63, "2"},
    {"KeysBeforeFirstSectionUnreachable", "A=1\n[S]\nB=2\n", "S", "A", "d", 63, "d"},
    {"LineWithoutEqualsIgnored", "[S]\nA\nA=2\n", "S", "A", "d", 63, "2"},
    {"TextAfterHeaderIgnored", "[S] ; note\nA=1\n", "S", "A", "d", 63, "1"},
    {"UnclosedHeaderIsAnOrdinaryLine", "[S]\n[T\nA=1\n", "S", "A", "d", 63, "1"},
    {"EmptyKeyIgnored", "[S]\n=1\n", "S", "", "d", 63, "d"},
    {"KeyOfLaterSectionNotFoundInEarlier", "[S]\nA=1\n[T]\nB=2\n", "S", "B", "d", 63, "d"},
};

INSTANTIATE_TEST_SUITE_P(Rules, IniLookup, testing::ValuesIn(kLookups),
                         [](const auto& info) { return std::string(info.param.name); });

struct FixtureCase {
    const char* file;
    const char* section;
    const char* key;
    std::string expected;
};

class IniFixture : public testing::TestWithParam<FixtureCase> {};

TEST_P(IniFixture, BrokenFilesStillAnswer) {
    const FixtureCase& c = GetParam();
    EXPECT_EQ(COperateFileIni::ReadString(kData + c.file, c.section, c.key, "<default>", 1023), c.expected);
}

const FixtureCase kFixtures[] = {
    {"does_not_exist.ini", "Sec", "A", "<default>"},
    {"empty.ini", "Sec", "A", "<default>"},
    {"bom.ini", "Color", "ChildBkColor", "1,2,3"},
    {"nul_bytes.ini", "Sec", "A", "1"},
    {"nul_bytes.ini", "Sec", "B", "xy"},
    {"nul_bytes.ini", "Next", "C", "3"},
    {"truncated_last_line.ini", "Sec", "Last", "end of file"},
    {"truncated_header.ini", "Sec", "OK", "yes"},
    {"truncated_header.ini", "Brok", "OK", "<default>"},
    {"latin1.ini", "Sec", "Name", "Café crème"},
    {"latin1.ini", "Sec", "Euro", "€ 5"},
    {"latin1.ini", "Sec", "Utf8", "Café"},
    {"duplicate_section.ini", "Sec", "A", "first"},
    {"duplicate_section.ini", "Sec", "B", "<default>"},
    {"utf16.ini", "Sec", "A", "中文"},
    {"utf16be.ini", "Sec", "A", "中文"},
    {"garbage.ini", "Sec", "A", "<default>"},
};

INSTANTIATE_TEST_SUITE_P(Files, IniFixture, testing::ValuesIn(kFixtures));

TEST(IniLoad, ReportsUnreadablePathsButNotEmptyFiles) {
    COperateFileIni ini;
    EXPECT_FALSE(ini.Load(kData + "does_not_exist.ini"));
    EXPECT_FALSE(ini.Load(kData));  // a directory
    EXPECT_TRUE(ini.Load(kData + "empty.ini"));
    EXPECT_EQ(ini.SectionCount(), 0u);
}

TEST(IniLoad, ReloadForgetsThePreviousContent) {
    COperateFileIni ini;
    ini.LoadFromBytes("[Old]\nA=1\n");
    ini.LoadFromBytes("[New]\nA=2\n");
    EXPECT_FALSE(ini.HasSection("Old"));
    EXPECT_EQ(ini.GetString("New", "A", "", 63), "2");
}

TEST(IniLoad, HundredThousandSections) {
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += "[Section" + std::to_string(i) + "]\r\nKey=" + std::to_string(i) + "\r\n";
    COperateFileIni ini;
    ini.LoadFromBytes(text);
    EXPECT_EQ(ini.SectionCount(), 100000u);
    EXPECT_EQ(ini.GetString("section0", "key", "", 63), "0");
    EXPECT_EQ(ini.GetString("SECTION99999", "KEY", "", 63), "99999");
    EXPECT_EQ(ini.GetString("Section100000", "Key", "none", 63), "none");
}

TEST(IniLoad, ManyRepeatsOfOneSectionKeepTheFirst) {
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += "[Same]\nKey=" + std::to_string(i) + "\n";
    COperateFileIni ini;
    ini.LoadFromBytes(text);
    EXPECT_EQ(ini.SectionCount(), 1u);
    EXPECT_EQ(ini.GetString("Same", "Key", "", 63), "0");
}

TEST(IniLoad, VeryLongLinesAreCutAtTheLimitAndTheNextLineStillReads) {
    const std::string huge(1 << 20, 'x');
    COperateFileIni ini;
    ini.LoadFromBytes("[S]\nLong=" + huge + "\nNext=after\n" + huge + "\n[T]\nA=1\n");
    EXPECT_EQ(ini.GetString("S", "Long", "", 1023), std::string(1023, 'x'));
    EXPECT_EQ(ini.GetString("S", "Next", "", 1023), "after");
    EXPECT_EQ(ini.GetString("T", "A", "", 1023), "1");
}

TEST(IniLoad, OversizedFileIsReadUpToTheCap) {
    char path[] = "/tmp/provix-ini-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    {
        std::ofstream out(path, std::ios::binary);
        out << "[S]\nFirst=1\nBig=" << std::string(COperateFileIni::kMaxFileBytes, 'y') << "\nBeyond=2\n";
    }
    COperateFileIni ini;
    EXPECT_TRUE(ini.Load(path));
    std::remove(path);
    EXPECT_EQ(ini.GetString("S", "First", "", 63), "1");
    EXPECT_EQ(ini.GetString("S", "Big", "", 5), "yyyyy");
    EXPECT_EQ(ini.GetString("S", "Beyond", "cut off", 63), "cut off");
}

}  // namespace
}  // namespace provix
