#pragma once

#include <string>

namespace provix {

// One row of the results store as the devices screen and the sheet export read it.
// Texts are UTF-8 and hold exactly what was stored.
struct ap_info_stu {
    std::string mac;
    std::string date;
    int para_status = 0;
    int logo_status = 0;
    int antitheft_status = 0;
    std::string ssid2;
    std::string ssid5;
    std::string wpakey2;
    std::string wpakey5;

    bool operator==(const ap_info_stu&) const = default;
};

}  // namespace provix
