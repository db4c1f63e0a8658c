#include "CommandLine.h"

#include <charconv>
#include <cstdlib>
#include <set>

namespace provix::devsim {

namespace {

constexpr size_t kMaxDevices = 100000;

struct Group {
    std::vector<std::string> selectors;  // empty: every device
    std::vector<std::pair<std::string, std::string>> options;
};

bool ParseUnsigned(const std::string& text, uint64_t max, uint64_t& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end && !text.empty() && value <= max;
}

bool ParseFlag(const std::string& value, bool& flag) {
    if (value.empty() || value == "1" || value == "yes" || value == "on") {
        flag = true;
    } else if (value == "0" || value == "no" || value == "off") {
        flag = false;
    } else {
        return false;
    }
    return true;
}

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = text.find(',', start);
        const size_t end = comma == std::string::npos ? text.size() : comma;
        if (end > start)
            items.push_back(text.substr(start, end - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return items;
}

const std::set<std::string> kFlagOptions = {"discover-twice", "silent", "ack-ffff", "fail", "no-report"};
const std::set<std::string> kSetupOptions = {"interface", "devices", "base-mac", "mac", "dump",
                                             "out",       "seed",    "rcvbuf",   "for"};
const std::set<std::string> kValueOptions = {
    "ack-delay", "report-delay", "discover-delay", "drop", "lockcode", "ssid2", "ssid5", "key2", "key5"};

bool ApplyBehaviour(const std::string& name, const std::string& value, Behaviour& b, std::string& error) {
    uint64_t number = 0;
    if (name == "ack-delay" || name == "report-delay" || name == "discover-delay") {
        if (!ParseUnsigned(value, 3600000, number)) {
            error = "--" + name + " needs milliseconds (0 to 3600000), got \"" + value + "\"";
            return false;
        }
        (name == "ack-delay"      ? b.ack_delay_ms
         : name == "report-delay" ? b.report_delay_ms
                                  : b.discover_delay_ms) = static_cast<uint32_t>(number);
        return true;
    }
    if (name == "drop") {
        char* end = nullptr;
        const double share = std::strtod(value.c_str(), &end);
        if (value.empty() || *end != '\0' || !(share >= 0.0 && share <= 1.0)) {
            error = "--drop needs a share between 0 and 1, got \"" + value + "\"";
            return false;
        }
        b.drop = share;
        return true;
    }
    if (kFlagOptions.count(name)) {
        bool flag = false;
        if (!ParseFlag(value, flag)) {
            error = "--" + name + " takes no value or one of 0/1, got \"" + value + "\"";
            return false;
        }
        if (name == "discover-twice")
            b.discover_twice = flag;
        if (name == "silent")
            b.silent = flag;
        if (name == "ack-ffff")
            b.ack_ffff = flag;
        if (name == "fail")
            b.fail = flag;
        if (name == "no-report")
            b.no_report = flag;
        return true;
    }
    if (name == "lockcode")
        b.lockcode = value;
    if (name == "ssid2")
        b.ssid2 = value;
    if (name == "ssid5")
        b.ssid5 = value;
    if (name == "key2")
        b.key2 = value;
    if (name == "key5")
        b.key5 = value;
    return true;
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& args, EmulatorConfig& config,
                             std::string& error) {
    uint64_t device_count = 1;
    bool count_given = false;
    Mac base{0x02, 0x50, 0x00, 0x00, 0x00, 0x01};
    std::vector<Mac> mac_list;
    std::vector<Group> groups(1);

    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg == "-h" || arg == "--help")
            return ParseResult::kHelp;
        if (arg.rfind("--", 0) != 0) {
            error = "unexpected argument \"" + arg + "\"";
            return ParseResult::kError;
        }
        std::string name = arg.substr(2);
        std::string value;
        bool has_value = false;
        if (const size_t eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            has_value = true;
        }
        const bool is_flag = kFlagOptions.count(name) > 0;
        if (!is_flag && !kValueOptions.count(name) && !kSetupOptions.count(name)) {
            error = "unknown option --" + name;
            return ParseResult::kError;
        }
        if (!has_value && !is_flag) {
            if (i + 1 >= args.size()) {
                error = "--" + name + " needs a value";
                return ParseResult::kError;
            }
            value = args[++i];
        }
        uint64_t number = 0;
        if (name == "interface") {
            config.interface_name = value;
        } else if (name == "devices") {
            if (!ParseUnsigned(value, kMaxDevices, number) || number == 0) {
                error = "--devices needs a number from 1 to " + std::to_string(kMaxDevices);
                return ParseResult::kError;
            }
            device_count = number;
            count_given = true;
        } else if (name == "base-mac") {
            const auto mac = ParseMac(value);
            if (!mac) {
                error = "--base-mac needs a MAC like 02:50:00:00:00:01, got \"" + value + "\"";
                return ParseResult::kError;
            }
            base = *mac;
        } else if (name == "mac") {
            for (const std::string& item : SplitList(value)) {
                const auto mac = ParseMac(item);
                if (!mac) {
                    error = "--mac: \"" + item + "\" is not a MAC like 02:50:00:00:00:01";
                    return ParseResult::kError;
                }
                mac_list.push_back(*mac);
            }
        } else if (name == "dump") {
            config.dump_path = value;
        } else if (name == "out") {
            config.out_dir = value;
        } else if (name == "seed") {
            if (!ParseUnsigned(value, UINT64_MAX, config.seed)) {
                error = "--seed needs a number";
                return ParseResult::kError;
            }
        } else if (name == "rcvbuf") {
            if (!ParseUnsigned(value, 1u << 30, number) || number < 65536) {
                error = "--rcvbuf needs a byte count from 65536 to 1 GiB";
                return ParseResult::kError;
            }
            config.rcvbuf_bytes = static_cast<int>(number);
        } else if (name == "for") {
            groups.push_back({SplitList(value), {}});
            if (groups.back().selectors.empty()) {
                error = "--for needs a MAC or a device number";
                return ParseResult::kError;
            }
        } else {
            groups.back().options.emplace_back(name, value);
        }
    }
    if (config.interface_name.empty()) {
        error = "--interface is required";
        return ParseResult::kError;
    }
    if (!mac_list.empty() && count_given) {
        error = "--devices and --mac exclude each other";
        return ParseResult::kError;
    }
    if (mac_list.empty()) {
        const uint64_t first = MacToInt(base);
        for (uint64_t i = 0; i < device_count; ++i)
            mac_list.push_back(MacFromInt((first + i) & 0xffffffffffffull));
    }
    std::set<uint64_t> seen;
    for (const Mac& mac : mac_list) {
        if (!seen.insert(MacToInt(mac)).second) {
            error = "MAC " + MacText(mac) + " is given twice";
            return ParseResult::kError;
        }
        if (mac[0] & 1) {
            error = "MAC " + MacText(mac) + " is a multicast address";
            return ParseResult::kError;
        }
    }

