#pragma once

#include <string>

#include "protocol/EtherFrame.h"

namespace provix {

// One adapter the operator can choose: its hardware address, a human-readable description and the
// system name that occurs inside its capture device name.
struct local_adapter_stu {
    MacAddress mac{};
    std::string description;
    std::string name;

    bool operator==(const local_adapter_stu&) const = default;
};

}  // namespace provix
