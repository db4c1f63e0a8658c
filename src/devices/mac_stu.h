#pragma once

#include <deque>
#include <string>

namespace provix {

// One device of an operation: its MAC text "%02X:%02X:%02X:%02X:%02X:%02X" (17 characters).
struct mac_stu {
    std::string mac;

    bool operator==(const mac_stu&) const = default;
};

// The ticked devices in grid order, handed by value to an operation screen.
using SelectionQueue = std::deque<mac_stu>;

}  // namespace provix