    Behaviour common;
    for (const auto& [name, value] : groups[0].options) {
        if (!ApplyBehaviour(name, value, common, error))
            return ParseResult::kError;
    }
    config.devices.clear();
    for (const Mac& mac : mac_list)
        config.devices.push_back({mac, common});
    for (size_t g = 1; g < groups.size(); ++g) {
        std::vector<size_t> targets;
        for (const std::string& selector : groups[g].selectors) {
            uint64_t number = 0;
            if (const auto mac = ParseMac(selector)) {
                size_t k = 0;
                while (k < mac_list.size() && mac_list[k] != *mac)
                    ++k;
                if (k == mac_list.size()) {
                    error = "--for " + selector + ": no such device";
                    return ParseResult::kError;
                }
                targets.push_back(k);
            } else if (ParseUnsigned(selector, mac_list.size(), number) && number >= 1) {
                targets.push_back(number - 1);
            } else {
                error = "--for \"" + selector + "\": not a device MAC or a number from 1 to " +
                        std::to_string(mac_list.size());
                return ParseResult::kError;
            }
        }
        for (size_t k : targets) {
            for (const auto& [name, value] : groups[g].options) {
                if (!ApplyBehaviour(name, value, config.devices[k].behaviour, error))
                    return ParseResult::kError;
            }
        }
    }
    return ParseResult::kRun;
}

const char* UsageText() {
    return R"(Usage: devsim --interface IF [options]
Emulates devices that speak the 0x6262 frame protocol on one interface.

Devices:
  --devices N            N devices with consecutive MACs from --base-mac (default 1)
  --base-mac MAC         first MAC (default 02:50:00:00:00:01)
  --mac MAC[,MAC...]     explicit MACs instead of --devices
Output:
  --dump FILE            JSON of what each device received; written at exit and on SIGUSR1
                         (then "dumped <n>" is printed)
  --out DIR              folder where every received payload is saved
  --seed N               seed of the frame-loss generator (default 1)
  --rcvbuf BYTES         socket receive buffer (default 32 MiB)
Behaviour (all devices; after --for SEL[,SEL...] only the selected ones, SEL a MAC or a
1-based device number):
  --ack-delay MS         acknowledge MS late
  --report-delay MS      report MS after the acknowledgement
  --discover-delay MS    answer discovery MS late
  --drop P               lose a share P (0..1) of incoming frames
  --discover-twice       answer each discovery twice (the second answer's texts end in "#2")
  --silent               receive and record, send nothing
  --ack-ffff             acknowledge everything with seq 0xFFFF
  --fail                 report failure (lock-code mismatch for commands)
  --no-report            acknowledge, never report
  --lockcode TEXT        commands with another Lockcode are refused (default: none, all accepted)
  --ssid2 T --ssid5 T --key2 T --key5 T
                         discovery texts; {mac}, {tail}, {n} are replaced per device; a text that
                         fills its whole slot is sent without a NUL
Flags accept =0 or =1 to switch them for selected devices.
A segment or command identical to the one acknowledged last is taken as a retransmission:
acknowledged (and, for a finished payload, reported) again, but recorded once.
Prints "ready" once the socket is bound; SIGTERM or SIGINT writes the dump and exits with 0.
When the interface is deleted (or leaves the namespace), devsim writes the dump and exits with 1.
)";
}

}  // namespace provix::devsim
