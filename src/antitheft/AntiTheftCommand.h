#pragma once

#include <cstddef>
#include <string>

namespace provix {

// What a DNS box shows while the operator has left it empty; it means "no server".
inline constexpr const char* kDnsPlaceholder = "e.g. 8.8.8.8";
// Sent for a DNS server that was left unset.
inline constexpr const char* kUnsetDns = "0.0.0.0";
// The transfer request holds the command as a NUL-terminated text in 512 bytes.
inline constexpr std::size_t kMaxAntiTheftCommandBytes = 511;

// The anti-theft settings as typed (UTF-8, untrimmed). A DNS text equal to kDnsPlaceholder
// stands for an unset server.
struct AntiTheftInput {
    std::string lock_code;
    std::string confirm_lock_code;
    bool switch_on = true;
    std::string ac_name;
    std::string primary_dns;
    std::string secondary_dns;
};

// The input the operator has to correct after a failed check; None for a failure no single
// field explains (or for success).
enum class AntiTheftField { None, LockCode, ConfirmLockCode, AcName, PrimaryDns, SecondaryDns };

struct AntiTheftCheck {
    std::string message;  // translated; empty when the input passed
    AntiTheftField focus = AntiTheftField::None;
    bool Passed() const { return message.empty(); }
};

// Runs the checks in order and reports the first that fails. With the switch off only the lock
// code is checked: it is sent either way, and a quote or backslash would break the command.
AntiTheftCheck ValidateAntiTheftInput(const AntiTheftInput& input);

// True when text, without surrounding white space, is an IPv4 or IPv6 address.
bool IsValidIpText(const std::string& text);

// Formats the command sent to each device into command. Refuses, leaving command empty, a text
// over kMaxAntiTheftCommandBytes rather than cutting it. Values go in unescaped: run
// ValidateAntiTheftInput first.
AntiTheftCheck BuildAntiTheftCommand(const AntiTheftInput& input, std::string& command);

}  // namespace provix
