#include "cli/CtlCommandLine.h"

#include <algorithm>
#include <map>
#include <set>

namespace provix {
namespace {

struct OptionRule {
    bool takes_value;
    std::set<CtlCommand> commands;  // where it applies
};

const std::map<std::string, OptionRule>& Rules() {
    using enum CtlCommand;
    static const std::map<std::string, OptionRule> rules = {
        {"--adapter", {true, {Scan, AntiTheft, Customize}}},
        {"--lockcode", {true, {AntiTheft}}},
        {"--confirm", {true, {AntiTheft}}},
        {"--off", {false, {AntiTheft}}},
        {"--acname", {true, {AntiTheft}}},
        {"--dns1", {true, {AntiTheft}}},
        {"--dns2", {true, {AntiTheft}}},
        {"--devices", {true, {AntiTheft, Customize}}},
        {"--logo", {true, {Customize}}},
        {"--config", {true, {Customize}}},
    };
    return rules;
}

std::optional<CtlCommand> CommandNamed(const std::string& word) {
    static const std::map<std::string, CtlCommand> names = {
        {"adapters", CtlCommand::Adapters},   {"scan", CtlCommand::Scan},
        {"antitheft", CtlCommand::AntiTheft}, {"customize", CtlCommand::Customize},
        {"help", CtlCommand::Help},
    };
    const auto it = names.find(word);
    return it == names.end() ? std::nullopt : std::optional(it->second);
}

CtlParse Fail(std::string why) {
    return CtlParse{std::nullopt, std::move(why)};
}

// "02:50:00:00:00:01,02:50:00:00:00:02": each MAC once, in the order given.
bool ReadDeviceList(const std::string& text, std::vector<MacAddress>& devices, std::string& error) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string item =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const std::optional<MacAddress> mac = ParseMac(item);
        if (!mac) {
            error = item.empty() ? "--devices: empty entry in \"" + text + "\""
                                 : "--devices: \"" + item + "\" is not a MAC address (XX:XX:XX:XX:XX:XX)";
            return false;
        }
        if (std::find(devices.begin(), devices.end(), *mac) == devices.end()) {
            devices.push_back(*mac);
        }
        if (comma == std::string::npos) {
            return true;
        }
        start = comma + 1;
    }
}

}  // namespace

CtlParse ParseCtlCommandLine(const std::vector<std::string>& args) {
    CtlOptions options;
    std::optional<CtlCommand> command;
    std::map<std::string, std::string> given;  // option -> value ("" for flags)
    std::vector<std::string> order;

    // Asking for help anywhere gets it, whatever else is wrong with the line.
    if (std::find_if(args.begin(), args.end(),
                     [](const std::string& a) { return a == "--help" || a == "-h"; }) != args.end()) {
        return CtlParse{CtlOptions{}, {}};
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--json") {
            options.json = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0 || arg.size() == 2) {
            if (command) {
                return Fail("unexpected argument \"" + arg + "\"");
            }
            command = CommandNamed(arg);
            if (!command) {
                return Fail("unknown command \"" + arg + "\"");
            }
            continue;
        }
        const std::size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        const auto rule = Rules().find(name);
        if (rule == Rules().end()) {
            return Fail("unknown option " + name);
        }
        if (given.contains(name)) {
            return Fail(name + " given twice");
        }
        std::string value;
        if (!rule->second.takes_value) {
            if (eq != std::string::npos) {
                return Fail(name + " takes no value");
            }
        } else if (eq != std::string::npos) {
            value = arg.substr(eq + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return Fail(name + " needs a value");
        }
        given[name] = value;
        order.push_back(name);
    }

    if (!command) {
        return Fail("no command given");
    }
    options.command = *command;
    for (const std::string& name : order) {
        if (!Rules().at(name).commands.contains(options.command)) {
            return Fail(name + " does not apply to this command");
        }
    }

    const auto take = [&given](const char* name) -> std::optional<std::string> {
        const auto it = given.find(name);
        return it == given.end() ? std::nullopt : std::optional(it->second);
    };
    const bool needs_adapter = options.command == CtlCommand::Scan ||
                               options.command == CtlCommand::AntiTheft ||
                               options.command == CtlCommand::Customize;
    if (needs_adapter) {
        const std::optional<std::string> adapter = take("--adapter");
        if (!adapter || adapter->empty()) {
            return Fail(
                "--adapter is required (an index, interface name or display text of provixctl adapters)");
        }
        options.adapter = *adapter;
    }
    if (const std::optional<std::string> devices = take("--devices")) {
        std::string error;
        if (!ReadDeviceList(*devices, options.devices, error)) {
            return Fail(error);
        }
    }

    if (options.command == CtlCommand::AntiTheft) {
        const std::optional<std::string> lock_code = take("--lockcode");
        if (!lock_code) {
            return Fail("antitheft needs --lockcode CODE");
        }
        options.lock_code = *lock_code;
        options.confirm = take("--confirm");
        options.switch_off = given.contains("--off");
        options.ac_name = take("--acname");
        options.dns1 = take("--dns1");
        options.dns2 = take("--dns2");
        if (options.switch_off) {
            // The switched-off command carries only the lock code; the rest is neither checked nor sent.
            for (const char* name : {"--confirm", "--acname", "--dns1", "--dns2"}) {
                if (given.contains(name)) {
                    options.warnings.push_back(std::string(name) + " has no effect with --off");
                }
            }
        }
    }
    if (options.command == CtlCommand::Customize) {
        options.logo_path = take("--logo").value_or("");
        options.config_path = take("--config").value_or("");
        if (given.contains("--logo") && options.logo_path.empty()) {
            return Fail("--logo needs a file");
        }
        if (given.contains("--config") && options.config_path.empty()) {
            return Fail("--config needs a file");
        }
        if (options.logo_path.empty() && options.config_path.empty()) {
            return Fail("customize needs --logo FILE, --config FILE or both");
        }
    }
    return CtlParse{std::move(options), {}};
}

const char* CtlUsageText() {
    return R"(Usage: provixctl COMMAND [options] [--json]
The headless companion of Provix: the same engine, its own scratch results store.

Commands:
  adapters                       list the adapters: INDEX, DISPLAY TEXT, NAME
  scan --adapter A               scan and list the devices:
                                 MAC, DATE, SSID2.4, SSID5, KEY2.4, KEY5
  antitheft --adapter A --lockcode CODE [--confirm CODE] [--off] [--acname NAME]
            [--dns1 IP] [--dns2 IP] [--devices MAC,MAC...]
                                 scan, then send the anti-theft command
  customize --adapter A [--logo FILE] [--config FILE] [--devices MAC,MAC...]
                                 scan, then send the logo and/or configuration file
  help                           this text

A is an index (from 0, as listed by adapters), an interface name or a display text.
Without --devices every device the scan found is operated. The operation is followed for
at most 15 seconds; then each device is listed: MAC, PARA, LOGO, ANTITHEFT, RESULT.
Output is tab-separated (tab, newline, carriage return and backslash inside a field are
written \t, \n, \r and \\), or one JSON document with --json.

Exit status: 0 when every device ends ResultSuccess (or the listing or scan ran),
1 when one does not, when no device answered or when interrupted, 2 for bad usage, an
unknown device or adapter, or an adapter that cannot be opened.
)";
}

}  // namespace provix
