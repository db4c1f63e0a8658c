#include "cli/CtlOutput.h"

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace provix {
namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, '\t')) {
        fields.push_back(field);
    }
    return fields;
}

struct Escape {
    const char* label;
    std::string raw;
    std::string tsv;
    std::string json;
};

class FieldEscape : public ::testing::TestWithParam<Escape> {};

TEST_P(FieldEscape, KeepsTheFieldOnItsLineAndTheDocumentValid) {
    EXPECT_EQ(TsvField(GetParam().raw), GetParam().tsv);
    EXPECT_EQ(JsonString(GetParam().raw), GetParam().json);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FieldEscape,
    ::testing::Values(
        Escape{"plain", "Office-5G", "Office-5G", "\"Office-5G\""}, Escape{"empty", "", "", "\"\""},
        Escape{"tab_and_breaks", "a\tb\nc\rd", "a\\tb\\nc\\rd", "\"a\\tb\\nc\\rd\""},
        // A backslash is doubled in both, so "\t" typed by the device stays apart from a real tab.
        Escape{"backslash_t", "a\\tb", "a\\\\tb", "\"a\\\\tb\""},
        Escape{"quote", "say \"hi\"", "say \"hi\"", "\"say \\\"hi\\\"\""},
        Escape{"control", std::string("a\x01z\x7f", 4), std::string("a\x01z\x7f", 4), "\"a\\u0001z\\u007f\""},
        Escape{"utf8_kept", "\xe5\x8a\x9e\xe5\x85\xac\xe5\xae\xa4 \xf0\x9f\x93\xb6",
               "\xe5\x8a\x9e\xe5\x85\xac\xe5\xae\xa4 \xf0\x9f\x93\xb6",
               "\"\xe5\x8a\x9e\xe5\x85\xac\xe5\xae\xa4 \xf0\x9f\x93\xb6\""},
        // A GBK SSID, a stray continuation byte, a cut sequence, an overlong "/", a surrogate and a
        // value past U+10FFFF: none is UTF-8, each byte is replaced on its own.
        Escape{"gbk", "\xb0\xec", "\xb0\xec", "\"\xef\xbf\xbd\xef\xbf\xbd\""},
        Escape{"cut_at_end", "ab\xe5\x8a", "ab\xe5\x8a", "\"ab\xef\xbf\xbd\xef\xbf\xbd\""},
        Escape{"overlong", "\xc0\xaf", "\xc0\xaf", "\"\xef\xbf\xbd\xef\xbf\xbd\""},
        Escape{"surrogate", "\xed\xa0\x80", "\xed\xa0\x80", "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""},
        Escape{"past_max", "\xf4\x90\x80\x80", "\xf4\x90\x80\x80",
               "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(CtlOutput, HostileDeviceTextsKeepEveryRowAtSixColumns) {
    ap_info_stu row;
    row.mac = "02:50:00:00:00:01";
    row.date = "2024-03-06 09:15:00";
    row.ssid2 = "a\tb";
    row.ssid5 = "line\nbreak";
    row.wpakey2 = "\\";
    row.wpakey5 = "";
    const std::string text = FormatScan("eth1 (02:00:00:00:00:01)", {row, row}, false);
    std::stringstream lines(text);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        const std::vector<std::string> fields = SplitTabs(line + "\t");  // keep a trailing empty field
        ASSERT_EQ(fields.size(), 6u) << line;
        EXPECT_EQ(fields[0], "02:50:00:00:00:01");
        EXPECT_EQ(fields[2], "a\\tb");
        EXPECT_EQ(fields[3], "line\\nbreak");
        EXPECT_EQ(fields[4], "\\\\");
        EXPECT_EQ(fields[5], "");
    }
    EXPECT_EQ(count, 2);
}

TEST(CtlOutput, OperationRowsUseTheEnumNamesAndJsonCountsVerdicts) {
    const std::vector<OperationRow> rows = {
        {"02:50:00:00:00:01", WaitOperate, WaitOperate, OperateSuccess, ResultSuccess},
        {"02:50:00:00:00:02", TransmitFail, OperateSuccess, WaitOperate, ResultFailed},
        {"02:50:00:00:00:03", TransmitFinish, 42, Operating, ResultInProgress},
    };
    EXPECT_EQ(FormatOperation("eth1", rows, false),
              "02:50:00:00:00:01\tWaitOperate\tWaitOperate\tOperateSuccess\tResultSuccess\n"
              "02:50:00:00:00:02\tTransmitFail\tOperateSuccess\tWaitOperate\tResultFailed\n"
              "02:50:00:00:00:03\tTransmitFinish\tUnknown\tOperating\tResultInProgress\n");
    const std::string json = FormatOperation("eth1", rows, true);
    EXPECT_NE(
        json.find("{\"mac\":\"02:50:00:00:00:02\",\"para\":\"TransmitFail\",\"logo\":\"OperateSuccess\","
                  "\"antitheft\":\"WaitOperate\",\"result\":\"ResultFailed\"}"),
        std::string::npos)
        << json;
    EXPECT_NE(json.find("\"success\":1,\"failed\":1}"), std::string::npos) << json;
}

TEST(CtlOutput, EmptyListsGiveNoLinesOrAnEmptyArray) {
    EXPECT_EQ(FormatAdapters({}, false), "");
    EXPECT_EQ(FormatAdapters({}, true), "{\"adapters\":[]}\n");
    EXPECT_EQ(FormatScan("x", {}, true), "{\"adapter\":\"x\",\"devices\":[]}\n");
    EXPECT_EQ(FormatAdapters({{3, "USB (00:e0:4c:68:01:02)", "enx00e04c680102"}}, false),
              "3\tUSB (00:e0:4c:68:01:02)\tenx00e04c680102\n");
}

}  // namespace
}  // namespace provix
