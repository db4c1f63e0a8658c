#include "antitheft/AntiTheftCommand.h"

#include <gtest/gtest.h>

#include <functional>

namespace provix {
namespace {

using namespace std::string_literals;
using Field = AntiTheftField;

AntiTheftInput PassingInput() {
    return {.lock_code = "Lk-1",
            .confirm_lock_code = "Lk-1",
            .switch_on = true,
            .ac_name = "AC1",
            .primary_dns = kDnsPlaceholder,
            .secondary_dns = kDnsPlaceholder};
}

// Starts with every check failing and mends one fault per step, so each step shows that its
// check runs after all the earlier ones and before all the later ones.
TEST(AntiTheftChecks, RunInOrderWithTheirMessagesAndFocus) {
    AntiTheftInput input{.lock_code = "",
                         .confirm_lock_code = "",
                         .switch_on = true,
                         .ac_name = "",
                         .primary_dns = "8.8.8.256",
                         .secondary_dns = "1.2.3"};
    const struct {
        std::function<void(AntiTheftInput&)> mend_previous;
        std::string message;
        Field focus;
    } steps[] = {
        {[](auto&) {}, "Please input the Lock Code information!", Field::LockCode},
        {[](auto& in) { in.lock_code = "ab\"c"; },
         "The input Lock Code cannot contain the characters \" or \\ ", Field::LockCode},
        {[](auto& in) { in.lock_code = "ab\\c"; },
         "The input Lock Code cannot contain the characters \" or \\ ", Field::LockCode},
        {[](auto& in) { in.lock_code = "abc"; }, "Please input the Confirm Lock Code information!",
         Field::ConfirmLockCode},
        {[](auto& in) { in.confirm_lock_code = "a\\c"; },
         "The input Confirm Lock Code cannot contain the characters \" or \\ ", Field::ConfirmLockCode},
        {[](auto& in) { in.confirm_lock_code = "ABC"; }, "The input information of the two is inconsistent!",
         Field::ConfirmLockCode},
        {[](auto& in) { in.confirm_lock_code = "abc"; }, "Please input the AC Name information!",
         Field::AcName},
        {[](auto& in) { in.ac_name = "\"AC1"; }, "The input AC Name cannot contain the characters \" or \\ ",
         Field::AcName},
        {[](auto& in) { in.ac_name = "AC1"; }, "The Primary DNS is invalid!", Field::PrimaryDns},
        {[](auto& in) { in.primary_dns = " 8.8.8.8"; }, "The Secondary DNS is invalid!", Field::SecondaryDns},
        {[](auto& in) { in.secondary_dns = "::1"; }, "", Field::None},
    };
    for (const auto& step : steps) {
        step.mend_previous(input);
        SCOPED_TRACE(step.message);
        const auto result = ValidateAntiTheftInput(input);
        EXPECT_EQ(result.message, step.message);
        EXPECT_EQ(result.focus, step.focus);
        EXPECT_EQ(result.Passed(), step.message.empty());
    }
}

TEST(AntiTheftChecks, SingleFaults) {
    const struct {
        const char* what;
        std::function<void(AntiTheftInput&)> change;
        Field focus;  // None: the input passes
    } cases[] = {
        {"both DNS boxes untouched", [](auto&) {}, Field::None},
        {"confirmation differs only in case", [](auto& in) { in.confirm_lock_code = "lk-1"; },
         Field::ConfirmLockCode},
        {"confirmation has a trailing blank", [](auto& in) { in.confirm_lock_code = "Lk-1 "; },
         Field::ConfirmLockCode},
        {"lock codes with blanks kept as typed",
         [](auto& in) { in.lock_code = in.confirm_lock_code = " Lk 1 "; }, Field::None},
        {"blank AC name is not empty", [](auto& in) { in.ac_name = " "; }, Field::None},
        {"AC name with backslash", [](auto& in) { in.ac_name = "AC\\1"; }, Field::AcName},
        {"emptied primary DNS", [](auto& in) { in.primary_dns = ""; }, Field::PrimaryDns},
        {"placeholder with a blank is not the placeholder",
         [](auto& in) { in.primary_dns = " e.g. 8.8.8.8"; }, Field::PrimaryDns},
        {"secondary DNS octet above 255", [](auto& in) { in.secondary_dns = "8.8.4.256"; },
         Field::SecondaryDns},
        {"short IPv6 servers", [](auto& in) { in.primary_dns = "2001:db8::1", in.secondary_dns = "fe80::1"; },
         Field::None},
        // The lock code is sent with the switch off too, so its checks still hold then.
        {"switch off, empty lock code", [](auto& in) { in.switch_on = false, in.lock_code = ""; },
         Field::LockCode},
        {"switch off, quote in lock code", [](auto& in) { in.switch_on = false, in.lock_code = "a\"b"; },
         Field::LockCode},
        {"switch off ignores everything else",
         [](auto& in) {
             in.switch_on = false;
             in.confirm_lock_code = "";
             in.ac_name = "\\";
             in.primary_dns = in.secondary_dns = "bad";
         },
         Field::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto input = PassingInput();
        c.change(input);
        const auto result = ValidateAntiTheftInput(input);
        EXPECT_EQ(result.focus, c.focus) << result.message;
        EXPECT_EQ(result.Passed(), c.focus == Field::None);
    }
}

TEST(IsValidIpText, AcceptsIpv4AndIpv6AfterTrimming) {
    const struct {
        std::string text;
        bool valid;
    } cases[] = {
        {"8.8.8.8", true},
        {"0.0.0.0", true},
        {"255.255.255.255", true},
        {" 8.8.8.8", true},
        {"8.8.8.8\t", true},
        {"\r\n\v\f1.2.3.4 \n", true},
        {"::", true},
        {"::1", true},
        {"1::", true},
        {"fe80::1", true},
        {"2001:db8::1", true},
        {"::ffff:1.2.3.4", true},
        {"1:2:3:4:5:6:7:8", true},
        {"FE80::ABCD", true},
        {"", false},
        {" \t\n", false},
        {"e.g. 8.8.8.8", false},
        {"256.1.1.1", false},
        {"1.2.3", false},
        {"1.2.3.4.5", false},
        {"1.2.3.4.", false},
        {"-1.2.3.4", false},
        {"8.8. 8.8", false},
        {"8.8.8.8 x", false},
        {"1.2.3.4/24", false},
        {"0x8.8.8.8", false},
        {"01.2.3.4", false},  // leading zeros read as octal by some parsers
        {"fe80::1%eth0", false},
        {":::1", false},
        {"1::2::3", false},
        {"12345::1", false},
        {"1:2:3:4:5:6:7:8:9", false},
        {"8.8.8.8\0"s, false},
        {"8.8.8.8\0junk"s, false},
        {"\0"s, false},
        {"\xC2\xA0"
         "8.8.8.8",
         false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsValidIpText(c.text), c.valid) << ::testing::PrintToString(c.text);
    }
}

TEST(AntiTheftCommandText, ExactBytes) {
    const struct {
        const char* what;
        std::function<void(AntiTheftInput&)> change;
        std::string command;
    } cases[] = {
        {"switch on, primary unset", [](auto& in) { in.secondary_dns = "8.8.4.4"; },
         R"({"Lockcode":"Lk-1","Enable":"1","ACName":"AC1","DNS1":"0.0.0.0","DNS2":"8.8.4.4"})"},
        {"switch on, both unset", [](auto&) {},
         R"({"Lockcode":"Lk-1","Enable":"1","ACName":"AC1","DNS1":"0.0.0.0","DNS2":"0.0.0.0"})"},
        {"switch off drops AC name and servers",
         [](auto& in) {
             in.switch_on = false;
             in.primary_dns = "1.1.1.1";
             in.secondary_dns = "9.9.9.9";
         },
         R"({"Lockcode":"Lk-1","Enable":"0","ACName":"","DNS1":"0.0.0.0","DNS2":"0.0.0.0"})"},
        {"values go in untrimmed",
         [](auto& in) {
             in.lock_code = " Lk ";
             in.ac_name = " AC 1";
             in.primary_dns = " 8.8.8.8";
             in.secondary_dns = "::1 ";
         },
         R"({"Lockcode":" Lk ","Enable":"1","ACName":" AC 1","DNS1":" 8.8.8.8","DNS2":"::1 "})"},
        {"UTF-8 passes through byte for byte",
         [](auto& in) {
             in.lock_code = "\xE9\x94\x81";
             in.ac_name = "\xC3\xA9t\xC3\xA9";
         },
         "{\"Lockcode\":\"\xE9\x94\x81\",\"Enable\":\"1\",\"ACName\":\"\xC3\xA9t\xC3\xA9\",\"DNS1\":\"0.0.0."
         "0\","
         "\"DNS2\":\"0.0.0.0\"}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto input = PassingInput();
        c.change(input);
        std::string command = "stale";
        const auto result = BuildAntiTheftCommand(input, command);
        EXPECT_TRUE(result.Passed()) << result.message;
        EXPECT_EQ(command, c.command);
    }
}

TEST(AntiTheftCommandText, RefusedAboveFiveHundredElevenBytes) {
    auto input = PassingInput();
    input.ac_name.clear();
    std::string command;
    ASSERT_TRUE(BuildAntiTheftCommand(input, command).Passed());
    const auto frame = command.size();

    const struct {
        std::size_t total;
        bool accepted;
    } cases[] = {{kMaxAntiTheftCommandBytes - 1, true},
                 {kMaxAntiTheftCommandBytes, true},
                 {kMaxAntiTheftCommandBytes + 1, false},
                 {4096, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.total);
        input.ac_name = std::string(c.total - frame, 'A');
        command = "stale";
        const auto result = BuildAntiTheftCommand(input, command);
        EXPECT_EQ(result.Passed(), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(command.size(), c.total);
            EXPECT_EQ(command.substr(command.size() - 2), "\"}");
        } else {
            EXPECT_EQ(command, "");
            EXPECT_EQ(result.message,
                      "The anti-theft command is longer than 511 bytes! Please shorten the Lock Code or the "
                      "AC Name.");
            EXPECT_EQ(result.focus, Field::None);
        }
    }
}

}  // namespace
}  // namespace provix
