#pragma once

#include <optional>
#include <string>
#include <vector>

#include "protocol/EtherFrame.h"

namespace provix {

enum class CtlCommand {
    Help,
    Adapters,
    Scan,
    AntiTheft,
    Customize,
};

// What one run of provixctl was asked to do. Texts are taken as typed (untrimmed), as the desktop
// form takes them; only the device list is normalised (upper-case MACs, each once, in given order).
struct CtlOptions {
    CtlCommand command = CtlCommand::Help;
    bool json = false;
    std::string adapter;

    // antitheft
    std::string lock_code;
    std::optional<std::string> confirm;  // defaults to the lock code
    bool switch_off = false;
    std::optional<std::string> ac_name;
    std::optional<std::string> dns1;  // left out: the server stays unset ("0.0.0.0")
    std::optional<std::string> dns2;

    // customize
    std::string logo_path;
    std::string config_path;

    // antitheft and customize; empty means every device the scan found
    std::vector<MacAddress> devices;

    // Notes for stderr about options that are accepted but have no effect.
    std::vector<std::string> warnings;
};

struct CtlParse {
    std::optional<CtlOptions> options;  // nullopt on bad usage
    std::string error;                  // why, for stderr
};

// Reads the arguments after the program name. Options take their value as the next argument or
// after "=" ("--adapter eth1", "--adapter=eth1"); each may be given once.
CtlParse ParseCtlCommandLine(const std::vector<std::string>& args);

const char* CtlUsageText();

}  // namespace provix
