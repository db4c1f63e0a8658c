#include "CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace provix::devsim {
namespace {

TEST(CommandLine, RejectsBadInputWithAMessage) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"--devices", "2"}, "--interface is required"},
        {{"--interface", "x", "--devices", "0"}, "--devices needs a number"},
        {{"--interface", "x", "--devices", "12abc"}, "--devices needs a number"},
        {{"--interface", "x", "--mac", "02:50:00:00:00:1"}, "is not a MAC"},
        {{"--interface", "x", "--mac", "02:50:00:00:00:01,02:50:00:00:00:01"}, "given twice"},
        {{"--interface", "x", "--mac", "03:00:00:00:00:01"}, "multicast"},
        {{"--interface", "x", "--mac", "02:50:00:00:00:01", "--devices", "3"}, "exclude each other"},
        {{"--interface", "x", "--drop", "1.5"}, "--drop needs a share"},
        {{"--interface", "x", "--ack-delay", "-1"}, "--ack-delay needs milliseconds"},
        {{"--interface", "x", "--silent=maybe"}, "--silent takes no value"},
        {{"--interface", "x", "--devices", "2", "--for", "3", "--silent"},
         "not a device MAC or a number from 1 to 2"},
        {{"--interface", "x", "--for", "02:50:00:00:00:09", "--silent"}, "no such device"},
        {{"--interface", "x", "--bogus"}, "unknown option --bogus"},
        {{"--interface"}, "--interface needs a value"},
        {{"--interface", "x", "stray"}, "unexpected argument"},
    };
    for (const Case& c : cases) {
        EmulatorConfig config;
        std::string error;
        EXPECT_EQ(ParseCommandLine(c.args, config, error), ParseResult::kError) << c.message;
        EXPECT_NE(error.find(c.message), std::string::npos) << "got: " << error;
    }
}

TEST(CommandLine, PerDeviceGroupsOverrideTheCommonBehaviour) {
    EmulatorConfig config;
    std::string error;
    const std::vector<std::string> args = {
        "--interface=provix1",
        "--devices",
        "3",
        "--base-mac",
        "02:00:00:00:00:fe",
        "--ack-delay",
        "5",
        "--silent",
        "--for",
        "2,02:00:00:00:01:00",
        "--ack-delay",
        "7",
        "--silent=0",
        "--lockcode",
        "k1",
        "--for",
        "3",
        "--fail",
    };
    ASSERT_EQ(ParseCommandLine(args, config, error), ParseResult::kRun) << error;
    ASSERT_EQ(config.devices.size(), 3u);
    // Consecutive MACs carry into the next byte.
    EXPECT_EQ(MacText(config.devices[1].mac), "02:00:00:00:00:FF");
    EXPECT_EQ(MacText(config.devices[2].mac), "02:00:00:00:01:00");
    const Behaviour& first = config.devices[0].behaviour;
    EXPECT_EQ(first.ack_delay_ms, 5u);
    EXPECT_TRUE(first.silent);
    EXPECT_TRUE(first.lockcode.empty());
    for (size_t i : {1u, 2u}) {
        EXPECT_EQ(config.devices[i].behaviour.ack_delay_ms, 7u) << i;
        EXPECT_FALSE(config.devices[i].behaviour.silent) << i;
        EXPECT_EQ(config.devices[i].behaviour.lockcode, "k1") << i;
    }
    EXPECT_FALSE(config.devices[1].behaviour.fail);
    EXPECT_TRUE(config.devices[2].behaviour.fail);
    EXPECT_EQ(config.interface_name, "provix1");
}

TEST(CommandLine, ExplicitMacListAndHelp) {
    EmulatorConfig config;
    std::string error;
    ASSERT_EQ(
        ParseCommandLine({"--interface", "x", "--mac", "0a:00:00:00:00:01,0A-00-00-00-00-02"}, config, error),
        ParseResult::kRun)
        << error;
    ASSERT_EQ(config.devices.size(), 2u);
    EXPECT_EQ(MacText(config.devices[1].mac), "0A:00:00:00:00:02");
    EXPECT_EQ(ParseCommandLine({"--interface", "x", "--help"}, config, error), ParseResult::kHelp);
}

}  // namespace
}  // namespace provix::devsim
