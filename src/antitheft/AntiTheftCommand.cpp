#include "antitheft/AntiTheftCommand.h"

#include "language/Translation.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace provix {

namespace {

bool HasQuoteOrBackslash(const std::string& text) {
    return text.find_first_of("\"\\") != std::string::npos;
}

bool IsUnsetOrValidDns(const std::string& text) {
    return text == kDnsPlaceholder || IsValidIpText(text);
}

AntiTheftCheck Fail(const char* english, AntiTheftField focus) {
    return {TranslateText(english), focus};
}

}  // namespace

bool IsValidIpText(const std::string& text) {
    constexpr const char* kWhiteSpace = " \t\n\v\f\r";
    const auto first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string::npos)
        return false;
    const auto trimmed = text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
    // inet_pton stops at a NUL, so "8.8.8.8\0junk" would otherwise pass.
    if (trimmed.find('\0') != std::string::npos)
        return false;
    in6_addr address{};
    return inet_pton(AF_INET, trimmed.c_str(), &address) == 1 ||
           inet_pton(AF_INET6, trimmed.c_str(), &address) == 1;
}

AntiTheftCheck ValidateAntiTheftInput(const AntiTheftInput& input) {
    using enum AntiTheftField;
    if (input.lock_code.empty())
        return Fail("Please input the Lock Code information!", LockCode);
    if (HasQuoteOrBackslash(input.lock_code))
        return Fail("The input Lock Code cannot contain the characters \" or \\ ", LockCode);
    if (!input.switch_on)
        return {};

    if (input.confirm_lock_code.empty())
        return Fail("Please input the Confirm Lock Code information!", ConfirmLockCode);
    if (HasQuoteOrBackslash(input.confirm_lock_code))
        return Fail("The input Confirm Lock Code cannot contain the characters \" or \\ ", ConfirmLockCode);
    if (input.confirm_lock_code != input.lock_code)
        return Fail("The input information of the two is inconsistent!", ConfirmLockCode);
    if (input.ac_name.empty())
        return Fail("Please input the AC Name information!", AcName);
    if (HasQuoteOrBackslash(input.ac_name))
        return Fail("The input AC Name cannot contain the characters \" or \\ ", AcName);
    if (!IsUnsetOrValidDns(input.primary_dns))
        return Fail("The Primary DNS is invalid!", PrimaryDns);
    if (!IsUnsetOrValidDns(input.secondary_dns))
        return Fail("The Secondary DNS is invalid!", SecondaryDns);
    return {};
}

AntiTheftCheck BuildAntiTheftCommand(const AntiTheftInput& input, std::string& command) {
    const auto dns = [&](const std::string& text) -> std::string {
        return input.switch_on && text != kDnsPlaceholder ? text : kUnsetDns;
    };
    std::string text;
    text.append(R"({"Lockcode":")").append(input.lock_code);
    text.append(R"(","Enable":")").append(input.switch_on ? "1" : "0");
    text.append(R"(","ACName":")").append(input.switch_on ? input.ac_name : std::string());
    text.append(R"(","DNS1":")").append(dns(input.primary_dns));
    text.append(R"(","DNS2":")").append(dns(input.secondary_dns));
    text.append(R"("})");
    command.clear();
    if (text.size() > kMaxAntiTheftCommandBytes)
        return Fail(
            "The anti-theft command is longer than 511 bytes! Please shorten the Lock Code or the AC Name.",
            AntiTheftField::None);
    command = std::move(text);
    return {};
}

}  // namespace provix
