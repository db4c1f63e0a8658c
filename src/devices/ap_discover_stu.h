#pragma once

#include <string>

namespace provix {

// One device as its discovery answer described it; the results store's device insert reads it.
struct ap_discover_stu {
    std::string mac;      // "%02X:%02X:%02X:%02X:%02X:%02X"
    std::string date;     // local discovery time, "%04d-%02d-%02d %02d:%02d:%02d"
    std::string ssid2;    // 2.4 GHz radio
    std::string ssid5;    // 5 GHz radio
    std::string wpakey2;
    std::string wpakey5;

    bool operator==(const ap_discover_stu&) const = default;
};

}  // namespace provix
