#include "cli/CtlCommandLine.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace provix {
namespace {

using Args = std::vector<std::string>;

struct Accepted {
    const char* label;
    Args args;
    CtlCommand command;
    std::string adapter;
    bool json;
};

class AcceptedLine : public ::testing::TestWithParam<Accepted> {};

TEST_P(AcceptedLine, YieldsTheCommandAdapterAndFormat) {
    const Accepted& c = GetParam();
    const CtlParse parse = ParseCtlCommandLine(c.args);
    ASSERT_TRUE(parse.options) << parse.error;
    EXPECT_EQ(parse.options->command, c.command);
    EXPECT_EQ(parse.options->adapter, c.adapter);
    EXPECT_EQ(parse.options->json, c.json);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, AcceptedLine,
    ::testing::Values(
        Accepted{"adapters", {"adapters"}, CtlCommand::Adapters, "", false},
        Accepted{"adapters_json_first", {"--json", "adapters"}, CtlCommand::Adapters, "", true},
        Accepted{"scan_value_apart", {"scan", "--adapter", "eth1"}, CtlCommand::Scan, "eth1", false},
        Accepted{"scan_value_joined",
                 {"scan", "--adapter=USB Ethernet (00:e0:4c:68:01:02)", "--json"},
                 CtlCommand::Scan,
                 "USB Ethernet (00:e0:4c:68:01:02)",
                 true},
        // A value is taken as given, even one that looks like an option or holds "=".
        Accepted{"value_with_equals", {"scan", "--adapter=a=b"}, CtlCommand::Scan, "a=b", false},
        Accepted{"options_before_command", {"--adapter", "2", "scan"}, CtlCommand::Scan, "2", false},
        Accepted{"help_wins", {"scan", "--bogus", "--help"}, CtlCommand::Help, "", false},
        Accepted{"help_word", {"help"}, CtlCommand::Help, "", false}),
    [](const auto& info) { return std::string(info.param.label); });

struct Refused {
    const char* label;
    Args args;
    const char* says;  // part of the message
};

class RefusedLine : public ::testing::TestWithParam<Refused> {};

TEST_P(RefusedLine, IsBadUsageWithAReason) {
    const CtlParse parse = ParseCtlCommandLine(GetParam().args);
    EXPECT_FALSE(parse.options);
    EXPECT_NE(parse.error.find(GetParam().says), std::string::npos) << parse.error;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RefusedLine,
    ::testing::Values(
        Refused{"nothing", {}, "no command"},
        Refused{"unknown_command", {"scna"}, "unknown command \"scna\""},
        Refused{"two_commands", {"scan", "adapters", "--adapter", "x"}, "unexpected argument \"adapters\""},
        Refused{"unknown_option", {"scan", "--adaptor", "x"}, "unknown option --adaptor"},
        Refused{"missing_value", {"scan", "--adapter"}, "--adapter needs a value"},
        Refused{"empty_adapter", {"scan", "--adapter="}, "--adapter is required"},
        Refused{"no_adapter", {"antitheft", "--lockcode", "x"}, "--adapter is required"},
        Refused{"given_twice", {"scan", "--adapter", "a", "--adapter", "b"}, "--adapter given twice"},
        Refused{"flag_with_value",
                {"antitheft", "--adapter", "a", "--lockcode", "k", "--off=1"},
                "takes no value"},
        Refused{"wrong_command", {"scan", "--adapter", "a", "--lockcode", "k"}, "--lockcode does not apply"},
        Refused{"devices_on_scan", {"scan", "--adapter", "a", "--devices", "02:50:00:00:00:01"}, "--devices"},
        Refused{"no_lockcode", {"antitheft", "--adapter", "a"}, "--lockcode"},
        Refused{"bad_mac",
                {"customize", "--adapter", "a", "--logo", "l", "--devices", "02:50:00:00:00:1"},
                "\"02:50:00:00:00:1\" is not a MAC"},
        Refused{"empty_entry",
                {"customize", "--adapter", "a", "--logo", "l", "--devices", "02:50:00:00:00:01,"},
                "empty entry"},
        Refused{"customize_nothing", {"customize", "--adapter", "a"}, "--logo FILE, --config FILE"},
        Refused{"customize_empty_logo", {"customize", "--adapter", "a", "--logo="}, "--logo needs a file"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(CtlCommandLine, AntiTheftKeepsTextsAsTypedAndTellsLeftOutFromEmpty) {
    const CtlParse parse = ParseCtlCommandLine(
        {"antitheft", "--adapter", "eth1", "--lockcode", " k 1", "--acname", "", "--dns2", " 8.8.4.4"});
    ASSERT_TRUE(parse.options) << parse.error;
    const CtlOptions& o = *parse.options;
    EXPECT_EQ(o.lock_code, " k 1");
    EXPECT_FALSE(o.confirm);  // the session then confirms with the lock code itself
    EXPECT_FALSE(o.switch_off);
    ASSERT_TRUE(o.ac_name);
    EXPECT_EQ(*o.ac_name, "");  // given empty: the check must see it, not skip it
    EXPECT_FALSE(o.dns1);
    EXPECT_EQ(o.dns2.value_or("?"), " 8.8.4.4");
    EXPECT_TRUE(o.warnings.empty());
}

TEST(CtlCommandLine, OffWarnsAboutSettingsItWillNotSend) {
    const CtlParse parse = ParseCtlCommandLine(
        {"antitheft", "--adapter", "a", "--lockcode", "k", "--off", "--acname", "AC", "--dns1", "1.1.1.1"});
    ASSERT_TRUE(parse.options) << parse.error;
    EXPECT_TRUE(parse.options->switch_off);
    EXPECT_EQ(parse.options->warnings, (std::vector<std::string>{"--acname has no effect with --off",
                                                                 "--dns1 has no effect with --off"}));
}

TEST(CtlCommandLine, DeviceListIsNormalisedAndEachDeviceTakenOnce) {
    const CtlParse parse =
        ParseCtlCommandLine({"customize", "--adapter", "a", "--config", "c.xml", "--devices",
                             "02:50:00:00:00:0b,02:50:00:00:00:01,02:50:00:00:00:0B"});
    ASSERT_TRUE(parse.options) << parse.error;
    const std::vector<MacAddress> expected = {{0x02, 0x50, 0, 0, 0, 0x0B}, {0x02, 0x50, 0, 0, 0, 0x01}};
    EXPECT_EQ(parse.options->devices, expected);
    EXPECT_EQ(parse.options->config_path, "c.xml");
    EXPECT_EQ(parse.options->logo_path, "");
}

}  // namespace
}  // namespace provix
